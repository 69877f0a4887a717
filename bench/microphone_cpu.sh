#!/usr/bin/env bash
# CPU of Kivora with the microphone mixed into the second device and nothing else
# playing, against the same with no microphone: the process's user and system time
# over 20 s of wall time, as a share of one core. The microphone is Wine's capture
# from a file of silence, the cable a second file device (starts its own session).
#   bench/microphone_cpu.sh <Kivora.exe>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../scripts/wine-session.sh" -- bash "$here/microphone_cpu.sh" --inside "$@"
fi
source "$here/../tests/e2e/common.sh"
exe=$2
settings="$HOME/Documents/Kivora/设置.ini"
mic_id="{0.0.1.00000000}.{04030201-0605-0807-090A-0B0C0D0E0F10}"
list_output_devices default "Virtual Cable Input"
echo "pcm.mic { type file slave.pcm \"null\" file \"/dev/null\" infile \"/dev/zero\" format \"raw\" }" >> "$HOME/.asoundrc"
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v ALSAInputDevices /t REG_MULTI_SZ /d 'mic' /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv\devices\1,mic' /v guid /t REG_BINARY /d 0102030405060708090a0b0c0d0e0f10 /f >/dev/null 2>&1
export KIVORA_MICROPHONE_PACE=free

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
measure() {  # <microphone ID or empty>
  mkdir -p "$(dirname "$settings")"
  printf '[输出]\r\n第二设备=%s\r\n第二设备名称=Out: Virtual Cable Input\r\n麦克风=%s\r\n' "$fixed_device_id" "$1" | iconv -f UTF-8 -t GBK > "$settings"
  "$WINE" "$exe" & local kivora=$!
  local id; id=$(wait_for_window Kivora) || fail "no window"
  sleep 5  # start-up's own work done
  local before; before=$(ticks $kivora)
  sleep 20
  local used=$(( $(ticks $kivora) - before ))
  press_escape "$id"; wait_for_exit $kivora 15 >/dev/null
  awk -v t="$used" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", 100 * t / hz / 20 }'
}
without=$(measure "")
with=$(measure "$mic_id")
echo "CPU over 20 s, nothing playing, cable set: without a microphone $without % of one core, with the microphone $with %"

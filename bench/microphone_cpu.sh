#!/usr/bin/env bash
# CPU of Kivora with the microphone mixed into the second device and nothing else
# playing, against the same with no microphone: the process's user and system time
# over 20 s of wall time, as a share of one core. The microphone is Wine's capture
# from a file of silence, the cable a second file device (starts its own session).
# The floor, measured the same way in the same run: stream_floor.exe with the
# cable's stream open and stopped (as Kivora keeps it with no microphone), and with
# bare streams copying the capture device to the cable (the least any program pays
# here for a microphone on a cable). Each configuration runs twice, in turn.
#   bench/microphone_cpu.sh <Kivora.exe> [rounds]
#
# Figures, 2-core build machine shared with other builds (load 3 to 9; Wine 8),
# two runs of 2 rounds before the ring's change and two after; % of one core,
# the lower of each pair of rounds:
#   floor: cable open and stopped 0.80, 1.15 (before) and 0.95, 1.50 (after);
#     capture copied to the cable 3.55, 3.65 and 3.00, 4.35: the microphone adds
#     2.75, 2.50, 2.05, 2.85 % with nothing of Kivora's in it (Wine's timer
#     threads of the capture and of the cable's running stream, the events, ALSA);
#   Kivora before: 0.65 -> 5.10 and 1.05 -> 6.05 %: the microphone adds 4.45 and
#     5.00 %, 1.7 and 2.5 % over the floor's (the broadcast thread moved the
#     reader's window, megabytes a block, at 4.5 % of a core by itself);
#   Kivora after: 0.90 -> 2.95 and 1.60 -> 5.05 %: the microphone adds 2.05 and
#     3.45 %, 0.0 and 0.6 % over the floor's.
# Under 1 % for the whole process cannot be had here: the floor's bare streams
# alone take 2 to 3 %. What is Kivora's own (the ring, the interpolator, the mix)
# is bench/microphone_path.exe's figure: about 0.12 % of a core in the held pace
# that devices paced in real time use (0.13 % before).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../scripts/wine-session.sh" -- bash "$here/microphone_cpu.sh" --inside "$@"
fi
source "$here/../tests/e2e/common.sh"
exe=$2
rounds=${3:-2}
floor=$(dirname "$exe")/bench/stream_floor.exe
[ -f "$floor" ] || fail "build the benchmarks first (cmake --build build --target stream_floor)"
settings="$HOME/Documents/Kivora/设置.ini"
mic_id="{0.0.1.00000000}.{04030201-0605-0807-090A-0B0C0D0E0F10}"
list_output_devices default "Virtual Cable Input"
echo "pcm.mic { type file slave.pcm \"null\" file \"/dev/null\" infile \"/dev/zero\" format \"raw\" }" >> "$HOME/.asoundrc"
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v ALSAInputDevices /t REG_MULTI_SZ /d 'mic' /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv\devices\1,mic' /v guid /t REG_BINARY /d 0102030405060708090a0b0c0d0e0f10 /f >/dev/null 2>&1
export KIVORA_MICROPHONE_PACE=free

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
share() { awk -v t="$1" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", 100 * t / hz / 20 }'; }
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
  share "$used"
}
measure_floor() {  # stream_floor.exe's arguments after the seconds
  "$WINE" "$floor" 26 "$@" & local pid=$!
  sleep 5
  local before; before=$(ticks $pid)
  sleep 20
  local used=$(( $(ticks $pid) - before ))
  wait $pid
  share "$used"
}
lowest() { tr ' ' '\n' | grep . | sort -g | head -n 1; }
floor_idle="" floor_voice="" without="" with=""
for round in $(seq 1 "$rounds"); do
  floor_idle="$floor_idle $(measure_floor idle "$fixed_device_id")"
  floor_voice="$floor_voice $(measure_floor voice "$mic_id" "$fixed_device_id")"
  without="$without $(measure "")"
  with="$with $(measure "$mic_id")"
done
echo "CPU over 20 s, nothing playing, cable set (% of one core, each run):"
echo "  floor, cable open and stopped:     $floor_idle"
echo "  floor, capture copied to the cable:$floor_voice"
echo "  Kivora without a microphone:       $without"
echo "  Kivora with the microphone:        $with"
awk -v fi="$(echo $floor_idle | lowest)" -v fv="$(echo $floor_voice | lowest)" -v k0="$(echo $without | lowest)" -v k1="$(echo $with | lowest)" 'BEGIN {
  printf "lowest of each: floor %.2f -> %.2f %% (the microphone adds %.2f); Kivora %.2f -> %.2f %% (the microphone adds %.2f, %+.2f over the floor'"'"'s)\n", fi, fv, fv - fi, k0, k1, k1 - k0, (k1 - k0) - (fv - fi) }'

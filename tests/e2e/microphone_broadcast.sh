#!/usr/bin/env bash
# The microphone mixed into the second device only: Wine captures from a file that
# holds a spoken phrase (espeak-ng) between long silences, the cable is a second
# file device, and section 输出 names both. The phrase is found in the cable's file
# by correlation and not in the default device's; a built-in sound played over it
# reaches both files; muted, the phrase is gone; at -20 dB it is 20 dB lower; a
# microphone that is not there is named in a balloon and leaves the sounds playing
# on both devices.
#   microphone_broadcast.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/microphone_broadcast.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
settings="$HOME/Documents/Kivora/设置.ini"
headphones="$KIVORA_AUDIO_OUT"
cable="$KIVORA_SESSION/Virtual Cable Input.raw"
cable_id=$fixed_device_id
mic_id="{0.0.1.00000000}.{04030201-0605-0807-090A-0B0C0D0E0F10}"
list_output_devices default "Virtual Cable Input"

# The microphone: float32 stereo at the mix rate (a plug in front loses samples), a
# silent lead-in (Wine drops the first buffer at every start) and a long silent
# tail (it repeats the last buffer for ever at the end).
phrase="$KIVORA_SESSION/mic.f32"
espeak-ng -w "$KIVORA_SESSION/phrase.wav" "the quick brown fox jumps over the lazy dog" 2>/dev/null || fail "espeak-ng made no phrase"
sox "$KIVORA_SESSION/phrase.wav" -t raw -e floating-point -b 32 -r 48000 -c 2 "$phrase" norm -3 pad 1 40 || fail "sox made no microphone file"
echo "pcm.mic { type file slave.pcm \"null\" file \"/dev/null\" infile \"$phrase\" format \"raw\" }" >> "$HOME/.asoundrc"
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v ALSAInputDevices /t REG_MULTI_SZ /d 'mic' /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv\devices\1,mic' /v guid /t REG_BINARY /d 0102030405060708090a0b0c0d0e0f10 /f >/dev/null 2>&1
# Wine's devices are not paced: the microphone's path reads at its nominal rate.
export KIVORA_MICROPHONE_PACE=free

keep_settings() {  # <microphone ID> <gain> <muted>
  mkdir -p "$(dirname "$settings")"
  printf '[输出]\r\n第二设备=%s\r\n第二设备名称=Out: Virtual Cable Input\r\n麦克风=%s\r\n麦克风名称=In: mic\r\n麦克风增益=%s\r\n麦克风静音=%s\r\n' \
    "$cable_id" "$1" "$2" "$3" | iconv -f UTF-8 -t GBK > "$settings"
}
search() { /usr/bin/python3 "$here/phrase_search.py" "$phrase" "$1" "${2:-0}"; }
correlation_of() { search "$@" | cut -d " " -f 1; }
found() { awk -v c="$(correlation_of "$@")" 'BEGIN { exit !(c >= 0.9) }'; }
# The cable has carried well past where the phrase would be: 12 s of samples (the
# path waits for a 4 s cushion before it reads, where devices are not paced).
cable_past_phrase() { [ "$(size_of "$cable")" -gt $((48000 * 4 * 12)) ]; }
start() { "$WINE" "$exe" & kivora=$!; id=$(wait_for_window Kivora) || fail "no window"; }
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }
first_sound="45 114"

# 1. The voice on the cable only, and a sound over it on both.
keep_settings "$mic_id" 0 0
start
wait_until 40 found "$cable" || fail "the phrase did not reach the cable (best correlation $(correlation_of "$cable"))"
read -r plain_correlation plain_level <<<"$(search "$cable")"
headphones_correlation=$(correlation_of "$headphones")
awk -v c="$headphones_correlation" 'BEGIN { exit !(c < 0.5) }' || fail "the phrase reached the default device (correlation $headphones_correlation)"
h0=$(size_of "$headphones"); c0=$(size_of "$cable")
click_in "$id" $first_sound
wait_until 10 loud_after "$headphones" "$h0" || fail "the sound did not play on the default device"
wait_until 10 loud_after "$cable" "$c0" || fail "the sound did not play on the cable beside the microphone"
stop

# 2. Muted: the cable runs on, without the voice.
rm -f "$cable"
keep_settings "$mic_id" 0 1
start
wait_until 40 cable_past_phrase || fail "the cable did not run with the microphone muted"
muted_correlation=$(correlation_of "$cable")
awk -v c="$muted_correlation" 'BEGIN { exit !(c < 0.5) }' || fail "the muted phrase reached the cable (correlation $muted_correlation)"
stop

# 3. At -20 dB: the same phrase, 20 dB lower.
rm -f "$cable"
keep_settings "$mic_id" -20 0
start
wait_until 40 found "$cable" || fail "the phrase at -20 dB did not reach the cable (best correlation $(correlation_of "$cable"))"
read -r quiet_correlation quiet_level <<<"$(search "$cable")"
stop
/usr/bin/python3 -c "import sys; d = float(sys.argv[1]) - float(sys.argv[2]); sys.exit(0 if abs(d + 20) <= 1.5 else 1)" "$quiet_level" "$plain_level" ||
  fail "-20 dB of gain changed the phrase's level from $plain_level to $quiet_level dBFS"

# 4. A microphone that is not there: one balloon names it, and the sounds play on
# both devices as before.
rm -f "$cable"
keep_settings "{0.0.1.00000000}.{DEADBEEF-0000-0000-0000-000000000000}" 0 0
start
balloon_says() { "$WINE" "$probe" --balloons > "$KIVORA_SESSION/balloons" 2>/dev/null; grep -q "$1" "$KIVORA_SESSION/balloons"; }
wait_until 15 balloon_says "麦克风 In: mic 未连接" || fail "no balloon named the missing microphone: $(cat "$KIVORA_SESSION/balloons")"
h0=$(size_of "$headphones"); c0=$(size_of "$cable")
click_in "$id" $first_sound
wait_until 10 loud_after "$headphones" "$h0" || fail "with the microphone missing, the default device was silent"
wait_until 10 loud_after "$cable" "$c0" || fail "with the microphone missing, the cable was silent"
stop
echo "microphone: on the cable at correlation $plain_correlation ($plain_level dBFS), on the default device $headphones_correlation;" \
  "muted $muted_correlation; at -20 dB $quiet_correlation ($quiet_level dBFS); a missing microphone was named in a balloon and left both devices playing"

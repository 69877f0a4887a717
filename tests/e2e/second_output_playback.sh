#!/usr/bin/env bash
# Every sound on two devices: the session's default ALSA device writes one file, a
# second file device is listed to Wine beside it, and section 输出 names the second. A click on a built-in sound is
# heard in both files, as loud and as long in each; the pause button and the mute
# button silence both; a second device that is not there leaves the default playing.
#   second_output_playback.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/second_output_playback.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
settings="$HOME/Documents/Kivora/设置.ini"
headphones="$KIVORA_AUDIO_OUT"
cable="$KIVORA_SESSION/Virtual Cable Input.raw"
cable_id=$fixed_device_id
list_output_devices default "Virtual Cable Input"

keep_second_device() {
  mkdir -p "$(dirname "$settings")"
  printf '[输出]\r\n第二设备=%s\r\n第二设备名称=Out: Virtual Cable Input\r\n' "$1" | iconv -f UTF-8 -t GBK > "$settings"
}
# Statistics of what file $1 got after byte $2: "<rms> <loud frames> <rms of the loud
# frames>", a loud frame being one whose left sample is above 1 % of full scale.
measure() {
  tail -c +$(($2 + 1)) "$1" > "$KIVORA_SESSION/part.raw" 2>/dev/null
  /usr/bin/python3 - "$KIVORA_SESSION/part.raw" <<'PY'
import sys, numpy
data = numpy.fromfile(sys.argv[1], dtype='<i2').astype(numpy.float64) / 32768
left = data[0::2]
rms = float(numpy.sqrt(numpy.mean(data ** 2))) if data.size else 0.0
frames = data[: left.size * 2].reshape(-1, 2)
loud = numpy.abs(frames[:, 0]) > 0.01
loud_rms = float(numpy.sqrt(numpy.mean(frames[loud] ** 2))) if loud.any() else 0.0
print(f"{rms:.5f} {int(numpy.count_nonzero(loud))} {loud_rms:.5f}")
PY
}
loud() { awk -v r="$(measure "$1" "$2" | cut -d " " -f 1)" 'BEGIN { exit !(r > 0.01) }'; }
# Both files quiet for a whole second from now.
both_quiet() {
  local h c; h=$(size_of "$headphones"); c=$(size_of "$cable"); sleep 1
  ! loud "$headphones" "$h" && ! loud "$cable" "$c"
}
start() { "$WINE" "$exe" & kivora=$!; id=$(wait_for_window Kivora) || fail "no window"; sleep 1; }
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }
first_sound="45 114"; pause_button="356 282"; mute_button="310 282"

# 1. One click, heard on both devices alike.
keep_second_device "$cable_id"
start
h0=$(size_of "$headphones"); c0=$(size_of "$cable")
click_in "$id" $first_sound
wait_until 10 loud "$headphones" "$h0" || fail "the default device did not play the sound"
wait_until 10 loud "$cable" "$c0" || fail "the second device did not play the sound"
# The whole clip has been written once neither file gains a loud frame for a second
# (the cable's stream stays open, and a stopped stream under Wine still writes silence).
loud_part() { measure "$1" "$2" | cut -d " " -f 2-; }
settled() { local a b; a=$(loud_part "$headphones" "$h0"); b=$(loud_part "$cable" "$c0"); sleep 1
  [ "$a" = "$(loud_part "$headphones" "$h0")" ] && [ "$b" = "$(loud_part "$cable" "$c0")" ]; }
wait_until 20 settled || fail "the sound did not end"
read -r _ frames_h rms_h <<<"$(measure "$headphones" "$h0")"
read -r _ frames_c rms_c <<<"$(measure "$cable" "$c0")"
/usr/bin/python3 - "$rms_h" "$frames_h" "$rms_c" "$frames_c" <<'PY' || fail "the two devices did not hear the same sound: headphones $rms_h RMS $frames_h loud frames, cable $rms_c RMS $frames_c"
import sys, math
rh, fh, rc, fc = float(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
assert fh > 4800 and abs(fh - fc) <= 480, "loud lengths differ by more than 10 ms"
# Each stream writes its own stretch of quiet before and after the sound: compare the loud part.
assert abs(20 * math.log10(rh / rc)) < 0.5, "loudness differs by 0.5 dB or more"
PY

# 2. Pause and mute act on both.
click_in "$id" $first_sound
wait_until 10 loud "$cable" "$(size_of "$cable")" || fail "the second click was not heard on the cable"
click_in "$id" $pause_button
wait_until 3 both_quiet || fail "pause left a device playing"
click_in "$id" $pause_button
wait_until 5 loud "$cable" "$(size_of "$cable")" || fail "resume was not heard on the cable"
click_in "$id" $mute_button
wait_until 3 both_quiet || fail "mute left a device playing"
click_in "$id" $mute_button
stop

# 3. A second device that is not there: the default plays on its own.
keep_second_device "{0.0.0.00000000}.{DEADBEEF-0000-0000-0000-000000000000}"
start
h0=$(size_of "$headphones")
click_in "$id" $first_sound
wait_until 10 loud "$headphones" "$h0" || fail "with the second device missing, the default device was silent"
stop
echo "two devices: headphones RMS $rms_h over $frames_h loud frames, cable RMS $rms_c over $frames_c; pause and mute silenced both; a missing second device left the default playing"

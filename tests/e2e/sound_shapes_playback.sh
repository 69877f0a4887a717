#!/usr/bin/env bash
# Sounds as section 声音 and the output levels set them, heard in the device files
# of the default device and of a cable chosen under 输出:
#  1. two custom sounds set to 叠加 (a low and a high tone) pressed one after the
#     other: both sound at once, on the default device and on the cable;
#  2. 耳机音量 at 50 % against 100 %: the cable's file holds the same samples bit for
#     bit, while the default device plays at half the level;
#  3. a 停止 sound pressed again from outside (the control interface, its hotkey) stops.
#   sound_shapes_playback.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/sound_shapes_playback.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3; standin=$4
settings="$HOME/Documents/Kivora/设置.ini"
cable="$KIVORA_SESSION/Virtual Cable Input.raw"
list_output_devices default "Virtual Cable Input"

tones="$HOME/tones"; mkdir -p "$tones"
sox -n -r 48000 -c 2 -b 16 "$tones/low.wav" synth 1.5 sine 440 vol 0.3 || fail "sox could not make the low tone"
sox -n -r 48000 -c 2 -b 16 "$tones/high.wav" synth 1.5 sine 1000 vol 0.3 || fail "sox could not make the high tone"
windows_path() { echo "Z:$(tr / '\\' <<<"$1")"; }

# The two tones in custom slots 1 and 2, both set to 叠加, the cable chosen, the headphones at $1 %.
keep_settings() {
  mkdir -p "$(dirname "$settings")"
  printf '[设置]\r\n音量=100\r\n[音效]\r\n按钮1=%s\r\n按钮2=%s\r\n[声音]\r\n按钮1=再次按下:叠加\r\n按钮2=再次按下:叠加\r\n[输出]\r\n第二设备=%s\r\n第二设备名称=Out: Virtual Cable Input\r\n耳机音量=%s\r\n' \
    "$(windows_path "$tones/low.wav")" "$(windows_path "$tones/high.wav")" "$fixed_device_id" "$1" |
    iconv -f UTF-8 -t GBK > "$settings"
}
start() { "$WINE" "$exe" & kivora=$!; id=$(wait_for_window Kivora) || fail "no window"; sleep 1; }
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }
custom_tab="193 74"; slot1="45 114"; slot2="122 114"

# 1. Two overlapping sounds reach both files.
keep_settings 100
start
click_in "$id" $custom_tab; sleep 0.5
click_in "$id" $slot1
wait_until 10 loud_after "$cable" 0 || fail "the first sound did not reach the cable"
click_in "$id" $slot2
wait_until 20 quiet_for_a_second "$cable" || fail "the cable's sound did not end"
wait_until 20 quiet_for_a_second "$KIVORA_AUDIO_OUT" || fail "the default device's sound did not end"
stop
cp "$cable" "$KIVORA_SESSION/overlap_cable.raw"; cp "$KIVORA_AUDIO_OUT" "$KIVORA_SESSION/overlap_default.raw"
/usr/bin/python3 - "$KIVORA_SESSION/overlap_default.raw" "$KIVORA_SESSION/overlap_cable.raw" <<'PY' || fail "the two sounds did not overlap in the device files"
import sys, numpy
def level(window, hertz):  # amplitude of one frequency in a window of samples
    t = numpy.arange(window.size) / 48000.0
    return 2 * abs(numpy.dot(window, numpy.exp(-2j * numpy.pi * hertz * t))) / window.size
for path in sys.argv[1:]:
    left = numpy.fromfile(path, dtype="<i2")[0::2].astype(numpy.float64) / 32768
    windows = [left[i:i + 4800] for i in range(0, left.size - 4800, 4800)]
    # Each tone's full level is its loudest window (the loudness match sets it, not
    # the file); a window holds a tone when it is within 2 dB of that.
    low = [level(w, 440) for w in windows]; high = [level(w, 1000) for w in windows]
    full_low, full_high = 0.8 * max(low), 0.8 * max(high)
    assert max(low) > 0.05 and max(high) > 0.05, f"{path}: a tone is missing ({max(low):.3f}, {max(high):.3f})"
    both = sum(1 for a, b in zip(low, high) if a > full_low and b > full_high)
    alone = sum(1 for a, b in zip(low, high) if (a > full_low) != (b > full_high))
    print(f"{path.rsplit('/', 1)[-1]}: {both} windows of 100 ms with both tones at full level, {alone} with one")
    # The second press came within a second of the first: well over 0.5 s of the 1.5 s tones overlap.
    assert both >= 5, f"{path}: the tones overlapped in {both} windows only"
PY

# 2. The headphones' level leaves the cable's samples as they were.
for level in 100 50; do
  keep_settings $level
  start
  click_in "$id" $custom_tab; sleep 0.5
  click_in "$id" $slot1
  wait_until 10 loud_after "$cable" 0 || fail "the sound did not reach the cable at 耳机音量=$level"
  wait_until 20 quiet_for_a_second "$cable" || fail "the cable's sound did not end at 耳机音量=$level"
  wait_until 20 quiet_for_a_second "$KIVORA_AUDIO_OUT" || fail "the default device's sound did not end at 耳机音量=$level"
  stop
  cp "$cable" "$KIVORA_SESSION/cable_$level.raw"; cp "$KIVORA_AUDIO_OUT" "$KIVORA_SESSION/default_$level.raw"
done
/usr/bin/python3 - "$KIVORA_SESSION" <<'PY' || fail "耳机音量 changed the cable's samples, or not the default device's level"
import sys, numpy
folder = sys.argv[1]
def sound(path):  # the stereo samples from the first one that is not silent, 1.5 s of them
    samples = numpy.fromfile(path, dtype="<i2").reshape(-1, 2)
    first = int(numpy.argmax(numpy.any(samples != 0, axis=1)))
    part = samples[first:first + 72000]
    assert part.shape[0] == 72000, f"{path} holds {part.shape[0]} frames of sound"
    return part
cable_full, cable_half = sound(f"{folder}/cable_100.raw"), sound(f"{folder}/cable_50.raw")
assert numpy.array_equal(cable_full, cable_half), f"{int(numpy.sum(cable_full != cable_half))} samples of the cable differ"
rms = lambda part: float(numpy.sqrt(numpy.mean(part.astype(numpy.float64) ** 2)))
ratio = rms(sound(f"{folder}/default_50.raw")) / rms(sound(f"{folder}/default_100.raw"))
print(f"cable at 耳机音量 50 % and 100 %: bit-identical; default device's level ratio {ratio:.4f}")
assert abs(ratio - 0.5) < 0.01, f"the default device played at {ratio:.4f} of its full level"
PY

# 3. A 停止 sound pressed again from outside stops, whichever way the presses come:
# the control interface's play starts it and its hotkey stops it, then the hotkey
# starts it and a play stops it (a 6 s tone, so an end of its own is no stop).
sox -n -r 48000 -c 2 -b 16 "$tones/long.wav" synth 6 sine 440 vol 0.3 || fail "sox could not make the long tone"
port=47137; token=3c5e7a9b1d2f4a6c8e0b2d4f6a8c0e1d
mkdir -p "$(dirname "$settings")"
printf '[音效]\r\n按钮1=%s\r\n[声音]\r\n按钮1=再次按下:停止\r\n[热键]\r\n按钮1=Ctrl+Alt+9\r\n[遥控]\r\n开启=1\r\n端口=%s\r\n令牌=%s\r\n' \
  "$(windows_path "$tones/long.wav")" $port $token | iconv -f UTF-8 -t GBK > "$settings"
play() { curl -s -m 10 -o /dev/null -w '%{http_code}' -X POST -H "Authorization: Bearer $token" "http://127.0.0.1:$port/play/按钮1"; }
served() { [ "$(curl -s -m 5 -o /dev/null -w '%{http_code}' -H "Authorization: Bearer $token" "http://127.0.0.1:$port/state")" = 200 ]; }
start
wait_until 10 served || fail "the control server did not answer"
# Another program has the focus, as when the user is in a game or a chat (Wine
# hears keys only while one of its windows has the X focus).
"$WINE" "$standin" > "$KIVORA_SESSION/stand-in.out" & standin_pid=$!
other=$(wait_for_window Stand-in) || fail "the stand-in did not start"
xdotool windowfocus --sync "$other"; sleep 0.5
python3 "$here/ws_events.py" $port $token "$KIVORA_SESSION/events" 120 & events_pid=$!
wait_until 10 grep -q '"event":"hello"' "$KIVORA_SESSION/events" || fail "/events did not open"
stops=0
for presses in "play hotkey" "hotkey play"; do
  set -- $presses
  before=$(size_of "$KIVORA_AUDIO_OUT")
  if [ "$1" = play ]; then [ "$(play)" = 200 ] || fail "play was refused"; else xdotool key ctrl+alt+9; fi
  wait_until 10 loud_after "$KIVORA_AUDIO_OUT" "$before" || fail "the $1 did not start the 停止 sound"
  sleep 0.5
  if [ "$2" = play ]; then [ "$(play)" = 200 ] || fail "play was refused"; else xdotool key ctrl+alt+9; fi
  stopped_at=$(date +%s.%N)
  wait_until 10 quiet_for_a_second "$KIVORA_AUDIO_OUT" || fail "the $2 did not stop the 停止 sound"
  awk -v a="$stopped_at" -v b="$(date +%s.%N)" 'BEGIN { exit !(b - a < 4) }' ||
    fail "after the $2 the 6 s sound went on to its end"
  # A controller hears of the stop at once, not when the sound would have ended.
  stops=$((stops + 1))
  wait_until 5 bash -c "[ \$(grep -c '\"event\":\"cut_off\".*\"name\":\"按钮1\"' '$KIVORA_SESSION/events') -eq $stops ]" ||
    fail "/events did not tell the stop by the $2: $(cat "$KIVORA_SESSION/events")"
done
kill $standin_pid $events_pid 2>/dev/null
stop
echo "sound shapes: two 叠加 sounds overlapped on both devices; 耳机音量 50 % left the cable bit-identical and halved the headphones;" \
  "a 停止 sound was stopped by its hotkey after a remote play and by a remote play after its hotkey"

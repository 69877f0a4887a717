#!/usr/bin/env bash
# WAVE files the system player alone used to play, now decoded by the engine and
# heard on both devices: a mu-law file and an IMA ADPCM file reach the default
# device's file and the second device's file, each matched to the built-in
# clips' loudness on both; a 5.1 file whose sound is all in its centre channel
# reaches the default device in both sides alike; a float file whose peak is
# +5.6 dBFS is turned down by the matching gain and comes out as the sine it
# is, no sample of it clipped.
#   coded_and_surround.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  native="$(dirname "$1")/native"
  [ -x "$native/loudness_probe" ] || { echo "FAIL: build the native helpers first (scripts/native-build.sh)" >&2; exit 1; }
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/coded_and_surround.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
native="$(dirname "$exe")/native"
builtin_lufs=-14.6
settings="$HOME/Documents/Kivora/设置.ini"
headphones="$KIVORA_AUDIO_OUT"
cable="$KIVORA_SESSION/Virtual Cable Input.raw"
list_output_devices default "Virtual Cable Input"
files="$KIVORA_SESSION/files"
mkdir -p "$files" "$(dirname "$settings")"

# Four seconds each. The tones differ in level, so only the matching brings them together.
sox -R -D -n -r 8000 -c 1 -e u-law "$files/mulaw tone.wav" synth 4 sine 440 vol -4dB
sox -R -D -n -r 22050 -c 2 -e ima-adpcm "$files/ima tone.wav" synth 4 sine 700 vol -26dB
sox -R -D -n -r 48000 -c 1 -b 16 "$KIVORA_SESSION/centre.wav" synth 4 sine 500 vol -12dB
sox "$KIVORA_SESSION/centre.wav" "$files/centre only 5.1.wav" remix 0 0 1 0 0 0  # L R C LFE Ls Rs
/usr/bin/python3 - "$files/hot float.wav" <<'PY'
import math, struct, sys
peak = 10 ** (5.6 / 20)
frames = b"".join(struct.pack("<ff", v, v) for v in (peak * math.sin(2 * math.pi * 440 * i / 48000) for i in range(4 * 48000)))
fmt = struct.pack("<HHIIHH", 3, 2, 48000, 48000 * 8, 8, 32)
body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(frames)) + frames
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
PY

names=("mulaw tone.wav" "ima tone.wav" "centre only 5.1.wav" "hot float.wav")
{
  printf '[设置]\r\n音量=100\r\n[输出]\r\n第二设备=%s\r\n第二设备名称=Out: Virtual Cable Input\r\n[音效]\r\n' "$fixed_device_id"
  for i in "${!names[@]}"; do printf '按钮%d=Z:%s\r\n' $((i + 1)) "$(tr / '\\' <<<"$files/${names[$i]}")"; done
} | iconv -f UTF-8 -t GBK > "$settings"
setting() { iconv -f GBK -t UTF-8 "$settings" | tr -d '\r' | awk -v s="[$1]" -v k="$2=" '
  /^\[/ { in_section = ($0 == s) } in_section && index($0, k) == 1 { print substr($0, length(k) + 1) }'; }

probe_controls() { "$WINE" "$probe" --controls Kivora 2>/dev/null | tr -d '\r'; }
slot_point() { probe_controls | awk -F '\t' -v c="$1" '$1 == "Button" && $2 == c { split($5, p, " "); print p[1] + 35, p[2] + 17; exit }'; }
click_slot() {
  local point; point=$(slot_point "${names[$(($1 - 1))]%.wav}")
  [ -n "$point" ] || fail "no slot shows \"${names[$(($1 - 1))]%.wav}\": $(probe_captions)"
  xdotool mousemove $point click 1
}

# Clicks slot $1 and waits until each device file has 4.5 s past where it stood
# (a file starts again from nothing when its stream reopens after a quiet spell);
# sets from_h and from_c to where the sound begins in each.
play_slot() {
  from_h=$(size_of "$headphones"); from_c=$(size_of "$cable")
  click_slot "$1"
  local need=$((48000 * 4 * 9 / 2)) size
  for _ in $(seq 1 150); do
    size=$(size_of "$headphones"); [ "$size" -lt "$from_h" ] && from_h=0
    local h=$((size - from_h))
    size=$(size_of "$cable"); [ "$size" -lt "$from_c" ] && from_c=0
    local c=$((size - from_c))
    [ $h -gt $need ] && [ $c -gt $need ] && return 0
    sleep 0.1
  done
  fail "slot $1 did not reach both devices (${h:-0} and ${c:-0} bytes)"
}
lufs_of() { "$native/loudness_probe" "$1" 48000 2 "$2" 3 || echo "no sound"; }
within_1_lu() { awk -v a="$1" -v t="$builtin_lufs" 'BEGIN { d = a - t; if (d < 0) d = -d; exit !(d <= 1) }'; }

"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window"
click_in "$id" 193 74  # the custom page
wait_until 10 has_caption "^mulaw tone	1" || fail "the custom page does not show the slots: $(probe_captions)"

# A file is measured when first played: one click on each, then the records.
for slot in 1 2 3 4; do click_slot $slot; sleep 0.3; done
measured() { for slot in 1 2 3 4; do [ -n "$(setting 响度 按钮$slot)" ] || return 1; done; }
wait_until 30 measured || fail "not every slot was measured: $(iconv -f GBK -t UTF-8 "$settings" | tr -d '\r' | grep -A5 '^\[响度\]')"
for slot in 1 2 3 4; do echo "slot $slot measured: $(setting 响度 按钮$slot)"; done
# The last of those clicks plays on: each measurement starts from quiet.
quiet_now() { local mark; mark=$(audio_size); sleep 0.5; [ "$(audio_size)" -lt "$mark" ] && mark=0
  awk -v r="$(audio_rms_after "$mark")" 'BEGIN { exit !(r < 0.001) }'; }
wait_until 15 quiet_now || fail "the sound of the first clicks did not end"

# 1-2. mu-law and IMA ADPCM: on both devices, at the built-in clips' loudness.
for slot in 1 2; do
  play_slot $slot
  h=$(lufs_of "$headphones" "$from_h"); c=$(lufs_of "$cable" "$from_c")
  echo "${names[$((slot - 1))]}: default device $h LUFS, second device $c LUFS (built-in clips $builtin_lufs)"
  within_1_lu "$h" || fail "${names[$((slot - 1))]} on the default device: $h LUFS, not within 1 LU of $builtin_lufs"
  within_1_lu "$c" || fail "${names[$((slot - 1))]} on the second device: $c LUFS, not within 1 LU of $builtin_lufs"
done

# 3-4. The 5.1 file's centre in both sides; the hot float file unclipped.
analyse() {  # file from_byte what
  tail -c +$(($2 + 1)) "$1" > "$KIVORA_SESSION/part.raw"
  /usr/bin/python3 - "$KIVORA_SESSION/part.raw" "$3" <<'PY'
import sys, numpy
data = numpy.fromfile(sys.argv[1], dtype="<i2").astype(numpy.float64) / 32768
frames = data[: data.size // 2 * 2].reshape(-1, 2)
loud = numpy.flatnonzero(numpy.abs(frames).max(axis=1) > 0.002)
assert loud.size > 48000 * 3, f"only {loud.size} frames of sound"
part = frames[loud[0] + 4800 : loud[0] + 4800 + 2 * 48000]  # two seconds, past any fade-in
left, right = part[:, 0], part[:, 1]
db = lambda x: 20 * numpy.log10(max(x, 1e-12))
rms_l, rms_r = numpy.sqrt(numpy.mean(left ** 2)), numpy.sqrt(numpy.mean(right ** 2))
if sys.argv[2] == "centre":
    corr = float(numpy.corrcoef(left, right)[0, 1])
    print(f"left {db(rms_l):.2f} dBFS RMS, right {db(rms_r):.2f} dBFS RMS, correlation {corr:.4f}")
    assert rms_l > 0.01 and rms_r > 0.01, "a side without the centre channel"
    assert abs(db(rms_l) - db(rms_r)) < 0.5 and corr > 0.99, "the centre is not in both sides alike"
else:
    # A sine's peak stands 3.01 dB over its RMS, and few of its samples lie near
    # the peak; a clipped one's crest is lower and its flat tops hold many samples.
    peak = numpy.abs(left).max()
    crest = db(peak / rms_l)
    clipped = int(numpy.count_nonzero(numpy.abs(left) >= 0.995 * peak))
    at_full_scale = int(numpy.count_nonzero(numpy.abs(frames) >= 32767 / 32768))
    print(f"peak {db(peak):.2f} dBFS, crest {crest:.2f} dB, {clipped} of {left.size} samples within 0.5 % of the peak, {at_full_scale} at full scale")
    assert crest > 2.9 and clipped < 0.1 * left.size and at_full_scale == 0, "the float file came out clipped"
PY
}
wait_until 15 quiet_now || fail "the IMA ADPCM tone did not end"
play_slot 3
centre=$(analyse "$headphones" "$from_h" centre) || fail "5.1 centre channel: $centre"
echo "centre-only 5.1: $centre"
wait_until 15 quiet_now || fail "the 5.1 tone did not end"
play_slot 4
hot=$(analyse "$headphones" "$from_h" float) || fail "float at +5.6 dBFS: $hot"
hot_lufs=$(lufs_of "$headphones" "$from_h")
echo "float at +5.6 dBFS after matching: $hot, $hot_lufs LUFS"
within_1_lu "$hot_lufs" || fail "the float file reached the device at $hot_lufs LUFS"

press_escape "$id"
wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"
echo "coded WAVE on both devices and matched; 5.1 centre in both sides; float above full scale unclipped"

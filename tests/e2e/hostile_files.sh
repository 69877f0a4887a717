#!/usr/bin/env bash
# Hostile files in custom slots, each clicked in the real program while a good
# clip plays: the good clip stops (the click reached the player) and nothing
# else is heard, the window answers every message sent to it within 100 ms
# while the click is handled, and the program lives on. The good clip, a
# broadcast WAVE whose samples start past its first 4 KB (bext, iXML and JUNK
# chunks first), plays again after each, as at the start.
#   hostile_files.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/hostile_files.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
files="$KIVORA_SESSION/files"
mkdir -p "$files" "$HOME/Documents/Kivora"

# name (also the slot's caption) and what the file holds, one a line.
hostile_table="
zero channels.wav|wave channels=0
huge fmt size.wav|wave fmt_size=0xFFFFFFF0
sync words.mp3|sync_words
text.mp3|text
empty.mp3|empty
truncated.wav|truncated
id3 past end.mp3|id3_past_end
zero rate.wav|wave rate=0
64-bit samples.wav|wave bits=64
bare riff.wav|bare_riff"
good="good broadcast.wav"

/usr/bin/python3 - "$files" "$hostile_table" "$good" <<'PY'
import math, os, struct, sys
folder, table, good = sys.argv[1], sys.argv[2], sys.argv[3]

def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")

def wave(channels=2, rate=44100, bits=16, fmt_size=16, data=b"\0" * 64, before=b""):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits)
    body = b"WAVE" + before + b"fmt " + struct.pack("<I", fmt_size) + fmt + chunk(b"data", data)
    return b"RIFF" + struct.pack("<I", len(body)) + body

makers = {
    "wave": lambda **k: wave(**k),
    "sync_words": lambda: b"\xFF\xFB" * 5120,
    "empty": lambda: b"",
    "text": lambda: b"This is a note, not a sound.\r\n" * 20,
    "truncated": lambda: wave()[:30],
    "id3_past_end": lambda: b"ID3\x04\x00\x00" + bytes([0, 0x40, 0, 0]) + b"\0" * 40,
    "bare_riff": lambda: b"RIFF\x04\x00\x00\x00WAVE",
}
for line in filter(None, table.splitlines()):
    name, what = line.split("|")
    kind, *fields = what.split()
    options = {k: int(v, 0) for k, v in (f.split("=") for f in fields)}
    with open(os.path.join(folder, name), "wb") as f:
        f.write(makers[kind](**options))

# Thirty seconds of a loud 480 Hz tone (it cannot end on its own while a check
# waits, even with the device file written faster than real time), its samples
# behind 5 KB of metadata.
period = b"".join(struct.pack("<hh", v, v) for v in (int(20000 * math.sin(2 * math.pi * i / 100)) for i in range(100)))
tone = period * (30 * 480)
metadata = chunk(b"bext", b"b" * 601) + chunk(b"iXML", b"<BWFXML>" + b" " * 3000 + b"</BWFXML>") + chunk(b"JUNK", b"\0" * 1024)
with open(os.path.join(folder, good), "wb") as f:
    f.write(wave(rate=48000, data=tone, before=metadata))
PY
[ "$(stat -c %s "$files/$good")" -gt 4096 ] || fail "the good clip is too small to test a data chunk past 4 KB"

# Every file in a slot of its own, at full volume.
names=()
while IFS='|' read -r name _; do [ -n "$name" ] && names+=("$name"); done <<<"$hostile_table"
names+=("$good")
{
  printf '[设置]\r\n音量=100\r\n[音效]\r\n'
  for i in "${!names[@]}"; do printf '按钮%d=Z:%s\r\n' $((i + 1)) "$(tr / '\\' <<<"$files/${names[$i]}")"; done
} | iconv -f UTF-8 -t GBK > "$HOME/Documents/Kivora/设置.ini"

caption_of() { echo "${1%.*}"; }
probe_controls() { "$WINE" "$probe" --controls Kivora 2>/dev/null | tr -d '\r'; }
# The screen point at the middle of the button captioned $1.
slot_point() { probe_controls | awk -F '\t' -v c="$1" '$1 == "Button" && $2 == c { split($5, p, " "); print p[1] + 35, p[2] + 17; exit }'; }
alive() { kill -0 "$kivora" 2>/dev/null && xdotool search --onlyvisible --name '^Kivora$' >/dev/null 2>&1; }
# RMS of what the device got since byte $mark; the file starts again from nothing
# when the stream reopens after a quiet spell.
rms_since_mark() { [ "$(audio_size)" -lt "$mark" ] && mark=0; audio_rms_after "$mark"; }
loud_since_mark() { awk -v r="$(rms_since_mark)" 'BEGIN { exit !(r > 0.05) }'; }
# Quiet from now on for half a second of wall time and whatever the device wrote in it.
quiet_from_now() { mark=$(audio_size); sleep 0.5; awk -v r="$(rms_since_mark)" 'BEGIN { exit !(r < 0.001) }'; }

click_caption() {
  local point
  point=$(slot_point "$1")
  [ -n "$point" ] || fail "no slot shows \"$1\": $(probe_captions)"
  xdotool mousemove $point click 1
}

# Starts the good clip and waits until the device hears it.
play_good() {
  mark=$(audio_size)
  click_caption "$(caption_of "$good")"
  wait_until 10 loud_since_mark || fail "the good clip was not heard $1 (RMS $(rms_since_mark))"
}

# Clicks the slot captioned $1 while the window is pinged; fails on a late
# answer, on a sound that goes on, and on the program's end.
click_while_pinged() {
  local caption=$1 answers="$KIVORA_SESSION/ping.out" ping status
  "$WINE" "$probe" --ping Kivora 2000 >"$answers" 2>/dev/null &
  ping=$!
  wait_until 10 grep -q ready "$answers" || fail "the ping did not start"
  click_caption "$caption"
  wait "$ping"; status=$?
  [ $status -eq 0 ] || fail "after a click on \"$caption\" the window did not answer within 100 ms: $(tr -d '\r' <"$answers" | tail -n 1)"
  alive || fail "Kivora is gone after a click on \"$caption\""
  wait_until 5 quiet_from_now || fail "after a click on \"$caption\" the device still hears sound (RMS $(rms_since_mark))"
  echo "$caption: $(tr -d '\r' <"$answers" | tail -n 1 | awk '{ print $1 " round trips, slowest " $2 " ms" }')"
}

"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window"
custom_tab="193 74"
click_in "$id" $custom_tab
wait_until 10 has_caption "^$(caption_of "$good")	1" || fail "the custom page does not show the slots: $(probe_captions)"

for name in "${names[@]}"; do
  [ "$name" = "$good" ] && continue
  play_good "before \"$name\""
  click_while_pinged "$(caption_of "$name")"
done
play_good "after the hostile files"
alive || fail "Kivora is gone after the good clip"
press_escape "$id"
wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"
echo "hostile files: $((${#names[@]} - 1)) clicked, each stopped the good clip and was silent, the window answered within 100 ms throughout, and the good clip played again at the end"

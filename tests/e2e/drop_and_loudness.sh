#!/usr/bin/env bash
# Files dragged from a file manager (an X client of the tests' own speaking XDND)
# onto the running program. On another page the drop is refused. On the custom
# page one file on a button fills that slot with the dialog's completion message;
# several files fill the empty slots from the one under the pointer and one
# message counts them. Names with spaces, %, characters outside GBK and a path
# longer than 260 characters are taken. Two tones 20 dB apart, played from their
# slots, reach the sound device within 1 dB of each other and of the built-in
# clips' loudness once measured.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
probe=$2
native="$(dirname "$exe")/native"
[ -x "$native/xdnd_drop" ] && [ -x "$native/loudness_probe" ] || { echo "FAIL: build the native helpers first (scripts/native-build.sh)" >&2; exit 1; }

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"; exe=$2; probe=$3; native=$4
  builtin_lufs=-14.6
  files="$KIVORA_SESSION/drop files"
  long="$files/$(printf "a%.0s" $(seq 1 120))/$(printf "b%.0s" $(seq 1 120))"
  mkdir -p "$long"
  loud="$files/loud tone 100%.wav"
  quiet="$files/조용한 tone.wav"
  far="$long/far tone.wav"
  sox -n -r 44100 -c 2 -b 16 "$loud" synth 4 sine 440 vol -8dB
  sox -n -r 44100 -c 2 -b 16 "$quiet" synth 4 sine 1000 vol -28dB
  sox -n -r 44100 -c 2 -b 16 "$far" synth 4 sine 700 vol -20dB
  echo "not a sound" > "$files/notes.txt"
  # Played at the full volume, so what reaches the device is the sound itself.
  mkdir -p "$HOME/Documents/Kivora"
  printf "[设置]\r\n音量=100\r\n" | iconv -f UTF-8 -t GBK > "$HOME/Documents/Kivora/设置.ini"
  settings="$HOME/Documents/Kivora/设置.ini"
  setting() { iconv -f GBK -t UTF-8 "$settings" | tr -d "\r" | awk -v s="[$1]" -v k="$2=" "
    /^\[/ { in_section = (\$0 == s) } in_section && index(\$0, k) == 1 { print substr(\$0, length(k) + 1) }"; }

  # A click on its button, as a user closes it; then wait until it is gone.
  close_box() {
    local at
    at=$("$WINE" "$probe" --controls 提醒 2>/dev/null | tr -d "\r" | awk -F "\t" "\$1 == \"Button\" { print \$5; exit }")
    [ -n "$at" ] || fail "the message box has no button"
    set -- $at
    xdotool mousemove $(($1 + 10)) $(($2 + 8)); sleep 0.2; xdotool click 1
    for _ in $(seq 1 50); do
      xdotool search --onlyvisible --name "^提醒\$" >/dev/null 2>&1 || return 0
      sleep 0.1
    done
    fail "the message box did not close"
  }

  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window"
  sleep 1
  # Each slot'"'"'s centre on the screen, from the buttons as they stand on the custom page.
  custom_tab="193 74"
  click_in "$id" $custom_tab; sleep 0.5
  mapfile -t centres < <("$WINE" "$probe" --controls Kivora 2>/dev/null | tr -d "\r" |
    awk -F "\t" "\$2 == \"添加音效..\" && \$3 == 1 { split(\$5, p, \" \"); print p[2] \" \" p[1] }" | sort -n -k1,1 -k2,2 |
    awk "{ print \$2 + 35, \$1 + 17 }")
  [ ${#centres[@]} -eq 20 ] || fail "found ${#centres[@]} empty slots, not 20"
  slot_point() { echo "${centres[$(($1 - 1))]}"; }

  # Another page refuses, and the pointer says so.
  click_in "$id" 30 74; sleep 0.5
  answer=$("$native/xdnd_drop" $(slot_point 3) "$loud")
  [ "$answer" = refused ] || fail "a drop on the first page was $answer, not refused"
  [ -z "$(setting 音效 按钮3)" ] || fail "a refused drop filled a slot"

  click_in "$id" $custom_tab; sleep 0.5
  answer=$("$native/xdnd_drop" $(slot_point 3) "$loud")
  [ "$answer" = accepted ] || fail "a drop on slot 3 was $answer"
  box=$(wait_for_window "提醒") || { screenshot "$KIVORA_SESSION/no-box.png"; fail "no message after one file"; }
  probe_captions 提醒 | grep -q "^自定义音效完成！" || fail "one file: not the dialog'"'"'s message: $(probe_captions 提醒)"
  close_box "$box"
  stored=$(setting 音效 按钮3)
  [ "$stored" = "Z:$(tr / \\\\ <<<"$loud")" ] || fail "按钮3 holds [$stored]"

  # Three files dropped on the filled slot 3: the two sounds go to 4 and 5, the text file is skipped.
  answer=$("$native/xdnd_drop" $(slot_point 3) "$quiet" "$files/notes.txt" "$far")
  [ "$answer" = accepted ] || fail "a drop of three files was $answer"
  box=$(wait_for_window "提醒") || { screenshot "$KIVORA_SESSION/no-summary.png"; fail "no message after three files"; }
  summary=$(probe_captions 提醒)
  screenshot "$KIVORA_SESSION/summary.png"
  grep -q "已添加 2 个音效，0 个没有空位放不下。" <<<"$summary" || fail "summary: $summary"
  grep -q "1 个不是MP3或WAV文件，已跳过。" <<<"$summary" || fail "summary: $summary"
  close_box "$box"
  probe_captions | grep -q "^조용한 tone	1" || fail "slot 4 does not show its Korean name"
  probe_captions | grep -q "^far tone	1" || fail "slot 5 does not show the long path'"'"'s name"
  for slot in 4 5; do
    stored=$(setting 音效 按钮$slot)
    [ -n "$stored" ] && [[ "$stored" != *"?"* ]] || fail "按钮$slot holds [$stored]"
  done

  # Measured in the background; each slot'"'"'s record names the file'"'"'s size.
  for _ in $(seq 1 100); do
    [ -n "$(setting 响度 按钮3)" ] && [ -n "$(setting 响度 按钮4)" ] && break
    sleep 0.1
  done
  [ "$(setting 响度 按钮3 | cut -d, -f1)" = "$(stat -c %s "$loud")" ] || fail "响度 按钮3 is [$(setting 响度 按钮3)]"
  [ -n "$(setting 响度 按钮4)" ] || fail "slot 4 was not measured"

  # What each slot sends to the device, measured from its samples there.
  # The device file starts again from nothing each time the stream reopens (after
  # a quiet spell), so the sound is read from where it was at the click, or from 0.
  device_lufs() {
    local before size
    before=$(audio_size)
    xdotool mousemove $(slot_point "$1"); sleep 0.2; xdotool click 1
    for _ in $(seq 1 100); do  # the tones last 4 s
      size=$(audio_size)
      [ "$size" -lt "$before" ] && before=0
      [ $((size - before)) -gt $((48000 * 4 * 5)) ] && break
      sleep 0.1
    done
    "$native/loudness_probe" "$KIVORA_AUDIO_OUT" 48000 2 "$before" 3 || echo "no sound"
  }
  loud_lufs=$(device_lufs 3)
  quiet_lufs=$(device_lufs 4)
  echo "measured: 按钮3 $(setting 响度 按钮3), 按钮4 $(setting 响度 按钮4)"
  echo "device loudness: slot 3 $loud_lufs LUFS, slot 4 $quiet_lufs LUFS, built-in clips $builtin_lufs LUFS"
  awk -v a="$loud_lufs" -v b="$quiet_lufs" -v t="$builtin_lufs" "BEGIN {
    d = a - b; if (d < 0) d = -d; e = a - t; if (e < 0) e = -e; f = b - t; if (f < 0) f = -f
    exit !(d <= 1 && e <= 1 && f <= 1) }" || fail "not levelled: $loud_lufs and $quiet_lufs against $builtin_lufs"

  press_escape "$id"
  wait_for_exit $kivora 15 || fail "did not exit cleanly"
  echo "drops: refused elsewhere, one file as the dialog, three files summed up; loudness matched at the device"
' _ "$here" "$exe" "$probe" "$native"

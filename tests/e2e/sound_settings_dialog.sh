#!/usr/bin/env bash
# The settings dialog's section "声音" driven by the keyboard alone, at 96, 144 and
# 192 DPI: from the section list to the sounds, a sound chosen with the arrow keys,
# its 音量, 再次按下 and 淡出 typed and picked, 确定 with Enter. The line reaches
# section 声音 of the settings file, and after a restart the dialog shows the sound
# marked and its fields as they were set, and the sound's second press stops it.
# With KIVORA_SHOTS set, the dialog is photographed at each DPI into that folder.
#   sound_settings_dialog.sh <Kivora.exe> <window_probe.exe> [stand_in.exe]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 KIVORA_SCREEN=2560x1600x24 exec bash "$here/../../scripts/wine-session.sh" -- \
    bash "$here/sound_settings_dialog.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3
settings="$HOME/Documents/Kivora/设置.ini"
mark="  ●"

controls() { "$WINE" "$probe" --controls "Kivora 设置" 2>/dev/null | tr -d '\r'; }
# The n-th control of a class on the shown page, as "<caption>" (the section list is the first ListBox).
nth() { controls | awk -F'\t' -v class="$1" -v n="$2" '$1 == class && $3 == 1 { if (++seen == n) { print $2; exit } }'; }
shows() { [ "$(nth "$1" "$2")" = "$3" ]; }
shows_like() { [[ "$(nth "$1" "$2")" == $3 ]]; }
line_of() { iconv -f GBK -t UTF-8 "$settings" 2>/dev/null | tr -d '\r' | grep -m1 "^$1=" | cut -d= -f2-; }

# Up to 90 s for the window: six starts in a row on a loaded machine.
start() {
  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora || wait_for_window Kivora || wait_for_window Kivora) || fail "no window"
}
stop() { press_escape "$id"; wait_for_exit $kivora 15 || fail "Kivora did not exit cleanly"; }
# The system menu's 设置..., then Down to 声音, the fourth section; Tab into its list of sounds.
open_sound_section() {
  click_in "$id" 200 8; sleep 0.3
  xdotool key alt+space; sleep 0.6
  xdotool key --delay 80 Down Down Down Down Down Return
  dialog=$(wait_for_window "Kivora 设置") || fail "设置... did not open the dialog"
  sleep 0.5; xdotool key --delay 120 Down Down Down
  wait_until 10 shows ListBox 1 "[3] 声音" || fail "the section list is not on 声音: $(nth ListBox 1)"
  xdotool key Tab; sleep 0.3
}
# The dialog alone, as a picture.
photograph() { [ -n "${KIVORA_SHOTS:-}" ] && import -display "$DISPLAY" -window "$dialog" "$KIVORA_SHOTS/$1" 2>/dev/null; true; }

for dpi in 96 144 192; do
  "$WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 ||
    fail "cannot set the display to $dpi DPI"
  start
  open_sound_section
  xdotool key --delay 120 Down Down
  # Marked from the second round on: the first one kept it.
  wait_until 10 shows_like ListBox 2 "\[2\] 哎哟我滴妈*" || fail "Down Down did not choose the third sound: $(nth ListBox 2)"
  # Tab into a field selects what it holds, so typing replaces it.
  xdotool key Tab; sleep 0.2; xdotool key --delay 80 minus 3
  xdotool key Tab; sleep 0.2; xdotool key --delay 120 Home Down
  xdotool key --delay 120 Tab Tab; sleep 0.2; xdotool key --delay 80 2 0 0
  wait_until 10 shows Edit 1 "-3" || fail "音量 reads $(nth Edit 1) at $dpi DPI"
  wait_until 10 shows Edit 3 "200" || fail "淡出 reads $(nth Edit 3) at $dpi DPI"
  wait_until 10 shows ListBox 2 "[2] 哎哟我滴妈$mark" || fail "the changed sound is not marked: $(nth ListBox 2)"
  case $(nth ComboBox 1) in *" [1]") ;; *) fail "再次按下 is not 停止: $(nth ComboBox 1)" ;; esac
  photograph "sound-settings-$dpi.png"
  if [ $dpi = 96 ]; then
    xdotool key Return  # in a field, Enter is the dialog's 确定
    wait_until 10 bash -c "[ \"\$(iconv -f GBK -t UTF-8 \"$settings\" 2>/dev/null | tr -d '\r' | grep -m1 '^按钮65=')\" = '按钮65=音量:-3;再次按下:停止;淡入:0;淡出:200' ]" ||
      fail "section 声音 does not hold the sound as set: $(line_of 按钮65)"
  else
    xdotool key Escape
  fi
  wait_until 10 bash -c "! xdotool search --onlyvisible --name '^Kivora 设置\$' >/dev/null" || fail "the dialog did not close"
  stop
done

"$WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
before=$(md5sum < "$settings")
start
open_sound_section
xdotool key --delay 120 Down Down
wait_until 10 shows ListBox 2 "[2] 哎哟我滴妈$mark" || fail "after a restart the sound is not marked: $(nth ListBox 2)"
shows Edit 1 "-3" && shows Edit 3 "200" || fail "after a restart 音量 and 淡出 read $(nth Edit 1) and $(nth Edit 3)"
case $(nth ComboBox 1) in *" [1]") ;; *) fail "after a restart 再次按下 is not 停止: $(nth ComboBox 1)" ;; esac
xdotool key Escape; sleep 0.5
[ "$(md5sum < "$settings")" = "$before" ] || fail "looking and cancelling changed the settings file"
# The sound acts as set (停止): a second press stops it over its 200 ms fade, and a
# third starts it again from its start. So the device file holds two bursts of it,
# the first cut short, the second the whole clip: an ignored or restarting second
# press would give two whole ones, or one long one.
wait_until 10 bash -c "! xdotool search --onlyvisible --name '^Kivora 设置\$' >/dev/null" || fail "the dialog did not close"
sound_button="199 114"
loud_since() { [ "$(awk -v r="$(audio_rms_after "$1")" 'BEGIN { print (r > 0.005) }')" = 1 ]; }
quiet_now() { local a; a=$(audio_size); sleep 1; [ "$(awk -v r="$(audio_rms_after "$a")" 'BEGIN { print (r < 0.001) }')" = 1 ]; }
heard() {
  local peak; peak=$(sox -t raw -e signed -b 16 -r 48000 -c 2 "$KIVORA_AUDIO_OUT" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
  awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.01) }'
}
# The second press comes 0.6 s after the first (closer together, two clicks are a
# double-click, which a button takes as no second press), not after the sound is
# seen in the file: on a busy machine that is seen late, and the stop would fall
# near the clip's own end.
click_in "$id" $sound_button
sleep 0.6
click_in "$id" $sound_button
wait_until 10 heard || fail "按钮65 was not heard"
wait_until 15 quiet_now || fail "按钮65 did not fall silent"
offset=$(audio_size)
click_in "$id" $sound_button
wait_until 10 loud_since "$offset" || fail "a third press did not start 按钮65 again"
wait_until 15 quiet_now || fail "按钮65 did not end"
stop
bursts=$(/usr/bin/python3 -c '
import sys, numpy
left = numpy.fromfile(sys.argv[1], dtype="<i2")[0::2]
loud = numpy.flatnonzero(numpy.abs(left) > 300)
# Bursts: loud samples with no quiet stretch of 0.3 s or more inside.
breaks = numpy.flatnonzero(numpy.diff(loud) > 14400)
starts = numpy.concatenate(([loud[0]], loud[breaks + 1])) if loud.size else []
ends = numpy.concatenate((loud[breaks], [loud[-1]])) if loud.size else []
print(" ".join(f"{(e - s) / 48000:.2f}" for s, e in zip(starts, ends)))' "$KIVORA_AUDIO_OUT")
set -- $bursts
[ $# -eq 2 ] || fail "按钮65 was heard in ${#} bursts (${bursts} s), not two"
awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0.3 < b) }' || fail "the second press did not stop 按钮65: bursts of ${bursts} s"
span="$1 s of its $2"
echo "sound settings: set by keyboard at 96, 144 and 192 DPI, kept as 按钮65=$(line_of 按钮65), shown again after a restart; its second press stopped it after ${span} s"

#!/usr/bin/env bash
# Global hotkeys as a user meets them. Keys are set in the settings dialog, opened
# from the system menu's "设置..." (by Alt+Space, later by a right click on the skinned
# title bar) with the keyboard, and typed into the rows' fields; a second Wine program, the stand-in, then holds the focus while
# xdotool presses them (Wine delivers WM_HOTKEY only while one of its windows has
# the X focus). A key plays its sound, pause and mute act, a held key plays once;
# after a restart the keys still work, a key the stand-in took is named once at
# start and shown as taken, and hand-edited values that name no usable key are
# ignored without losing the rest.
#   global_hotkeys.sh <Kivora.exe> <window_probe.exe> <stand_in.exe>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" != --inside ]; then
  KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash "$here/global_hotkeys.sh" --inside "$@"
fi
source "$here/common.sh"
exe=$2; probe=$3; standin=$4
settings="$HOME/Documents/Kivora/设置.ini"

# The engine closes its stream after a few quiet seconds, and reopening it starts the
# device file afresh: an offset beyond the file's end then means its start.
since() { [ "$(audio_size)" -lt "$1" ] && echo 0 || echo "$1"; }
# Frames (48 kHz) of the last loud stretch in the device file (quiet gaps under half a
# second belong to it): the last sound, whether or not the file began afresh since.
last_loud_stretch() {
  python3 - "$KIVORA_AUDIO_OUT" <<'PY'
import sys, array
data = open(sys.argv[1], 'rb').read()
samples = array.array('h', data[:len(data) // 4 * 4])
start = end = None
for i in range(0, len(samples), 2):
    if max(abs(samples[i]), abs(samples[i + 1])) > 300:
        frame = i // 2
        if end is None or frame - end > 24000: start = frame
        end = frame
print(end - start + 1 if end is not None else 0)
PY
}
is_loud() { awk -v r="$(audio_rms_after "$(since "$1")")" 'BEGIN { exit !(r > 0.01) }'; }
is_quiet() { awk -v r="$(audio_rms_after "$(since "$1")")" 'BEGIN { exit !(r < 0.002) }'; }
# Waits up to $2 seconds for condition $1 (a command taking the byte offset $3).
wait_until() {
  local condition=$1 seconds=$2 offset=$3
  for _ in $(seq 1 $((seconds * 4))); do "$condition" "$offset" && return 0; sleep 0.25; done
  return 1
}
# Waits until the last loud stretch has stopped growing (the device file is written
# in bursts, so it must hold still for two looks a second apart); prints its frames.
loud_stretch_settled() {
  local previous=-1 stable=0 span
  for _ in $(seq 1 40); do
    sleep 1
    span=$(last_loud_stretch)
    if [ "$span" -gt 0 ] && [ "$span" = "$previous" ]; then stable=$((stable + 1)); else stable=0; fi
    [ $stable -ge 2 ] && { echo "$span"; return 0; }
    previous=$span
  done
  return 1
}

# The dialog's rows as "<caption>\t<field: virtual key and flags>\t<status>", in list order.
dialog_rows() {
  "$WINE" "$probe" --controls "Kivora 设置" 2>/dev/null | tr -d '\r' | awk -F'\t' '
    $1 == "Static" && !after_clear { caption = $2 }
    $1 == "msctls_hotkey32" { field = $2 }
    $1 == "Button" && $2 == "清除" { after_clear = 1; next }
    $1 == "Static" && after_clear { print caption "\t" field "\t" $2; after_clear = 0 }'
}
# The note is the page's last label; the pages of the other sections are hidden.
dialog_note() {
  "$WINE" "$probe" --controls "Kivora 设置" 2>/dev/null | tr -d '\r' | awk -F'\t' '$1 == "Static" { last = $2 } $1 == "Button" && $2 == "全部清除" { print last; exit }'
}
row_of() { dialog_rows | sed -n "$(($1 + 1))p"; }
# Waits up to 5 s for the dialog's note to say $1 (the note follows the key by a message or two).
note_says() {
  for _ in $(seq 1 25); do [[ "$(dialog_note)" == *"$1"* ]] && return 0; sleep 0.2; done
  return 1
}
# Waits up to 5 s for row $1 to show it holds no key.
row_refused() {
  local line
  for _ in $(seq 1 25); do
    line=$(row_of "$1")
    [ "$(cut -f2 <<<"$line")" = "0 0" ] && [ "$(cut -f3 <<<"$line")" = "不能使用" ] && return 0
    sleep 0.2
  done
  return 1
}
# Waits until row $1's field has the keyboard focus (Wine takes a while over a long run of Tabs).
wait_for_field_focus() {
  for _ in $(seq 1 50); do
    "$WINE" "$probe" --controls "Kivora 设置" 2>/dev/null | tr -d '\r' |
      awk -F'\t' -v row="$1" '$1 == "msctls_hotkey32" { if (n++ == row) focused = ($6 == 1) } END { exit !focused }' && return 0
    sleep 0.1
  done
  return 1
}

# The system menu opened by Alt+Space ($2 = keys) or by a right click on the skinned
# title bar ($2 = title), then its keys: Wine's menu lists 还原 移动 大小 最小化 最大化, a
# separator, then 设置... (above 关闭). Alt+Space highlights the first item, a click none.
open_settings() {
  click_in "$1" 200 8; sleep 0.3
  if [ "$2" = keys ]; then
    xdotool key alt+space; sleep 0.6
    xdotool key --delay 80 Down Down Down Down Down Return
  else
    xdotool mousemove --window "$1" 150 8; sleep 0.2; xdotool click 3; sleep 0.6
    xdotool key --delay 80 Down Down Down Down Down Down Return
  fi
  wait_for_window "Kivora 设置" >/dev/null || { screenshot "$KIVORA_SESSION/no-dialog.png"; fail "设置... did not open the dialog ($2)"; }
  sleep 0.5
}

"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window"
open_settings "$id" keys
screenshot "$KIVORA_SESSION/dialog-open.png"

# The first row's field takes the focus with a click; Tab then goes field, 清除, next field.
first=$("$WINE" "$probe" --controls "Kivora 设置" | tr -d '\r' | awk -F'\t' '$1 == "msctls_hotkey32" { print $5; exit }')
read -r fx fy <<<"$first"
xdotool mousemove $((fx + 20)) $((fy + 8)) click 1; sleep 0.3
# row  keys typed   what the row then holds
table="0  ctrl+alt+1  Ctrl+Alt+1
1  ctrl+alt+2  Ctrl+Alt+2
2  F12         refused:调试器
3  ctrl+alt+1  refused:已用于
80 ctrl+alt+p  Ctrl+Alt+P
81 ctrl+alt+m  Ctrl+Alt+M
82 ctrl+alt+u  Ctrl+Alt+U"
row=0
while read -r target keys expected; do
  [ "$target" -gt "$row" ] && xdotool key --delay 8 --repeat $(((target - row) * 2)) Tab
  row=$target
  wait_for_field_focus "$row" || fail "the Tab key did not bring row $row's field into focus"
  xdotool key "$keys"; sleep 0.4
  line=$(row_of "$row")
  case $expected in
    refused:*)
      row_refused "$row" || fail "row $row kept $keys: $(row_of "$row")"
      note_says "${expected#refused:}" || fail "row $row: no reason given for $keys ($(dialog_note))"
      screenshot "$KIVORA_SESSION/refused-$row.png" ;;
    *) [ "$(cut -f2 <<<"$line")" != "0 0" ] || fail "row $row did not take $keys: $line" ;;
  esac
done <<<"$table"
screenshot "$KIVORA_SESSION/dialog-set.png"
xdotool key Return
for _ in $(seq 1 20); do xdotool search --name "^Kivora 设置\$" >/dev/null 2>&1 || break; sleep 0.2; done
saved=$(iconv -f GBK -t UTF-8 "$settings" | tr -d '\r')
for pair in 按钮63=Ctrl+Alt+1 按钮64=Ctrl+Alt+2 停止播放=Ctrl+Alt+P 静音=Ctrl+Alt+M 音量加=Ctrl+Alt+U; do
  grep -qx "$pair" <<<"$saved" || fail "设置.ini lacks $pair: $(echo $saved)"
done
grep -q "^按钮65=\|^按钮66=" <<<"$saved" && fail "a refused key was saved"

# The stand-in takes the focus; its own Ctrl+Alt+K is registered without MOD_NOREPEAT,
# to show that a held key does repeat here.
"$WINE" "$standin" 3:75:repeat > "$KIVORA_SESSION/stand-in.out" & standin_pid=$!
other=$(wait_for_window Stand-in) || fail "the stand-in did not start"
xdotool windowfocus --sync "$other"; sleep 0.5

from=$(audio_size)
xdotool key ctrl+alt+1
wait_until is_loud 15 "$from" || fail "Ctrl+Alt+1 did not play 群众笑声"
once=$(loud_stretch_settled) || fail "the sound did not end"

xdotool keydown ctrl+alt+k; sleep 1.5; xdotool keyup ctrl+alt+k; sleep 0.5
repeats=$(grep -c "^pressed" "$KIVORA_SESSION/stand-in.out")
[ "$repeats" -gt 2 ] || fail "a held key did not repeat for the stand-in ($repeats presses): the check below would prove nothing"
from=$(audio_size)
xdotool keydown ctrl+alt+1; sleep 1.5; xdotool keyup ctrl+alt+1
wait_until is_loud 10 "$from" || fail "the held Ctrl+Alt+1 did not play"
held=$(loud_stretch_settled) || fail "the held key's sound did not end"
# Each repeat would cut the sound and start it again: the loud part would last as
# long as the key was held on top of the clip.
[ $((held - once)) -lt 24000 ] && [ $((once - held)) -lt 24000 ] ||
  fail "a held key played more than once: $held loud frames against $once for one press"

from=$(audio_size)
xdotool key ctrl+alt+1
wait_until is_loud 10 "$from" || fail "no sound to pause"
xdotool key ctrl+alt+p; sleep 0.3
paused=$(audio_size)
wait_until is_quiet 5 "$paused" || fail "Ctrl+Alt+P did not pause (RMS $(audio_rms_after "$paused"))"
sleep 1; paused=$(audio_size); sleep 1
is_quiet "$paused" || fail "the sound came back while paused"
resumed=$(audio_size)
xdotool key ctrl+alt+p
wait_until is_loud 5 "$resumed" || fail "Ctrl+Alt+P again did not resume"
xdotool key ctrl+alt+m; sleep 0.5
probe_captions | grep -q "^静音	" || fail "Ctrl+Alt+M did not mute: $(probe_captions | grep -E "%|静音")"
muted=$(audio_size); sleep 1
is_quiet "$muted" || fail "sound went on while muted"
xdotool key ctrl+alt+m; sleep 0.5
probe_captions | grep -q "^100%	" || fail "Ctrl+Alt+M again did not unmute"
kill "$standin_pid" 2>/dev/null
press_escape "$id"
wait_for_exit $kivora 15 || fail "the first run did not exit cleanly"

# Hand-edited values: a key with no name, a key the system keeps, and a row that
# repeats another's key, beside the keys set above.
printf '按钮65=Ctrl+Banana\r\n按钮66=Win+L\r\n按钮67=Ctrl+Alt+1\r\n' | iconv -f UTF-8 -t GBK >> "$settings"
edited=$(md5sum < "$settings")
# Now the stand-in holds Ctrl+Alt+2 before Kivora starts.
"$WINE" "$standin" 3:50 > "$KIVORA_SESSION/stand-in-2.out" & standin_pid=$!
other=$(wait_for_window Stand-in) || fail "the stand-in did not start again"
for _ in $(seq 1 20); do grep -q "registered 3:50" "$KIVORA_SESSION/stand-in-2.out" && break; sleep 0.2; done
"$WINE" "$exe" & kivora=$!
id=$(wait_for_window Kivora) || fail "no window on restart"
box=$(wait_for_window 热键) || { screenshot "$KIVORA_SESSION/no-box.png"; fail "no message about the taken key"; }
screenshot "$KIVORA_SESSION/taken-box.png"
probe_captions 热键 | grep -q "Ctrl+Alt+2（欢呼掌声）" || fail "the box does not name Ctrl+Alt+2: $(probe_captions 热键)"
[ "$(xdotool search --name '^热键$' | wc -l)" = 1 ] || fail "more than one box"
xdotool windowfocus --sync "$box"; xdotool key Return; sleep 0.5

xdotool windowfocus --sync "$other"; sleep 0.5
from=$(audio_size)
xdotool key ctrl+alt+1
wait_until is_loud 15 "$from" || fail "Ctrl+Alt+1 did not survive the restart"

open_settings "$id" title
screenshot "$KIVORA_SESSION/dialog-taken.png"
[ "$(row_of 1 | cut -f3)" = 已被其他程序占用 ] || fail "row 欢呼掌声 is not shown as taken: $(row_of 1)"
for row in 2 3 4; do
  [ "$(row_of $row | cut -f2)" = "0 0" ] || fail "the hand-edited row $row was not ignored: $(row_of $row)"
done
[ "$(row_of 0 | cut -f2-)" = "49 6	" ] || fail "row 0 lost Ctrl+Alt+1 on restart, or shows it as taken: $(row_of 0)"
xdotool key Escape; sleep 0.5
[ "$(md5sum < "$settings")" = "$edited" ] || fail "the settings file changed though nothing was applied"
# The keys let go while the dialog was open are taken again when it is cancelled.
xdotool windowfocus --sync "$other"
loud_stretch_settled >/dev/null || fail "the sound before the dialog did not end"
from=$(audio_size)
xdotool key ctrl+alt+1
wait_until is_loud 10 "$from" || fail "Ctrl+Alt+1 did not work after the dialog was cancelled"
kill "$standin_pid" 2>/dev/null
press_escape "$id"
wait_for_exit $kivora 15 || fail "the second run did not exit cleanly"
echo "global hotkeys: one press $once loud frames, held 1.5 s $held (the stand-in's repeating key: $repeats presses)"

#!/usr/bin/env bash
# The notification-area icon as a user meets it: a right click on the icon in Wine's
# tray window opens the menu just above the pointer, "退出程序" asks "是否退出？",
# Yes ends the program with exit code 0.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"
  "$WINE" "$2" & kivora=$!
  wait_for_window Kivora >/dev/null || fail "no window titled Kivora appeared"
  tray=$(wait_for_window "Wine System Tray") || fail "no tray window"
  eval "$(xdotool getwindowgeometry --shell "$tray")"
  # The first icon sits in the tray window below its title bar.
  icon_x=$((X + 13)); icon_y=$((Y + 32))

  menu=""
  for attempt in 1 2 3 4 5; do
    xdotool mousemove $icon_x $icon_y; sleep 0.4
    xdotool mousedown 3; sleep 0.1; xdotool mouseup 3; sleep 0.8
    menu=$(xwininfo -root -tree | grep "\"kivora.exe\"" | grep -v -e "\"Kivora\"" -e "Default IME" -e " 1x1+" | head -n 1)
    [ -n "$menu" ] && break
  done
  [ -n "$menu" ] || fail "the menu did not open from the tray icon"
  screenshot "$KIVORA_SESSION/tray-menu.png"
  read -r width height left top <<<"$(sed -E "s/.* ([0-9]+)x([0-9]+)\+(-?[0-9]+)\+(-?[0-9]+) .*/\1 \2 \3 \4/" <<<"$menu")"
  [ "$top" = $((icon_y - 5)) ] || fail "menu top $top, expected $((icon_y - 5))"
  # Right edge at x - 5 unless that would push the menu off the screen, where it is shifted to fit.
  expected_right=$((icon_x - 5)); [ $expected_right -lt $width ] && expected_right=$width
  [ $((left + width)) = $expected_right ] || fail "menu right edge $((left + width)), expected $expected_right"

  # The last of the five items is "退出程序".
  xdotool mousemove $((left + width / 2)) $((top + height - 12)); sleep 0.3; xdotool click 1
  question=$(wait_for_window "提示") || fail "no exit question appeared"
  screenshot "$KIVORA_SESSION/exit-question.png"
  xdotool key --window "$question" Return 2>/dev/null
  wait_for_exit $kivora 15; code=$?
  [ $code = 0 ] || fail "exit code $code"
  echo "tray menu at ${left},${top} (${width}x${height}); Yes ended Kivora with exit code 0"
' _ "$here" "$exe"

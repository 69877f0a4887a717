#!/usr/bin/env bash
# Edge docking as a user meets it, with real X input: Kivora dragged by its title bar
# past the left edge stays at x = 0 while dragged and docks there when released; with
# the pointer moved away it slides out to a 5-pixel strip; touching the strip brings it
# back to x = 0, active and fully drawn.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"
  "$WINE" "$2" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window titled Kivora appeared"
  sleep 0.5
  left_of() { eval "$(xdotool getwindowgeometry --shell "$id")"; echo "$X"; }
  # Waits up to 5 s for the window to reach left = $1 (slides take about 0.3 s).
  wait_for_left() { for _ in $(seq 1 50); do [ "$(left_of)" = "$1" ] && return 0; sleep 0.1; done; return 1; }
  eval "$(xdotool getwindowgeometry --shell "$id")"
  start_x=$X; start_y=$Y; width=$WIDTH

  # Drag by the title bar until the window would be 80 pixels past the left edge.
  xdotool mousemove $((start_x + 200)) $((start_y + 8)); sleep 0.3
  xdotool mousedown 1; sleep 0.3
  for x in $(seq $((start_x + 160)) -40 120); do xdotool mousemove "$x" $((start_y + 8)); sleep 0.05; done
  xdotool mousemove 120 $((start_y + 8)); sleep 0.3
  wait_for_left 0 || { xdotool mouseup 1; fail "while dragged past the edge the window is at $(left_of), not 0"; }
  xdotool mouseup 1; sleep 0.5
  wait_for_left 0 || fail "released at the left edge, the window is at $(left_of), not 0"

  # Another window takes the focus, then the pointer leaves Kivora.
  xdotool mousemove 100 10 click 1; sleep 0.3
  xdotool mousemove 900 600
  wait_for_left $((5 - width)) || fail "pointer away: left is $(left_of), not $((5 - width))"
  screenshot "$KIVORA_SESSION/collapsed.png"

  xdotool mousemove 2 $((start_y + 150))
  wait_for_left 0 || fail "strip touched: left is $(left_of), not 0"
  window_active() { [ "$(xdotool getwindowfocus)" = "$id" ]; }
  wait_until 5 window_active || fail "the window came back but is not active"
  sleep 0.5
  screenshot "$KIVORA_SESSION/expanded.png"
  # The first built-in button was off the screen while collapsed: it is drawn again.
  brightness=$(convert "$KIVORA_SESSION/expanded.png" -crop 60x20+15+$((start_y + 103)) -format "%[fx:mean]" info:)
  awk -v b="$brightness" "BEGIN { exit !(b > 0.5) }" || fail "the part that was off the screen stayed dark (mean $brightness)"

  press_escape "$id"
  wait_for_exit $kivora 15; code=$?
  [ $code = 0 ] || fail "exit code $code"
  echo "dragged to x=0, collapsed to x=$((5 - width)), back at x=0 and active; Esc ended Kivora with code 0"
' _ "$here" "$exe"

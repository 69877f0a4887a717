#!/usr/bin/env bash
# A first start in a brand-new Wine prefix: the window appears centred with its
# title and size, the Data folder is made, a second copy starts beside it, and
# Esc closes each with exit code 0.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"
  "$WINE" "$2" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window titled Kivora appeared"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  screenshot "$KIVORA_SESSION/first-start.png"
  [ "$WIDTH" = 397 ] && [ "$HEIGHT" = 305 ] || fail "window is ${WIDTH}x${HEIGHT}, not 397x305"
  [ "$X" = $(( (1280 - 397) / 2 )) ] && [ "$Y" = $(( (800 - 305) / 2 )) ] || fail "window at $X,$Y is not centred"
  wait_until 10 test -d "$HOME/Documents/Kivora" || fail "the Data folder was not created"

  "$WINE" "$2" & second=$!
  for _ in $(seq 1 100); do
    [ "$(xdotool search --onlyvisible --name "^Kivora\$" 2>/dev/null | wc -l)" = 2 ] && break
    sleep 0.2
  done
  [ "$(xdotool search --onlyvisible --name "^Kivora\$" 2>/dev/null | wc -l)" = 2 ] || fail "a second copy did not start"
  for copy in 1 2; do
    id=$(xdotool search --onlyvisible --name "^Kivora\$" | tail -n 1)
    press_escape "$id"; sleep 1
  done
  wait_for_exit $kivora 15; code=$?
  [ $code = 0 ] || fail "exit code $code"
  wait_for_exit $second 15; code=$?
  [ $code = 0 ] || fail "second copy exit code $code"
  echo "first start: window ${WIDTH}x${HEIGHT} at $X,$Y; a second copy ran beside it; Esc closed both with exit code 0"
' _ "$here" "$exe"

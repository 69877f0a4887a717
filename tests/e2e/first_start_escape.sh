#!/usr/bin/env bash
# A first start in a brand-new Wine prefix: the window appears centred with its
# title and size, the Data folder is made, and Esc closes it with exit code 0.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"
  wine "$2" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window titled Kivora appeared"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  screenshot "$KIVORA_SESSION/first-start.png"
  [ "$WIDTH" = 397 ] && [ "$HEIGHT" = 305 ] || fail "window is ${WIDTH}x${HEIGHT}, not 397x305"
  [ "$X" = $(( (1280 - 397) / 2 )) ] && [ "$Y" = $(( (800 - 305) / 2 )) ] || fail "window at $X,$Y is not centred"
  [ -d "$HOME/Documents/Kivora" ] || fail "the Data folder was not created"

  press_escape "$id"
  wait_for_exit $kivora 15; code=$?
  [ $code = 0 ] || fail "exit code $code"
  echo "first start: window ${WIDTH}x${HEIGHT} at $X,$Y; Esc closed it with exit code 0"
' _ "$here" "$exe"

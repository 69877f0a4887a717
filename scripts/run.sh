#!/usr/bin/env bash
# Starts Kivora under Wine in a prefix kept in build/session, so settings and the
# extracted sounds survive between runs. Without a display it starts Xvfb, waits
# for the window, saves a screenshot and keeps Kivora running until Ctrl-C.
set -euo pipefail
exe=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
shot="$root/build/screenshot.png"

if [ -n "${DISPLAY:-}" ]; then
  exec bash "$root/scripts/wine-session.sh" --keep "$root/build/session" -- bash -c 'exec "$WINE" "$1"' _ "$exe"
fi

exec bash "$root/scripts/wine-session.sh" --keep "$root/build/session" -- bash -c '
  "$WINE" "$1" & kivora=$!
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^Kivora$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 1
  # The window as it stands on the screen, frame and title bar included.
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -display "$DISPLAY" -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
  echo "Kivora is running on display $DISPLAY; screenshot: $2 (Ctrl-C to stop)"
  wait $kivora' _ "$exe" "$shot"

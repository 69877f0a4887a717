#!/usr/bin/env bash
# Saves a screenshot of each of Kivora's five pages: page_shots.sh Kivora.exe out-folder prefix [dpi]
# Runs in a private Wine session; each tab is clicked with real X input. With a DPI
# (96, 120, 144, 192, ...) the session's display is set to it before Kivora starts.
set -euo pipefail
exe=$(realpath "$1"); out=$(realpath -m "$2"); prefix=${3:-page}; dpi=${4:-96}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
exec bash "$root/scripts/wine-session.sh" -- bash -c '
  exe=$1 out=$2 prefix=$3 dpi=$4
  "$WINE" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$WINE" "$exe" & kivora=$!
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "^Kivora$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
    sleep 0.2
  done
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$id")"
  # Tab headers, in window coordinates (frame and title bar included); the title
  # bar grows by 9 pixels for every 48 DPI.
  for page in 1 2 3 4 5; do
    xdotool mousemove $((X + (30 + (page - 1) * 52) * dpi / 96)) $((Y + 22 + (dpi - 96) * 9 / 48 + 46 * dpi / 96)) click 1
    xdotool mousemove $((X + 200 * dpi / 96)) $((Y + 10))
    sleep 0.7
    import -display "$DISPLAY" -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$prefix-$page.png"
  done
  kill $kivora; wait $kivora 2>/dev/null || true' _ "$exe" "$out" "$prefix" "$dpi"

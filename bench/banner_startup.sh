#!/usr/bin/env bash
# Start-up time of Kivora.exe (process start to visible window, later starts) with
# the banner server answering at once, never answering, and with no network at all
# (the built-in address, which cannot be reached here), in one private Wine session.
#   bench/banner_startup.sh [Kivora.exe] [runs] [another Kivora.exe to compare]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/Kivora.exe}")
runs=${2:-9}
other=${3:+$(realpath "$3")}

exec bash "$root/scripts/wine-session.sh" -- bash -c '
  root=$1; exe=$2; runs=$3; other=$4
  bench="$root/build/bench/startup_time.exe"
  python3 "$root/tests/e2e/banner_server.py" "$root/assets/banner.jpg" "$KIVORA_SESSION/server.log" > "$KIVORA_SESSION/port" &
  server=$!; trap "kill $server 2>/dev/null" EXIT
  for _ in $(seq 1 50); do [ -s "$KIVORA_SESSION/port" ] && break; sleep 0.1; done
  port=$(head -n 1 "$KIVORA_SESSION/port")
  time_with() {
    echo "== $1"
    KIVORA_BANNER_URL=$2 "$WINE" "$bench" "Z:$3" "$runs" | tr -d "\r"
  }
  [ -n "$other" ] && time_with "comparison program ($other)" "" "$other"
  time_with "banner served at once" "http://127.0.0.1:$port/banner.jpg" "$exe"
  time_with "banner server never answers" "http://127.0.0.1:$port/silent" "$exe"
  time_with "no network (built-in address)" "" "$exe"
' _ "$root" "$exe" "$runs" "$other"

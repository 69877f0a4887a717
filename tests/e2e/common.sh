# Shared steps of the end-to-end scripts: each runs Kivora.exe under Wine and
# drives it through X as a user would (xdotool), in a session of its own.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits until a top-level window titled exactly $1 exists; prints its X id.
wait_for_window() {
  local title=$1 id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# Waits for a process to end within $2 seconds; its exit code becomes ours.
wait_for_exit() {
  local pid=$1 seconds=$2
  for _ in $(seq 1 $((seconds * 10))); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid"; return $?; }
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  fail "process $pid still running after ${seconds}s"
}

screenshot() { import -display "$DISPLAY" -window root "$1" 2>/dev/null || true; }

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

# Runs a check again and again until it succeeds or $1 seconds have passed: state that
# an action sets off (a caption restored, a file written, a window moved) arrives when
# it arrives, so no check reads it once and hopes.
wait_until() {
  local seconds=$1; shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# Whether a control of the window titled $2 (Kivora by default) shows a line matching $1.
has_caption() { probe_captions "${2:-Kivora}" | grep -q "$1"; }

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

# The controls of the window titled $1 (Kivora by default), one "caption<TAB>visible<TAB>enabled" line each.
probe_captions() { "$WINE" "$probe" "${1:-Kivora}" 2>/dev/null | tr -d '\r'; }

# Clicks at a point given relative to the window's outer top-left corner.
click_in() { xdotool mousemove --window "$1" "$2" "$3"; sleep 0.2; xdotool click 1; }

# RMS amplitude (0..1) of the raw device output written after byte offset $1.
audio_rms_after() {
  local offset=$1 size
  size=$(stat -c %s "$KIVORA_AUDIO_OUT" 2>/dev/null || echo 0)
  [ "$size" -gt "$offset" ] || { echo 0; return; }
  tail -c +$((offset + 1)) "$KIVORA_AUDIO_OUT" > "$KIVORA_SESSION/tail.raw"
  sox -t raw -e signed -b 16 -r 48000 -c 2 "$KIVORA_SESSION/tail.raw" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}'
}

audio_size() { stat -c %s "$KIVORA_AUDIO_OUT" 2>/dev/null || echo 0; }

# Esc as a user presses it: the window is focused by a click on its title bar and
# the key goes through the X server (a key sent to one window with XSendEvent
# leaves Wine believing Esc is still held, which the next start would inherit).
press_escape() { click_in "$1" 200 8; sleep 0.3; xdotool key Escape 2>/dev/null; }

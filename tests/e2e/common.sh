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

# Any device file: its size, whether what came into it after byte offset $2 is
# louder than 1 % RMS, and whether nothing loud came for a whole second (a stream
# that stays open still writes silence under Wine). A device's file starts afresh
# when its stream opens again (the monitor's closes after a quiet while): a file
# shorter than the offset holds only what came since, and all of it counts.
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
loud_after() {
  local size offset=$2; size=$(size_of "$1")
  [ "$size" -lt "$offset" ] && offset=0
  [ "$size" -gt "$offset" ] || return 1
  tail -c +$((offset + 1)) "$1" > "$KIVORA_SESSION/part.raw"
  local rms; rms=$(sox -t raw -e signed -b 16 -r 48000 -c 2 "$KIVORA_SESSION/part.raw" -n stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
  awk -v r="${rms:-0}" 'BEGIN { exit !(r > 0.01) }'
}
quiet_for_a_second() { local a; a=$(size_of "$1"); sleep 1; ! loud_after "$1" "$a"; }

# Esc as a user presses it: the window is focused by a click on its title bar and
# the key goes through the X server (a key sent to one window with XSendEvent
# leaves Wine believing Esc is still held, which the next start would inherit).
press_escape() { click_in "$1" 200 8; sleep 0.3; xdotool key Escape 2>/dev/null; }

# The endpoint ID Wine gives the device that list_output_devices names last.
fixed_device_id="{0.0.0.00000000}.{33221100-5544-7766-8899-AABBCCDDEEFF}"

# Shows Wine the output devices $@ (names; "default" is the session's own device),
# each one that is not "default" an ALSA file device writing "$KIVORA_SESSION/<name>.raw".
# The last one gets $fixed_device_id (IDs are random in a new prefix otherwise).
list_output_devices() {
  local name list=""
  for name in "$@"; do
    list="${list:+$list\0}$name"
    [ "$name" = default ] && continue
    echo "pcm.\"$name\" { type plug slave { pcm { type file slave.pcm \"null\" file \"$KIVORA_SESSION/$name.raw\" format \"raw\" } format S16_LE rate 48000 channels 2 } }" >> "$HOME/.asoundrc"
  done
  "$WINE" reg add 'HKCU\Software\Wine\Drivers\winealsa.drv' /v ALSAOutputDevices /t REG_MULTI_SZ /d "$list" /f >/dev/null 2>&1
  "$WINE" reg add "HKCU\\Software\\Wine\\Drivers\\winealsa.drv\\devices\\0,$name" /v guid /t REG_BINARY /d 00112233445566778899aabbccddeeff /f >/dev/null 2>&1
}

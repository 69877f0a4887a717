#!/usr/bin/env bash
# A custom button filled through the real open-file dialog: the user types the
# file's full path and presses Enter. The caption changes, the settings file
# holds the path, a restart shows the caption again, and a click plays the file
# (samples reach the file-backed sound device). A real double-click then plays,
# pauses and offers the dialog; cancelling it leaves the slot as it was and the
# sound paused.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1
probe=$2

KIVORA_FORCE_XVFB=1 exec bash "$here/../../scripts/wine-session.sh" -- bash -c '
  source "$1/common.sh"; exe=$2; probe=$3
  mkdir -p "$KIVORA_SESSION/clips"
  cp "$1/../../assets/sounds/02.mp3" "$KIVORA_SESSION/clips/applause.mp3"
  clip_windows="Z:$(tr / \\\\ <<<"$KIVORA_SESSION/clips/applause.mp3")"

  # Outer-window offsets of what the user clicks (Wine draws a 3-pixel frame and a title bar).
  custom_tab="193 74"; slot1="45 114"

  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window"
  click_in "$id" $custom_tab; sleep 0.5
  click_in "$id" $slot1
  dialog=$(wait_for_window "导入MP3...") || { screenshot "$KIVORA_SESSION/no-dialog.png"; fail "the open-file dialog did not appear"; }
  sleep 0.5
  xdotool type --delay 20 "$clip_windows"; sleep 0.3
  xdotool key Return
  done_box=$(wait_for_window "提醒") || { screenshot "$KIVORA_SESSION/no-message.png"; fail "no completion message"; }
  screenshot "$KIVORA_SESSION/assigned.png"
  xdotool key --window "$done_box" Return 2>/dev/null; sleep 0.5

  wait_until 10 has_caption "^applause	1" || fail "slot caption is not applause: $(probe_captions | head -3)"
  settings="$HOME/Documents/Kivora/设置.ini"
  stored_path() { iconv -f GBK -t UTF-8 "$settings" 2>/dev/null | tr -d "\r" | sed -n "/^\[音效\]/,/^\[/ s/^按钮1=//p"; }
  path_stored() { [ "$(stored_path)" = "$clip_windows" ]; }
  wait_until 10 path_stored || fail "按钮1 holds [$(stored_path)], not [$clip_windows]"
  stored=$(stored_path)

  press_escape "$id"
  wait_for_exit $kivora 15 || fail "first run did not exit cleanly"

  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window on restart"
  # The custom captions are restored once the window shows: wait for them.
  wait_until 10 has_caption "^applause	" || fail "restart lost the caption"
  click_in "$id" $custom_tab; sleep 0.5
  before=$(audio_size)
  click_in "$id" $slot1
  rms=0
  for _ in $(seq 1 40); do  # the first sound of a session waits for the decoder to start
    sleep 0.25
    rms=$(audio_rms_after "$before")
    awk -v r="$rms" "BEGIN { exit !(r > 0.01) }" && break
  done
  screenshot "$KIVORA_SESSION/playing.png"
  awk -v r="$rms" "BEGIN { exit !(r > 0.01) }" || fail "no sound reached the device (RMS $rms)"

  xdotool mousemove --window "$id" $slot1; sleep 0.2; xdotool click --repeat 2 --delay 60 1
  dialog=$(wait_for_window "导入MP3...") || fail "a double-click did not offer the dialog"
  sleep 0.3; xdotool key Escape; sleep 0.5
  wait_until 10 has_caption "^applause	1" || fail "cancel changed the slot"
  # Paused: a full second of device output after some point holds no sound.
  paused_rms=1
  quiet_for_a_second() {
    local from; from=$(audio_size); sleep 1
    paused_rms=$(audio_rms_after "$from")
    awk -v r="$paused_rms" "BEGIN { exit !(r < 0.002) }"
  }
  wait_until 1 quiet_for_a_second || fail "the sound was not paused after the double-click (RMS $paused_rms)"
  press_escape "$id"
  wait_for_exit $kivora 15 || fail "second run did not exit cleanly"
  echo "custom slot: dialog typed path stored as $stored, caption restored, playback RMS $rms, paused RMS $paused_rms"
' _ "$here" "$exe" "$probe"

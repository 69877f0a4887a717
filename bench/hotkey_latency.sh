#!/usr/bin/env bash
# Key press to first sample against a click on the same sound, in one run, both
# driven from outside through X as a user would: Ctrl+Alt+1 (saved for 群众笑声
# before the start) pressed while another Wine program has the focus, and a click on
# the 群众笑声 button of the focused Kivora window. Each is timed from the moment
# xdotool is told to act to the first sample louder than silence in the ALSA device
# file; rounds alternate, each 1.5 s after the pause key stopped the sound before. Prints median, min and max of each and the difference of the medians.
#   bench/hotkey_latency.sh [Kivora.exe] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/Kivora.exe}")
rounds=${2:-15}

KIVORA_FORCE_XVFB=1 exec bash "$root/scripts/wine-session.sh" -- bash -c '
  source "$1/tests/e2e/common.sh"; exe=$2; rounds=$3; standin=$1/build/tests/stand_in.exe
  mkdir -p "$HOME/Documents/Kivora"
  printf "[热键]\r\n按钮63=Ctrl+Alt+1\r\n停止播放=Ctrl+Alt+P\r\n" | iconv -f UTF-8 -t GBK > "$HOME/Documents/Kivora/设置.ini"
  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window"
  "$WINE" "$standin" >/dev/null & standin_pid=$!
  other=$(wait_for_window Stand-in) || fail "no stand-in"
  sleep 2
  PYTHONPATH="$1/bench" python3 - "$KIVORA_AUDIO_OUT" "$rounds" "$id" "$other" <<"PY"
import sys
from first_sample import DeviceFile, Quiet, xdo, report, median_difference
device, rounds, kivora, other = DeviceFile(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
results = {"click": [], "hotkey": []}
quiet = Quiet(other)
quiet.make()
for round in range(rounds):
    xdo("windowfocus", "--sync", kivora); xdo("mousemove", "--window", kivora, "45", "114")
    quiet.wait()
    results["click"].append(device.timed(lambda: xdo("click", "1")))
    quiet.make(); quiet.wait()
    results["hotkey"].append(device.timed(lambda: xdo("key", "ctrl+alt+1")))
    quiet.make()
median_difference(report(results), "hotkey", "click")
PY
  kill $standin_pid 2>/dev/null
  press_escape "$id"; wait_for_exit $kivora 15
' _ "$root" "$exe" "$rounds"

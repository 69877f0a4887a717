#!/usr/bin/env bash
# A request to the control server against a global hotkey for the same sound, to the
# first sample in the ALSA device file, both from outside: `curl -X POST
# /play/按钮63` run from Linux, and Ctrl+Alt+1 (saved for 群众笑声) pressed through X
# while another Wine program has the focus. Rounds alternate, each 1.5 s after the
# pause key stopped the sound before. Then clicks on 群众笑声 with a WebSocket client
# listening: how long each click's "played" event takes from the click's handler (the
# event's performance-counter time) to the client (CLOCK_MONOTONIC_RAW, the same
# clock under Wine). Prints median, min and max of each.
#   bench/remote_latency.sh [Kivora.exe] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/Kivora.exe}")
rounds=${2:-15}

KIVORA_FORCE_XVFB=1 exec bash "$root/scripts/wine-session.sh" -- bash -c '
  source "$1/tests/e2e/common.sh"; exe=$2; rounds=$3; standin=$1/build/tests/stand_in.exe
  port=47124; token=0123456789abcdef0123456789abcdef
  mkdir -p "$HOME/Documents/Kivora"
  printf "[热键]\r\n按钮63=Ctrl+Alt+1\r\n停止播放=Ctrl+Alt+P\r\n[遥控]\r\n开启=1\r\n端口=$port\r\n令牌=$token\r\n" |
    iconv -f UTF-8 -t GBK > "$HOME/Documents/Kivora/设置.ini"
  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window"
  "$WINE" "$standin" >/dev/null & standin_pid=$!
  other=$(wait_for_window Stand-in) || fail "no stand-in"
  python3 "$1/tests/e2e/ws_events.py" $port $token "$KIVORA_SESSION/events" 3600 & events=$!
  sleep 2
  PYTHONPATH="$1/bench" python3 - "$KIVORA_AUDIO_OUT" "$rounds" "$id" "$other" "$port" "$token" "$KIVORA_SESSION/events" <<"PY"
import json, subprocess, sys, time, statistics
from first_sample import DeviceFile, Quiet, xdo, report, median_difference
device, rounds, kivora, other, port, token, events = DeviceFile(sys.argv[1]), int(sys.argv[2]), *sys.argv[3:]
def curl():
    subprocess.Popen(["curl", "-s", "-o", "/dev/null", "-X", "POST", "-H", f"Authorization: Bearer {token}",
                      f"http://127.0.0.1:{port}/play/%E6%8C%89%E9%92%AE63"])
results = {"curl": [], "hotkey": []}
quiet = Quiet(other)
quiet.make()
for round in range(rounds):
    quiet.wait()
    results["curl"].append(device.timed(curl))
    quiet.make(); quiet.wait()
    results["hotkey"].append(device.timed(lambda: xdo("key", "ctrl+alt+1")))
    quiet.make()
seen = sum(1 for line in open(events, encoding="utf-8") if "\"played\"" in line)
xdo("windowfocus", "--sync", kivora); xdo("mousemove", "--window", kivora, "45", "114")
for round in range(rounds):
    time.sleep(0.6)
    xdo("click", "1")
time.sleep(1.5)
delays = []
for line in open(events, encoding="utf-8"):
    at, _, text = line.partition(" ")
    if text.startswith("{") and "\"played\"" in text: delays.append((int(at) - json.loads(text)["at"]) / 10000)
delays = delays[seen:]
median_difference(report(results, " to first sample"), "curl", "hotkey")
if delays:
    print(f"click event, handler to WebSocket client: median {statistics.median(delays):5.2f} ms  min {min(delays):5.2f}  max {max(delays):5.2f}  (n={len(delays)} of {rounds} clicks)")
else:
    print("click event: none arrived")
PY
  kill $events $standin_pid 2>/dev/null
  press_escape "$id"; wait_for_exit $kivora 15
' _ "$root" "$exe" "$rounds"

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
  python3 - "$KIVORA_AUDIO_OUT" "$rounds" "$id" "$other" "$port" "$token" "$KIVORA_SESSION/events" <<"PY"
import json, os, subprocess, sys, time, statistics
out, rounds, kivora, other, port, token, events = sys.argv[1], int(sys.argv[2]), *sys.argv[3:]
def size():
    try: return os.stat(out).st_size
    except FileNotFoundError: return 0
def loud_after(offset):
    with open(out, "rb") as f:
        f.seek(offset - offset % 4)
        data = f.read()
    for i in range(0, len(data) - 1, 2):
        if abs(int.from_bytes(data[i:i + 2], "little", signed=True)) > 64: return True
    return False
def xdo(*args): subprocess.run(["xdotool", *args], check=True)
def timed(action):
    start_size = size()
    t0 = time.monotonic()
    action()
    while time.monotonic() - t0 < 3:
        now = size()
        if now < start_size: start_size = 0  # the device began its file afresh
        if now > start_size and loud_after(start_size): return (time.monotonic() - t0) * 1000
        time.sleep(0.001)
    return None
def curl():
    subprocess.Popen(["curl", "-s", "-o", "/dev/null", "-X", "POST", "-H", f"Authorization: Bearer {token}",
                      f"http://127.0.0.1:{port}/play/%E6%8C%89%E9%92%AE63"])
def silence():
    xdo("windowfocus", "--sync", other); time.sleep(0.2)
    xdo("key", "ctrl+alt+p")
    return time.monotonic()
def settle(since): time.sleep(max(0, since + 1.5 - time.monotonic()))
results = {"curl": [], "hotkey": []}
quiet = silence()
for round in range(rounds):
    settle(quiet)
    results["curl"].append(timed(curl))
    quiet = silence()
    settle(quiet)
    results["hotkey"].append(timed(lambda: xdo("key", "ctrl+alt+1")))
    quiet = silence()
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
for name, values in results.items():
    heard = [v for v in values if v is not None]
    if not heard:
        print(f"{name:>7}: no sound"); continue
    print(f"{name:>7} to first sample: median {statistics.median(heard):6.1f} ms  min {min(heard):6.1f}  max {max(heard):6.1f}  (n={len(heard)}, missed {len(values) - len(heard)})")
c = [v for v in results["curl"] if v is not None]; h = [v for v in results["hotkey"] if v is not None]
if c and h: print(f"curl - hotkey, medians: {statistics.median(c) - statistics.median(h):+.1f} ms")
if delays:
    print(f"click event, handler to WebSocket client: median {statistics.median(delays):5.2f} ms  min {min(delays):5.2f}  max {max(delays):5.2f}  (n={len(delays)} of {rounds} clicks)")
else:
    print("click event: none arrived")
PY
  kill $events $standin_pid 2>/dev/null
  press_escape "$id"; wait_for_exit $kivora 15
' _ "$root" "$exe" "$rounds"

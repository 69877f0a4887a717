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
  python3 - "$KIVORA_AUDIO_OUT" "$rounds" "$id" "$other" <<"PY"
import os, subprocess, sys, time, statistics
out, rounds, kivora, other = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
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
# Each action comes the same time after the pause key stopped the sound before, so
# both find the engine in the same state (its stream stops a moment after a sound).
def silence():
    xdo("windowfocus", "--sync", other); time.sleep(0.2)
    xdo("key", "ctrl+alt+p")
    return time.monotonic()
def settle(since): time.sleep(max(0, since + 1.5 - time.monotonic()))
results = {"click": [], "hotkey": []}
quiet = silence()
for round in range(rounds):
    xdo("windowfocus", "--sync", kivora); xdo("mousemove", "--window", kivora, "45", "114")
    settle(quiet)
    results["click"].append(timed(lambda: xdo("click", "1")))
    quiet = silence()
    settle(quiet)
    results["hotkey"].append(timed(lambda: xdo("key", "ctrl+alt+1")))
    quiet = silence()
for name, values in results.items():
    heard = [v for v in values if v is not None]
    if not heard:
        print(f"{name:>7}: no sound"); continue
    print(f"{name:>7}: median {statistics.median(heard):6.1f} ms  min {min(heard):6.1f}  max {max(heard):6.1f}  (n={len(heard)}, missed {len(values) - len(heard)})")
c = [v for v in results["click"] if v is not None]; h = [v for v in results["hotkey"] if v is not None]
if c and h: print(f"hotkey - click, medians: {statistics.median(h) - statistics.median(c):+.1f} ms")
PY
  kill $standin_pid 2>/dev/null
  press_escape "$id"; wait_for_exit $kivora 15
' _ "$root" "$exe" "$rounds"

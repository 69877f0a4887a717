#!/usr/bin/env bash
# Click to first sample with a second output device, against the same click with
# one device, in one run, driven from outside through X as a user would: a click on
# 群众笑声, timed from the moment xdotool is told to click to the first sample louder
# than silence in each ALSA device file. First Kivora runs with no second device,
# then again with section 输出 naming a second file device. Each click comes 1.5 s
# after the pause button stopped the sound before. Prints median, min and max of
# each figure and the differences of the medians, then the CPU the Kivora process
# takes while a sound plays on both devices (Wine's own server not counted).
#   bench/second_output_latency.sh [Kivora.exe] [rounds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/Kivora.exe}")
rounds=${2:-15}
KIVORA_FORCE_XVFB=1 exec bash "$root/scripts/wine-session.sh" -- bash -c '
  source "$1/tests/e2e/common.sh"; exe=$2; rounds=$3
  list_output_devices default cable
  settings="$HOME/Documents/Kivora/设置.ini"
  mkdir -p "$(dirname "$settings")"
  measure() {  # label, then the device files to time
    "$WINE" "$exe" & kivora=$!
    id=$(wait_for_window Kivora) || fail "no window"
    sleep 2
    /usr/bin/python3 - "$id" "$rounds" "$@" <<"PY"
import os, subprocess, sys, time, statistics
kivora, rounds, label, files = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
def size(path):
    try: return os.stat(path).st_size
    except FileNotFoundError: return 0
def loud_after(path, offset):
    with open(path, "rb") as f:
        f.seek(offset - offset % 4)
        data = f.read()
    return any(abs(int.from_bytes(data[i:i + 2], "little", signed=True)) > 64 for i in range(0, len(data) - 1, 2))
def xdo(*args): subprocess.run(["xdotool", *args], check=True)
results = {path: [] for path in files}
for _ in range(rounds):
    xdo("mousemove", "--window", kivora, "45", "114")
    starts = {path: size(path) for path in files}
    t0 = time.monotonic()
    xdo("click", "1")
    pending = set(files)
    while pending and time.monotonic() - t0 < 3:
        for path in list(pending):
            now = size(path)
            if now < starts[path]: starts[path] = 0  # the device began its file afresh
            if now > starts[path] and loud_after(path, starts[path]):
                results[path].append((time.monotonic() - t0) * 1000); pending.discard(path)
        time.sleep(0.001)
    xdo("mousemove", "--window", kivora, "356", "282"); xdo("click", "1")  # pause
    time.sleep(1.5)
    xdo("click", "1")  # resume, then the next click cuts it off
for path, values in results.items():
    name = f"{label} {os.path.basename(path)}"
    if values:
        print(f"{name:>32}: median {statistics.median(values):6.1f} ms  min {min(values):6.1f}  max {max(values):6.1f}  (n={len(values)}, missed {rounds - len(values)})", flush=True)
        print(f"MEDIAN {name} {statistics.median(values):.1f}", file=open(os.environ["KIVORA_SESSION"] + "/medians", "a"))
    else:
        print(f"{name:>32}: no sound", flush=True)
PY
    press_escape "$id"; wait_for_exit $kivora 15
  }
  : > "$settings"
  measure "one device:" "$KIVORA_AUDIO_OUT"
  printf "[输出]\r\n第二设备=%s\r\n第二设备名称=Out: cable\r\n" "$fixed_device_id" | iconv -f UTF-8 -t GBK > "$settings"
  measure "two devices:" "$KIVORA_AUDIO_OUT" "$KIVORA_SESSION/cable.raw"
  # CPU of the Kivora process while a 5.5 s sound plays on both devices, over 4 s of it.
  "$WINE" "$exe" & kivora=$!
  id=$(wait_for_window Kivora) || fail "no window"
  sleep 4
  click_in "$id" 122 114; sleep 0.5
  ticks() { awk "{ print \$14 + \$15 }" "/proc/$kivora/stat"; }
  before=$(ticks); sleep 4; after=$(ticks)
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" "BEGIN { printf \"CPU while playing on two devices: %.2f %% of one core\n\", 100 * t / hz / 4 }"
  press_escape "$id"; wait_for_exit $kivora 15
  awk "/^MEDIAN one/ { one = \$NF } /^MEDIAN two.*audio-out/ { main = \$NF } /^MEDIAN two.*cable/ { cable = \$NF }
       END { printf \"second device on: default %+.1f ms, cable %+.1f ms against one device\n\", main - one, cable - one }" "$KIVORA_SESSION/medians"
' _ "$root" "$exe" "$rounds"

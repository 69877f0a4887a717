"""Times actions taken from outside, as a user would, to the first sample louder than
silence in the session's ALSA device file; the latency scripts import it."""
import os
import statistics
import subprocess
import time


def xdo(*args):
    subprocess.run(["xdotool", *args], check=True)


class DeviceFile:
    """The raw 16-bit PCM file the session's sound device writes."""

    def __init__(self, path):
        self.path = path

    def size(self):
        try:
            return os.stat(self.path).st_size
        except FileNotFoundError:
            return 0

    def loud_after(self, offset, threshold=64):
        with open(self.path, "rb") as f:
            f.seek(offset - offset % 4)
            data = f.read()
        return any(abs(int.from_bytes(data[i:i + 2], "little", signed=True)) > threshold
                   for i in range(0, len(data) - 1, 2))

    def timed(self, action, deadline_s=3):
        """Milliseconds from the action to its first loud sample, or None."""
        start_size = self.size()
        t0 = time.monotonic()
        action()
        while time.monotonic() - t0 < deadline_s:
            now = self.size()
            if now < start_size:
                start_size = 0  # the device began its file afresh
            if now > start_size and self.loud_after(start_size):
                return (time.monotonic() - t0) * 1000
            time.sleep(0.001)
        return None


class Quiet:
    """Stops the sound with the pause hotkey, pressed while the other program has the
    focus, and lets each action come the same time after it, so every action finds the
    engine in the same state (its stream stops a moment after a sound)."""

    def __init__(self, other_window, key="ctrl+alt+p", gap_s=1.5):
        self.other, self.key, self.gap = other_window, key, gap_s
        self.since = time.monotonic()

    def make(self):
        xdo("windowfocus", "--sync", self.other)
        time.sleep(0.2)
        xdo("key", self.key)
        self.since = time.monotonic()

    def wait(self):
        time.sleep(max(0, self.since + self.gap - time.monotonic()))


def report(results, label=""):
    """Prints median, min and max of each named list of figures (None: not heard)."""
    heard = {}
    for name, values in results.items():
        heard[name] = [v for v in values if v is not None]
        if not heard[name]:
            print(f"{name:>7}{label}: no sound")
            continue
        v = heard[name]
        print(f"{name:>7}{label}: median {statistics.median(v):6.1f} ms  min {min(v):6.1f}  max {max(v):6.1f}"
              f"  (n={len(v)}, missed {len(values) - len(v)})")
    return heard


def median_difference(heard, first, second):
    if heard.get(first) and heard.get(second):
        print(f"{first} - {second}, medians: "
              f"{statistics.median(heard[first]) - statistics.median(heard[second]):+.1f} ms")

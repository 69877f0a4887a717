#!/usr/bin/python3
"""Render the sixty sound-board clips into assets/sounds/NN.mp3.

Each clip is built from scratch (synthesis plus espeak-ng voices), levelled,
encoded with lame at a constant bit rate, decoded again and checked. The
run prints one row per clip and a summary, and exits with status 1 if any
clip breaks a rule (format, length, level, clicks, leading silence).

    /usr/bin/python3 tools/soundgen/generate.py            # all clips
    /usr/bin/python3 tools/soundgen/generate.py --only 3,18 --out /tmp/x
    /usr/bin/python3 tools/soundgen/generate.py --verify   # compare sums
"""
import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import time
import wave
from multiprocessing import Pool
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.dont_write_bytecode = True
sys.path.insert(0, str(HERE))

import numpy as np  # noqa: E402

import synth as S  # noqa: E402
import mp3check  # noqa: E402

REPO = HERE.parent.parent
DEFAULT_OUT = REPO / "assets" / "sounds"
SUMS_FILE = HERE / "checksums.sha256"

BITRATE = 128
TARGET_RMS_DB = -17.0
PEAK_LIMIT_DB = -1.0
RMS_SPREAD_DB = 2.0
DURATION = {"effect": (1.0, 8.0), "phrase": (1.0, 8.0),
            "jingle": (8.0, 30.0), "tune": (8.0, 30.0)}
EDGE_MS = 1.0            # the first/last millisecond must be this quiet ...
EDGE_MAX_DB = -20.0      # ... (a click would be a full-scale step there)
ONSET_MAX_MS = 15.0      # sound must start within this time ...
ONSET_DB = -40.0         # ... i.e. a sample louder than this


def master(x, ceiling_db, gain_db_adjust=0.0):
    """Clean, trim, fade and bring a clip to the target loudness with a
    limiter keeping peaks under the ceiling."""
    x = S.to_stereo(x) if x.ndim == 1 else x
    x = S.fft_filter(x, lo=30, order=2)            # remove DC and rumble
    peak = np.max(np.abs(x))
    m = np.max(np.abs(x), axis=1)
    start = int(np.argmax(m > peak * 10 ** (-42 / 20)))
    above = np.nonzero(m > peak * 10 ** (-60 / 20))[0]
    x = x[start:above[-1] + 1]
    x = S.fade(x, 0.006, 0.04)
    ceiling = 10 ** (ceiling_db / 20)
    target = TARGET_RMS_DB + gain_db_adjust
    gain = target - S.db(S.rms(x))
    y = x
    for _ in range(6):
        y = S.limit(x * 10 ** (gain / 20), ceiling)
        miss = target - S.db(S.rms(y))
        if abs(miss) < 0.05:
            break
        gain += miss
    return y


def write_wav(path, x):
    pcm = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    with wave.open(str(path), "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(S.SR)
        w.writeframes(pcm.tobytes())


def read_wav(path):
    with wave.open(str(path)) as w:
        ch, rate, n = w.getnchannels(), w.getframerate(), w.getnframes()
        data = np.frombuffer(w.readframes(n), dtype="<i2").astype(np.float64) / 32768.0
    return data.reshape(-1, ch), rate


def encode(wav, mp3):
    subprocess.run(["lame", "--quiet", "--nohist", "--noreplaygain", "-q", "2",
                    "-b", str(BITRATE), "--cbr", "-m", "j", str(wav), str(mp3)],
                   check=True)


def decode(mp3, wav):
    """Decode with lame (it reads the encoder-delay info and drops the
    padding) and make sure sox's decoder also accepts the file."""
    r = subprocess.run(["lame", "--quiet", "--decode", str(mp3), str(wav)],
                       stderr=subprocess.PIPE)
    if r.returncode != 0:
        return None, "lame --decode failed: " + r.stderr.decode(errors="replace")[:200]
    r = subprocess.run(["sox", "-V1", str(mp3), "-n"], stderr=subprocess.PIPE)
    if r.returncode != 0:
        return None, "sox cannot decode: " + r.stderr.decode(errors="replace")[:200]
    return read_wav(wav), ""


def measure(x):
    m = np.max(np.abs(x), axis=1)
    edge = max(1, S.samples(EDGE_MS / 1000))
    loud = np.nonzero(m > 10 ** (ONSET_DB / 20))[0]
    return {
        "duration": len(x) / S.SR,
        "peak_db": S.db(float(m.max())),
        "rms_db": S.db(S.rms(x)),
        "head_db": S.db(float(m[:edge].max())),
        "tail_db": S.db(float(m[-edge:].max())),
        "onset_ms": (loud[0] / S.SR * 1000) if len(loud) else float("inf"),
    }


def clip_problems(meas, kind, header):
    """Rules that a single clip must meet (the level spread across the set
    is checked once every clip is known)."""
    probs = []
    if header.get("error"):
        probs.append(header["error"])
    else:
        if header["sample_rate"] != 44100:
            probs.append("sample rate %d" % header["sample_rate"])
        if len(header["bitrates"]) != 1:
            probs.append("bit rate varies %s" % sorted(header["bitrates"]))
        elif not 128 <= next(iter(header["bitrates"])) <= 192:
            probs.append("bit rate %d" % next(iter(header["bitrates"])))
    lo, hi = DURATION[kind]
    if not lo <= meas["duration"] <= hi:
        probs.append("duration %.2fs outside %g-%gs for %s" % (meas["duration"], lo, hi, kind))
    if meas["peak_db"] > PEAK_LIMIT_DB:
        probs.append("peak %.2f dBFS" % meas["peak_db"])
    if meas["head_db"] > EDGE_MAX_DB:
        probs.append("click at start (%.1f dB)" % meas["head_db"])
    if meas["tail_db"] > EDGE_MAX_DB:
        probs.append("click at end (%.1f dB)" % meas["tail_db"])
    if meas["onset_ms"] > ONSET_MAX_MS:
        probs.append("starts late (%.1f ms)" % meas["onset_ms"])
    return probs


def build(args):
    """Render, level, encode and check one clip (runs in a worker)."""
    num, out_dir = args
    import clips
    name, kind, fn = clips.CLIPS[num]
    t0 = time.time()
    try:
        raw = fn()
    except Exception as exc:  # report it in the table with the other clips
        import traceback
        tb = traceback.format_exc().strip().splitlines()
        return {"num": num, "name": name, "kind": kind, "size": 0, "sha256": "",
                "problems": ["render error: %s (%s)" % (exc, tb[-3].strip())], "seconds": 0,
                "header": {}, "duration": 0, "peak_db": 0, "rms_db": TARGET_RMS_DB,
                "head_db": 0, "tail_db": 0, "onset_ms": 0}
    mp3 = Path(out_dir) / ("%02d.mp3" % num)
    ceiling_db, adjust = -1.6, 0.0
    with tempfile.TemporaryDirectory() as tmp:
        for attempt in range(4):
            y = master(raw, ceiling_db, adjust)
            write_wav(Path(tmp) / "in.wav", y)
            encode(Path(tmp) / "in.wav", mp3)
            dec, err = decode(mp3, Path(tmp) / "out.wav")
            if dec is None:
                break
            meas = measure(dec[0])
            over = meas["peak_db"] - (PEAK_LIMIT_DB - 0.15)
            miss = TARGET_RMS_DB - meas["rms_db"]
            if over <= 0 and abs(miss) < 0.5:
                break
            # the encoder can overshoot peaks a little, and limiting can
            # shift loudness: correct and encode again
            if over > 0:
                ceiling_db -= over + 0.1
            adjust += miss
    data = mp3.read_bytes()
    header = mp3check.scan(data)
    if dec is None:
        meas = {"duration": 0, "peak_db": 0, "rms_db": -99, "head_db": 0, "tail_db": 0,
                "onset_ms": 0}
        probs = [err]
    else:
        probs = clip_problems(meas, kind, header)
        if dec[1] != 44100:
            probs.append("decoded rate %d" % dec[1])
    return {"num": num, "name": name, "kind": kind, "size": len(data),
            "sha256": hashlib.sha256(data).hexdigest(), "problems": probs,
            "seconds": time.time() - t0, "header": header, **meas}


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=str(DEFAULT_OUT))
    ap.add_argument("--only", help="comma-separated clip numbers")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    ap.add_argument("--verify", action="store_true",
                    help="fail unless the files match %s" % SUMS_FILE.name)
    args = ap.parse_args()

    import clips
    nums = sorted(clips.CLIPS) if not args.only else [int(v) for v in args.only.split(",")]
    os.makedirs(args.out, exist_ok=True)
    t0 = time.time()
    # longest clips first so the workers finish together
    order = sorted(nums, key=lambda n: clips.CLIPS[n][1] in ("effect", "phrase"))
    with Pool(args.jobs) as pool:
        rows = {r["num"]: r for r in pool.imap_unordered(build, [(n, args.out) for n in order])}
    elapsed = time.time() - t0

    failed = False
    print("%-3s %-18s %-6s %7s %7s %7s %8s  %s" % ("no", "name", "kind", "dur s", "peak", "rms",
                                                   "bytes", "status"))
    for n in nums:
        r = rows[n]
        status = "ok" if not r["problems"] else "FAIL: " + "; ".join(r["problems"])
        print("%02d  %s %-6s %7.2f %7.2f %7.2f %8d  %s" % (
            n, _pad(r["name"], 18), r["kind"], r["duration"], r["peak_db"], r["rms_db"],
            r["size"], status))
        failed |= bool(r["problems"])

    levels = [rows[n]["rms_db"] for n in nums]
    median = statistics.median(levels)
    for n in nums:
        if abs(rows[n]["rms_db"] - median) > RMS_SPREAD_DB:
            print("FAIL: %02d RMS %.2f dB is more than %.1f dB from the median %.2f" % (
                n, rows[n]["rms_db"], RMS_SPREAD_DB, median))
            failed = True

    total = sum(rows[n]["size"] for n in nums)
    short = min(nums, key=lambda n: rows[n]["duration"])
    long_ = max(nums, key=lambda n: rows[n]["duration"])
    digest = hashlib.sha256("".join(rows[n]["sha256"] for n in nums).encode()).hexdigest()
    print()
    print("clips: %d   total size: %d bytes (%.2f MB)   total length: %.1f s" % (
        len(nums), total, total / 1e6, sum(rows[n]["duration"] for n in nums)))
    print("shortest: %02d %s %.2f s   longest: %02d %s %.2f s" % (
        short, rows[short]["name"], rows[short]["duration"],
        long_, rows[long_]["name"], rows[long_]["duration"]))
    print("RMS: median %.2f dBFS, min %.2f, max %.2f, spread %.2f dB (allowed +-%.1f)" % (
        median, min(levels), max(levels), max(levels) - min(levels), RMS_SPREAD_DB))
    print("peak: max %.2f dBFS   bit rate: %d kbps CBR, 44.1 kHz" % (
        max(rows[n]["peak_db"] for n in nums), BITRATE))
    print("digest of all files: %s   time: %.1f s on %d jobs" % (digest[:16], elapsed, args.jobs))

    sums = "".join("%s  %02d.mp3\n" % (rows[n]["sha256"], n) for n in nums)
    if args.verify:
        want = SUMS_FILE.read_text() if SUMS_FILE.exists() else ""
        if sums != want:
            print("FAIL: output differs from %s" % SUMS_FILE.name)
            failed = True
        else:
            print("output matches %s byte for byte" % SUMS_FILE.name)
    elif not args.only and Path(args.out).resolve() == DEFAULT_OUT.resolve() and not failed:
        SUMS_FILE.write_text(sums)
    print("RESULT: %s" % ("FAILED" if failed else "all rules met"))
    return 1 if failed else 0


def _pad(text, width):
    """Left-justify text counting CJK characters as two columns."""
    w = sum(2 if ord(c) > 0x2E80 else 1 for c in text)
    return text + " " * max(0, width - w)


if __name__ == "__main__":
    sys.exit(main())

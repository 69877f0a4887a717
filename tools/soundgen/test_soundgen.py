"""Tests for the clip generator's notation, DSP and checking code.

    /usr/bin/python3 -m unittest discover -s tools/soundgen -p 'test_*.py'
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import clips  # noqa: E402
import generate  # noqa: E402
import mp3check  # noqa: E402
import music as M  # noqa: E402
import synth as S  # noqa: E402


class NotationTest(unittest.TestCase):
    def test_single_tokens(self):
        # token, expected (length in beats, midi) with 1 = C4 (60)
        cases = [
            ("1", 1.0, 60), ("5,", 1.0, 55), ("1'", 1.0, 72), ("3''", 1.0, 88),
            ("#4", 1.0, 66), ("b7", 1.0, 70), ("5-", 2.0, 67), ("5---", 4.0, 67),
            ("5_", 0.5, 67), ("5__", 0.25, 67), ("5.", 1.5, 67), ("5_.", 0.75, 67),
            ("0", 1.0, None), ("0_", 0.5, None), ("#2'__", 0.25, 75),
        ]
        for tok, length, midi in cases:
            with self.subTest(tok=tok):
                self.assertEqual(M.parse_jianpu(tok, 60), [(0.0, length, midi)])

    def test_positions_accumulate_and_bars_are_ignored(self):
        notes = M.parse_jianpu("1_ 2_ 3 | 5- 0 |6", 60)
        self.assertEqual([n[0] for n in notes], [0.0, 0.5, 1.0, 2.0, 4.0, 5.0])
        self.assertEqual(notes[-1], (5.0, 1.0, 69))

    def test_bad_tokens_are_rejected(self):
        for tok in ("8", "-", "1x", "''1", "1 - 2"):
            with self.subTest(tok=tok):
                with self.assertRaises(ValueError):
                    M.parse_jianpu(tok, 60)

    def test_chords(self):
        cases = [
            ("1", [60, 64, 67]), ("6", [69, 72, 76]), ("2", [62, 65, 69]),
            ("7", [71, 74, 77]), ("3M", [64, 68, 71]), ("4m", [65, 68, 72]),
            ("5d", [67, 71, 74, 77]), ("1d", [60, 64, 67, 70]), ("57", [67, 71, 74, 77]),
            ("17", [60, 64, 67, 71]), ("b7", [70, 74, 77]), ("b3m", [63, 66, 70]),
        ]
        for sym, tones in cases:
            with self.subTest(sym=sym):
                self.assertEqual(M.chord_notes(60, sym), tones)
        with self.assertRaises(ValueError):
            M.chord_notes(60, "9")

    def test_keys(self):
        for name, midi in (("C4", 60), ("Bb3", 58), ("F#4", 66), ("A3", 57), ("C-1", 0)):
            with self.subTest(name=name):
                self.assertEqual(M.key_root(name), midi)
        with self.assertRaises(ValueError):
            M.key_root("H4")

    def test_voicing_stays_in_range_and_keeps_pitch_classes(self):
        for tones in ([48, 52, 55], [69, 72, 76, 79], [40, 71, 90]):
            v = M.voice_chord(tones, 55, 71)
            self.assertTrue(all(55 <= t < 71 for t in v), v)
            self.assertEqual(sorted(t % 12 for t in v), sorted(t % 12 for t in tones))

    def test_progression_durations_and_swing(self):
        s = M.Song(120, "C4", seed=1)
        ch = s.progression("1 5:2 6:2 4", start=1.0)
        self.assertEqual([(c[0], c[1]) for c in ch], [(1.0, 4), (5.0, 2.0), (7.0, 2.0), (9.0, 4)])
        self.assertAlmostEqual(s.t(2.0), 1.0)
        swung = M.Song(120, "C4", seed=1, swing=0.33)
        self.assertAlmostEqual(swung.t(0.5), (0.5 + 0.165) * 0.5)
        self.assertAlmostEqual(swung.t(1.0), 0.5)


class SignalTest(unittest.TestCase):
    def test_limiter_holds_ceiling_without_touching_quiet_parts(self):
        rng = np.random.default_rng(3)
        quiet = 0.1 * np.sin(2 * np.pi * 220 * np.arange(S.SR) / S.SR)
        loud = rng.uniform(-1.5, 1.5, S.SR // 2)
        x = np.concatenate([quiet, loud, quiet])
        y = S.limit(x, 0.8)
        self.assertLessEqual(np.max(np.abs(y)), 0.8 + 1e-9)
        # well away from the loud burst the signal is untouched
        np.testing.assert_allclose(y[:S.SR // 2], x[:S.SR // 2])
        np.testing.assert_allclose(y[-S.SR // 2:], x[-S.SR // 2:])
        stereo = np.stack([x, -0.5 * x], axis=1)
        self.assertLessEqual(np.max(np.abs(S.limit(stereo, 0.5))), 0.5 + 1e-9)

    def test_fade_starts_and_ends_on_zero(self):
        x = np.ones((4410, 2))
        y = S.fade(x, 0.01, 0.02)
        self.assertEqual(np.max(np.abs(y[0])), 0.0)
        self.assertLess(np.max(np.abs(y[-1])), 1e-3)
        self.assertEqual(y[2000, 0], 1.0)

    def test_trim_cuts_silence_at_both_ends(self):
        x = np.concatenate([np.zeros(1000), 0.5 * np.ones(500), np.zeros(5000)])
        y = S.trim(x, -50, keep_tail=0.0)
        self.assertEqual(len(y), 500)

    def test_place_grows_buffer_and_pans(self):
        buf = np.zeros((10, 2))
        out = S.place(buf, np.ones(10), 15 / S.SR, 1.0, pan=-1.0)
        self.assertEqual(len(out), 25)
        self.assertAlmostEqual(out[20, 0], np.sqrt(2))
        self.assertAlmostEqual(out[20, 1], 0.0)

    def test_fft_filter_passes_and_stops(self):
        t = np.arange(S.SR) / S.SR
        low, high = np.sin(2 * np.pi * 100 * t), np.sin(2 * np.pi * 8000 * t)
        y = S.fft_filter(low + high, hi=1000, order=4)
        mid = slice(S.SR // 4, 3 * S.SR // 4)
        self.assertAlmostEqual(S.rms(y[mid]), S.rms(low[mid]), delta=0.01)

    def test_instruments_end_silent(self):
        """A note that ends on a non-zero sample clicks when it is cut."""
        rng = np.random.default_rng(0)
        for name in M.INSTRUMENTS:
            with self.subTest(inst=name):
                x = M.inst_render(name, 60, 0.4, 0.8, rng)
                self.assertGreater(np.max(np.abs(x)), 0.01)
                self.assertLess(abs(x[-1]), 1e-3 * max(1.0, np.max(np.abs(x))))


def _frame_header(bitrate_kbps, rate=44100, padding=0):
    br_idx = mp3check.BITRATES.index(bitrate_kbps)
    sr_idx = mp3check.RATES.index(rate)
    h = (0x7FF << 21) | (3 << 19) | (1 << 17) | (1 << 16) | (br_idx << 12) | (sr_idx << 10) | (padding << 9)
    size = 144000 * bitrate_kbps // rate + padding
    return h.to_bytes(4, "big") + bytes(size - 4)


class Mp3ScanTest(unittest.TestCase):
    def test_streams(self):
        cbr = b"".join(_frame_header(128, padding=i % 2) for i in range(10))
        id3 = b"ID3\x04\x00\x00\x00\x00\x00\x0a" + bytes(10)
        cases = [
            ("cbr", cbr, {128}, None),
            ("id3v2 in front", id3 + cbr, {128}, None),
            ("id3v1 at end", cbr + b"TAG" + bytes(125), {128}, None),
            ("vbr", cbr + _frame_header(192), {128, 192}, None),
            ("garbage", cbr + b"\x00" * 500, None, "lost frame sync"),
            ("cut short", cbr[:-10], None, "past the end"),
            ("empty", b"", None, "no frames"),
            ("48 kHz", _frame_header(128, 48000), {128}, None),
        ]
        for label, data, bitrates, error in cases:
            with self.subTest(label):
                r = mp3check.scan(data)
                if error:
                    self.assertIn(error, r.get("error", ""))
                else:
                    self.assertNotIn("error", r)
                    self.assertEqual(r["bitrates"], bitrates)
        self.assertEqual(mp3check.scan(_frame_header(128, 48000))["sample_rate"], 48000)

    @unittest.skipUnless(shutil.which("lame"), "lame not installed")
    def test_lame_output(self):
        with tempfile.TemporaryDirectory() as tmp:
            x = 0.3 * np.sin(2 * np.pi * 440 * np.arange(S.SR) / S.SR)
            generate.write_wav(Path(tmp) / "a.wav", S.to_stereo(x))
            generate.encode(Path(tmp) / "a.wav", Path(tmp) / "a.mp3")
            r = mp3check.scan((Path(tmp) / "a.mp3").read_bytes())
            self.assertEqual((r["sample_rate"], r["bitrates"]), (44100, {generate.BITRATE}))
            dec, err = generate.decode(Path(tmp) / "a.mp3", Path(tmp) / "b.wav")
            self.assertEqual(err, "")
            self.assertEqual(len(dec[0]), S.SR)   # lame drops its delay and padding


class RulesTest(unittest.TestCase):
    GOOD = {"duration": 3.0, "peak_db": -1.5, "rms_db": -17, "head_db": -60, "tail_db": -60,
            "onset_ms": 2.0}
    HEADER = {"sample_rate": 44100, "bitrates": {128}}

    def test_each_rule(self):
        cases = [
            ("good", {}, {}, "phrase", None),
            ("long phrase", {"duration": 8.5}, {}, "phrase", "duration"),
            ("short tune", {"duration": 7.9}, {}, "tune", "duration"),
            ("tune ok", {"duration": 12.0}, {}, "tune", None),
            ("too short effect", {"duration": 0.9}, {}, "effect", "duration"),
            ("peak", {"peak_db": -0.9}, {}, "phrase", "peak"),
            ("click at start", {"head_db": -12}, {}, "phrase", "click at start"),
            ("click at end", {"tail_db": -12}, {}, "phrase", "click at end"),
            ("late start", {"onset_ms": 40}, {}, "phrase", "starts late"),
            ("48 kHz", {}, {"sample_rate": 48000}, "phrase", "sample rate"),
            ("variable", {}, {"bitrates": {128, 160}}, "phrase", "varies"),
            ("low bit rate", {}, {"bitrates": {96}}, "phrase", "bit rate 96"),
            ("high bit rate", {}, {"bitrates": {256}}, "phrase", "bit rate 256"),
            ("broken stream", {}, {"error": "lost frame sync"}, "phrase", "lost frame sync"),
        ]
        for label, meas, header, kind, expect in cases:
            with self.subTest(label):
                probs = generate.clip_problems({**self.GOOD, **meas}, kind,
                                               {**self.HEADER, **header} if "error" not in header else header)
                if expect is None:
                    self.assertEqual(probs, [])
                else:
                    self.assertEqual(len(probs), 1, probs)
                    self.assertIn(expect, probs[0])

    def test_measure(self):
        n = S.SR
        x = np.zeros((n, 2))
        x[100:-100] = 0.5
        m = generate.measure(x)
        self.assertAlmostEqual(m["peak_db"], S.db(0.5))
        self.assertAlmostEqual(m["onset_ms"], 100 / S.SR * 1000)
        self.assertLess(m["head_db"], -20)     # the first ms holds 44 zeros and then 0.5
        x[0] = 0.9
        self.assertGreater(generate.measure(x)["head_db"], -1)


class ClipTableTest(unittest.TestCase):
    def test_all_sixty_are_registered(self):
        self.assertEqual(sorted(clips.CLIPS), list(range(1, 61)))
        names = [v[0] for v in clips.CLIPS.values()]
        self.assertEqual(len(set(names)), 60)
        for num, (name, kind, fn) in clips.CLIPS.items():
            self.assertIn(kind, generate.DURATION, num)

    @unittest.skipUnless(shutil.which("espeak-ng") and shutil.which("sox"), "needs espeak-ng and sox")
    def test_render_ignores_hash_seed(self):
        """A clip must not depend on anything that changes between runs
        (Python's string hashing is randomised per process)."""
        code = ("import sys,hashlib; sys.path.insert(0, %r); import clips, numpy as np;"
                "x = clips.CLIPS[38][2](); print(hashlib.sha256(np.ascontiguousarray(x).tobytes()).hexdigest())"
                % str(HERE))
        outs = []
        for seed in ("1", "2"):
            env = dict(os.environ, PYTHONHASHSEED=seed, PYTHONDONTWRITEBYTECODE="1")
            outs.append(subprocess.run([sys.executable, "-c", code], env=env, check=True,
                                       stdout=subprocess.PIPE, text=True).stdout.strip())
        self.assertEqual(outs[0], outs[1])


if __name__ == "__main__":
    unittest.main()

"""Spoken and chanted voices from espeak-ng, plus a small formant voice.

Debian's espeak-ng reads Chinese characters with the `cmn` voice only for
some of the characters; the other characters come out as pinyin with the
tone digit spoken in English. The `cmn-latn-pinyin` voice (same Mandarin
phoneme set) reads tone-marked pinyin reliably, so every phrase is written
here in pinyin with tone numbers.
"""
import io
import subprocess
import wave

import numpy as np

from synth import SR, fade, fft_filter, noise, samples, sox_fx, trim

MANDARIN = "cmn-latn-pinyin"


def _read_wav(data):
    with wave.open(io.BytesIO(data)) as w:
        rate = w.getframerate()
        raw = w.readframes(w.getnframes())
    return np.frombuffer(raw, dtype="<i2").astype(np.float64) / 32768.0, rate


def speak(text, variant=None, speed=170, pitch=50, semis=0.0, tempo=1.0,
          lang=MANDARIN, gap=0):
    """Render `text` with espeak-ng and return mono float audio at SR.

    semis shifts the pitch afterwards without changing speed; tempo
    changes speed without changing pitch (both through sox).
    """
    voice = lang + ("+" + variant if variant else "")
    cmd = ["espeak-ng", "-v", voice, "-s", str(int(speed)), "-p", str(int(pitch)),
           "-g", str(int(gap)), "--stdout", text]
    res = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True)
    x, rate = _read_wav(res.stdout)
    fx = ["rate", "-v", SR]
    if semis:
        fx = ["pitch", int(round(semis * 100))] + fx
    if tempo != 1.0:
        fx = ["tempo", "-s", tempo] + fx
    y = _resample(x, rate, fx)
    # trimming cuts into the first sound, so ease in and out of it
    return fade(trim(y, -45, keep_tail=0.03), 0.004, 0.015)


def _resample(x, rate, fx):
    data = np.ascontiguousarray(x, dtype="<f4").tobytes()
    cmd = ["sox", "-R", "-V1", "-t", "f32", "-r", str(rate), "-c", "1", "-",
           "-t", "f32", "-"] + [str(e) for e in fx]
    res = subprocess.run(cmd, input=data, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, check=True)
    return np.frombuffer(res.stdout, dtype="<f4").astype(np.float64)


def estimate_f0(x, lo=70.0, hi=500.0):
    """Median pitch of a voiced sound by frame autocorrelation."""
    frame = 2048
    f0s = []
    for start in range(0, max(1, len(x) - frame), frame // 2):
        seg = x[start:start + frame]
        if len(seg) < frame or np.sqrt(np.mean(seg ** 2)) < 0.02:
            continue
        seg = seg - seg.mean()
        ac = np.fft.irfft(np.abs(np.fft.rfft(seg, 2 * frame)) ** 2)[:frame]
        a, b = int(SR / hi), int(SR / lo)
        lag = a + int(np.argmax(ac[a:b]))
        if ac[lag] > 0.3 * ac[0]:
            f0s.append(SR / lag)
    return float(np.median(f0s)) if f0s else 0.0


def sing(syllable, midi, dur, variant=None, speed=110, pitch=50):
    """A syllable held on a given note: espeak speaks it (tone 1 is level),
    its pitch is measured and shifted onto the note, then it is stretched."""
    x = speak(syllable, variant=variant, speed=speed, pitch=pitch)
    f0 = estimate_f0(x)
    target = 440.0 * 2 ** ((midi - 69) / 12)
    cents = 1200 * np.log2(target / f0) if f0 else 0.0
    tempo = max(0.3, min(3.0, (len(x) / SR) / dur))
    y = sox_fx(x, "pitch", int(round(cents)), "tempo", "-s", round(tempo, 3))
    n = samples(dur)
    y = y[:n]
    r = min(len(y), samples(0.04))
    if r:
        y[-r:] *= np.linspace(1, 0, r)
    return y


# --------------------------------------------------------------- formant voice

VOWELS = {
    # (frequency, bandwidth, gain) of the first formants
    "a": [(800, 110, 1.0), (1200, 120, 0.5), (2500, 200, 0.18), (3500, 300, 0.08)],
    "e": [(500, 90, 1.0), (1900, 150, 0.35), (2600, 200, 0.2), (3500, 300, 0.08)],
    "i": [(300, 70, 1.0), (2300, 180, 0.35), (3000, 250, 0.25), (3800, 300, 0.1)],
    "o": [(500, 90, 1.0), (850, 100, 0.6), (2600, 200, 0.08), (3400, 300, 0.04)],
    "u": [(330, 80, 1.0), (750, 100, 0.35), (2400, 250, 0.05), (3400, 300, 0.02)],
}


def _formant_gain(f, vowel, scale=1.0):
    g = np.zeros_like(f, dtype=float)
    for fc, bw, amp in VOWELS[vowel]:
        fc *= scale
        g += amp / (1 + ((f - fc) / (bw / 2)) ** 2)
    return g


def vowel(f0, dur, vowel_name="a", rng=None, breath=0.15, scale=1.0, jitter=0.0):
    """Voiced vowel on a pitch curve by additive synthesis: every harmonic
    of f0 gets the gain of the vowel's formant envelope at its frequency."""
    n = samples(dur)
    f0 = np.broadcast_to(np.asarray(f0, dtype=float), (n,)).copy() if np.ndim(f0) else np.full(n, float(f0))
    if jitter and rng is not None:
        wob = np.interp(np.arange(n), np.linspace(0, n, 12), rng.normal(0, jitter, 12))
        f0 *= 1 + wob
    fmean = float(np.mean(f0))
    kmax = int(5000 / fmean)
    out = np.zeros(n)
    ph = 2 * np.pi * np.cumsum(f0) / SR
    for k in range(1, kmax + 1):
        gain = _formant_gain(k * f0, vowel_name, scale) / k ** 0.6
        out += gain * np.sin(k * ph)
    if breath and rng is not None:
        b = fft_filter(noise(rng, n), lo=500, hi=6000,
                       peaks=[(fc * scale, bw * 2, a) for fc, bw, a in VOWELS[vowel_name]])
        out += breath * b * np.max(np.abs(out)) / (np.max(np.abs(b)) + 1e-9)
    return out


def laugh(rng, f0=180.0, count=6, rate=5.0, vowel_name="a", scale=1.0, fall=0.25,
          breathy=0.3):
    """One person's laugh: a run of 'ha' bursts with a falling pitch, each
    starting with a puff of breath and ending softer than the last."""
    period = 1.0 / rate
    total = count * period + 0.3
    out = np.zeros(samples(total))
    for i in range(count):
        p = f0 * (1 - fall * i / max(1, count - 1)) * (1 + rng.normal(0, 0.04))
        dur = period * rng.uniform(0.55, 0.75)
        contour = np.linspace(p * 1.08, p * 0.92, samples(dur))
        v = vowel(contour, dur, vowel_name, rng, breath=breathy, scale=scale, jitter=0.02)
        env = np.sin(np.pi * np.linspace(0, 1, len(v))) ** 0.6
        h_len = samples(0.04)
        h = fft_filter(noise(rng, h_len), lo=800, hi=5000) * np.hanning(h_len) * 0.15
        syl = np.concatenate([h, v * env * 0.9])
        amp = (1 - 0.5 * i / count) * rng.uniform(0.75, 1.0)
        t0 = i * period + rng.normal(0, 0.012)
        s = max(0, samples(t0))
        out[s:s + len(syl)] += amp * syl[:len(out) - s]
    return out / (np.max(np.abs(out)) + 1e-9)

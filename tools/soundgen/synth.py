"""Signal building blocks for the clip generator.

Everything works on float64 numpy arrays at 44.1 kHz. Mono signals are 1-D,
stereo signals are shaped (n, 2). All randomness comes from generators that
the caller seeds, so every clip renders identically on every run.
"""
import subprocess

import numpy as np

SR = 44100


def secs(n):
    return n / SR


def samples(t):
    return int(round(t * SR))


def silence(t, stereo=False):
    n = samples(t)
    return np.zeros((n, 2)) if stereo else np.zeros(n)


# ---------------------------------------------------------------- envelopes

def adsr(n, a=0.005, d=0.1, s=0.7, r=0.1, gate=None):
    """Linear attack, exponential decay to sustain, linear release.

    `gate` is the time (s) the note is held; the release starts there and
    the envelope ends at n samples.
    """
    t = np.arange(n) / SR
    if gate is None:
        gate = max(0.0, n / SR - r)
    env = np.empty(n)
    att = t < a
    env[att] = t[att] / a if a > 0 else 1.0
    rest = ~att
    env[rest] = s + (1 - s) * np.exp(-(t[rest] - a) / max(d, 1e-4))
    level_at_gate = s + (1 - s) * np.exp(-max(gate - a, 0) / max(d, 1e-4))
    rel = t >= gate
    if r > 0:
        env[rel] = level_at_gate * np.clip(1 - (t[rel] - gate) / r, 0, 1)
    else:
        env[rel] = 0
    return env


def fade(x, fin=0.008, fout=0.03):
    """Raised-cosine fade in and out so the clip starts and ends on zero."""
    x = x.copy()
    n_in = min(samples(fin), len(x) // 2)
    n_out = min(samples(fout), len(x) // 2)
    if n_in:
        w = 0.5 - 0.5 * np.cos(np.pi * np.arange(n_in) / n_in)
        x[:n_in] *= w if x.ndim == 1 else w[:, None]
    if n_out:
        w = 0.5 + 0.5 * np.cos(np.pi * (np.arange(n_out) + 1) / n_out)
        x[-n_out:] *= w if x.ndim == 1 else w[:, None]
    return x


# ---------------------------------------------------------------- oscillators

def phase_of(freq, n):
    """Running phase (radians) of a frequency that may be a scalar or a curve."""
    if np.isscalar(freq):
        return 2 * np.pi * freq * np.arange(n) / SR
    return 2 * np.pi * np.cumsum(freq) / SR


def sine(freq, n, phase0=0.0):
    return np.sin(phase_of(freq, n) + phase0)


def additive(freq, n, amps, inharm=0.0, decays=None, nyq=18000.0):
    """Sum of harmonics k*f (k from 1) with the given amplitudes.

    `decays` (per-harmonic exponential decay rates, 1/s) lets upper partials
    die away faster, as in struck and plucked strings. Partials above `nyq`
    are skipped, so nothing aliases.
    """
    ph = phase_of(freq, n)
    fmax = freq if np.isscalar(freq) else float(np.max(freq))
    t = np.arange(n) / SR
    out = np.zeros(n)
    for k, a in enumerate(amps, start=1):
        ratio = k * np.sqrt(1 + inharm * k * k)
        if fmax * ratio >= nyq or a == 0:
            continue
        p = np.sin(ph * ratio + 0.7 * k)
        if decays is not None:
            p *= np.exp(-decays[k - 1] * t)
        out += a * p
    return out


def saw_amps(freq, bright=1.0, nyq=16000.0, tilt=1.0):
    kmax = max(1, int(nyq / max(freq, 1.0)))
    k = np.arange(1, kmax + 1)
    return (1.0 / k ** tilt) * np.exp(-(k - 1) * freq / (4000.0 * bright))


def square_amps(freq, duty=0.5, nyq=16000.0):
    kmax = max(1, int(nyq / max(freq, 1.0)))
    k = np.arange(1, kmax + 1)
    return np.abs(np.sin(np.pi * k * duty)) / k


def fm(freq, n, ratio, index, index_env=None, fb_ratio=None):
    """Two-operator FM: a carrier at freq modulated by freq*ratio."""
    mod = sine(np.asarray(freq) * ratio if not np.isscalar(freq) else freq * ratio, n)
    idx = index if index_env is None else index * index_env
    return np.sin(phase_of(freq, n) + idx * mod)


def noise(rng, n):
    return rng.uniform(-1, 1, n)


# ---------------------------------------------------------------- filters

def _butter_mag(f, fc, order, high=False):
    with np.errstate(divide="ignore"):
        r = (f / fc) if not high else (fc / np.maximum(f, 1e-9))
    return 1.0 / np.sqrt(1.0 + r ** (2 * order))


def fft_filter(x, lo=None, hi=None, order=2, peaks=()):
    """Zero-phase filter done in the frequency domain.

    lo: high-pass corner, hi: low-pass corner (Hz). `peaks` is a list of
    (freq, bandwidth, gain) resonances added on top, used for vowel colour.
    """
    if x.ndim == 2:
        return np.stack([fft_filter(x[:, c], lo, hi, order, peaks)
                         for c in range(x.shape[1])], axis=1)
    n = len(x)
    nfft = 1 << int(np.ceil(np.log2(max(n, 2))))
    spectrum = np.fft.rfft(x, nfft)
    f = np.fft.rfftfreq(nfft, 1 / SR)
    g = np.ones_like(f)
    if lo:
        g *= _butter_mag(f, lo, order, high=True)
    if hi:
        g *= _butter_mag(f, hi, order)
    if peaks:
        pk = np.zeros_like(f)
        for fc, bw, gain in peaks:
            pk += gain / (1 + ((f - fc) / (bw / 2)) ** 2)
        g = g * pk
    return np.fft.irfft(spectrum * g, nfft)[:n]


def tv_filter(x, gain_fn, frame=2048, hop=512):
    """Time-varying filter by short-time Fourier transform.

    gain_fn(t, freqs) returns the magnitude to apply at time t (s). Used for
    sweeps, wah and similar moving colours.
    """
    n = len(x)
    win = np.hanning(frame)
    pad = np.concatenate([np.zeros(frame), x, np.zeros(frame)])
    out = np.zeros_like(pad)
    norm = np.zeros_like(pad)
    f = np.fft.rfftfreq(frame, 1 / SR)
    for start in range(0, len(pad) - frame, hop):
        seg = pad[start:start + frame] * win
        t = (start + frame / 2 - frame) / SR
        spectrum = np.fft.rfft(seg) * gain_fn(t, f)
        out[start:start + frame] += np.fft.irfft(spectrum, frame) * win
        norm[start:start + frame] += win * win
    out = out / np.maximum(norm, 1e-6)
    return out[frame:frame + n]


def lowpass_sweep(x, f_start, f_end, order=2, q_peak=0.0):
    dur = len(x) / SR

    def g(t, f):
        fc = f_start * (f_end / f_start) ** np.clip(t / dur, 0, 1)
        m = _butter_mag(f, fc, order)
        if q_peak:
            m = m * (1 + q_peak / (1 + ((f - fc) / (fc * 0.15)) ** 2))
        return m
    return tv_filter(x, g)


# ---------------------------------------------------------------- mixing

def to_stereo(x, pan=0.0):
    """Constant-power pan, -1 (left) .. +1 (right)."""
    if x.ndim == 2:
        return x
    a = (pan + 1) * np.pi / 4
    return np.stack([x * np.cos(a), x * np.sin(a)], axis=1) * np.sqrt(2)


def place(buf, x, t, gain=1.0, pan=0.0):
    """Add x into buf starting at time t, growing buf if needed."""
    start = samples(t)
    if start < 0:
        x = x[-start:]
        start = 0
    if buf.ndim == 2:
        x = to_stereo(x, pan)
    end = start + len(x)
    if end > len(buf):
        grow = np.zeros((end - len(buf),) + buf.shape[1:])
        buf = np.concatenate([buf, grow])
    buf[start:end] += gain * x
    return buf


def mix(*tracks):
    """Sum tracks (mono or stereo) of different lengths into one stereo mix."""
    n = max(len(t) for t in tracks)
    out = np.zeros((n, 2))
    for t in tracks:
        out[:len(t)] += to_stereo(t)
    return out


def pad_to(x, n):
    if len(x) >= n:
        return x[:n]
    return np.concatenate([x, np.zeros((n - len(x),) + x.shape[1:])])


def rms(x):
    return float(np.sqrt(np.mean(np.square(x)))) if len(x) else 0.0


def db(v):
    return 20 * np.log10(max(v, 1e-12))


def normalize(x, peak=0.9):
    m = np.max(np.abs(x)) if len(x) else 0
    return x * (peak / m) if m > 0 else x


def env_follow(x, win=0.02):
    """Smoothed amplitude envelope (moving RMS)."""
    m = np.abs(x) if x.ndim == 1 else np.max(np.abs(x), axis=1)
    w = max(1, samples(win))
    c = np.cumsum(np.concatenate([[0.0], m * m]))
    e = np.sqrt(np.maximum((c[w:] - c[:-w]) / w, 0))
    return np.concatenate([np.full(w // 2, e[0]), e, np.full(len(m) - len(e) - w // 2, e[-1])])[:len(m)]


def duck(x, key, amount=0.6, win=0.05):
    """Lower x while `key` is loud (voice over music)."""
    e = env_follow(key, win)
    e = e / (np.max(e) + 1e-9)
    g = 1 - amount * np.clip(e * 3, 0, 1)
    g = pad_to(g, len(x))
    g[len(key):] = 1.0
    return x * (g if x.ndim == 1 else g[:, None])


# ---------------------------------------------------------------- dynamics

def _run_min(g, w):
    """Minimum over the trailing window of w samples, at every position."""
    if w <= 1:
        return g
    padded = np.concatenate([np.full(w - 1, g[0]), g])
    view = np.lib.stride_tricks.sliding_window_view(padded, w)
    return view.min(axis=1)


def _box_ahead(g, w):
    """Mean over the w samples starting at each position."""
    c = np.cumsum(np.concatenate([[0.0], g, np.full(w, g[-1])]))
    return (c[w:w + len(g)] - c[:len(g)]) / w


def limit(x, ceiling, window=0.012):
    """Look-ahead peak limiter.

    The gain curve is the running minimum of the gain each sample needs,
    averaged over the same window. Every window that is averaged at sample
    i contains i itself, so the smoothed gain never exceeds what i needs:
    the output stays under the ceiling with no hard clipping, and the gain
    moves over about `window` seconds instead of jumping.
    """
    m = np.abs(x) if x.ndim == 1 else np.max(np.abs(x), axis=1)
    need = np.minimum(1.0, ceiling / np.maximum(m, 1e-12))
    w = max(1, samples(window))
    g = _box_ahead(_run_min(need, w), w)
    return x * (g if x.ndim == 1 else g[:, None])


def soft_clip(x, drive=2.0):
    return np.tanh(drive * x) / np.tanh(drive)


def trim(x, thresh_db=-50.0, keep_tail=0.05):
    """Cut leading and trailing stretches quieter than thresh_db."""
    m = np.abs(x) if x.ndim == 1 else np.max(np.abs(x), axis=1)
    above = np.nonzero(m > 10 ** (thresh_db / 20))[0]
    if not len(above):
        return x
    end = min(len(x), above[-1] + 1 + samples(keep_tail))
    return x[above[0]:end]


# ---------------------------------------------------------------- sox bridge

def sox_fx(x, *effects):
    """Run a signal through sox effects (reverb, echo, pitch, ...).

    Raw 32-bit float goes in and out through pipes; -R keeps sox's own
    random numbers fixed so the result is the same every run.
    """
    ch = 1 if x.ndim == 1 else x.shape[1]
    data = np.ascontiguousarray(x, dtype="<f4").tobytes()
    cmd = ["sox", "-R", "-V1", "-t", "f32", "-r", str(SR), "-c", str(ch), "-",
           "-t", "f32", "-"] + [str(e) for e in effects]
    res = subprocess.run(cmd, input=data, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, check=True)
    out = np.frombuffer(res.stdout, dtype="<f4").astype(np.float64)
    out_ch = ch
    if "channels" in [str(e) for e in effects]:
        idx = [str(e) for e in effects].index("channels")
        out_ch = int(effects[idx + 1])
    if out_ch > 1:
        out = out.reshape(-1, out_ch)
    return out


def reverb(x, amount=40, room=60, tail=1.0, wet_db=-3, predelay=10, damping=50):
    """Stereo room reverb from sox; the tail is allowed to ring out."""
    x = to_stereo(x) if x.ndim == 1 else x
    x = np.concatenate([x, np.zeros((samples(tail), 2))])
    wet = sox_fx(x, "reverb", "-w", amount, damping, room, 100, predelay)
    return x + pad_to(wet, len(x)) * 10 ** (wet_db / 20)

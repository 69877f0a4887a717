"""A tiny sequencer: numbered-notation melodies, chords, instruments, drums.

Melodies are written in numbered notation (jianpu), the way Chinese
songbooks write tunes: 1..7 are scale degrees of the song's key, 0 is a
rest, ' raises an octave and , lowers one, # and b sharpen or flatten.
Each note lasts one beat; every '-' adds a beat, every '_' halves the
length, '.' makes it one and a half times as long. '|' marks bars and is
ignored.
"""
import re

import numpy as np

import synth as S
from synth import SR, samples

MAJOR = [0, 2, 4, 5, 7, 9, 11]
NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}

_TOKEN = re.compile(r"^([#b]?)([0-7])([',]*)([-_.]*)$")


def key_root(name):
    """'C4' -> 60, 'Bb3' -> 58, 'F#4' -> 66."""
    m = re.match(r"^([A-G])([#b]?)(-?\d)$", name)
    if not m:
        raise ValueError("bad key " + name)
    pc = NOTE_NAMES[m.group(1)] + {"#": 1, "b": -1, "": 0}[m.group(2)]
    return 12 * (int(m.group(3)) + 1) + pc


def degree_to_midi(root, degree, octave=0, accidental=0):
    return root + MAJOR[degree - 1] + 12 * octave + accidental


def parse_jianpu(text, root):
    """Return a list of (start_beat, beats, midi or None for a rest)."""
    notes = []
    beat = 0.0
    for tok in text.replace("|", " ").split():
        m = _TOKEN.match(tok)
        if not m:
            raise ValueError("bad note token %r" % tok)
        acc, deg, octs, durs = m.groups()
        length = 1.0
        for c in durs:
            if c == "-":
                length += 1.0
            elif c == "_":
                length /= 2.0
            elif c == ".":
                length *= 1.5
        deg = int(deg)
        if deg == 0:
            midi = None
        else:
            octave = octs.count("'") - octs.count(",")
            midi = degree_to_midi(root, deg, octave, {"#": 1, "b": -1, "": 0}[acc])
        notes.append((beat, length, midi))
        beat += length
    return notes


def chord_notes(root, symbol):
    """Diatonic chord on a scale degree: '1', '6', '4', '5' ... Suffixes:
    '7' adds the scale's seventh, 'd' a dominant (minor) seventh, 'M'/'m'
    force major/minor, a leading 'b' flattens the root (e.g. 'b7' is the
    flat-seven major chord)."""
    m = re.match(r"^(b?)([1-7])([Mm]?)([7d]?)$", symbol)
    if not m:
        raise ValueError("bad chord " + symbol)
    flat, deg, quality, seventh = m.groups()
    deg = int(deg)
    if flat:
        base = root + MAJOR[deg - 1] - 1
        third = 4 if quality != "m" else 3
        tones = [base, base + third, base + 7]
        if seventh:
            tones.append(base + 10)
        return tones
    idx = deg - 1
    tones = [root + MAJOR[(idx + j) % 7] + 12 * ((idx + j) // 7) for j in (0, 2, 4, 6)]
    if quality == "M":
        tones[1] = tones[0] + 4
    elif quality == "m":
        tones[1] = tones[0] + 3
    if seventh == "d":
        tones[1] = tones[0] + 4
        tones[2] = tones[0] + 7
        tones[3] = tones[0] + 10
    return tones if seventh else tones[:3]


def voice_chord(tones, lo=55, hi=71):
    """Fold chord tones into a close voicing between lo and hi."""
    out = []
    for t in tones:
        while t < lo:
            t += 12
        while t >= hi:
            t -= 12
        out.append(t)
    return sorted(out)


def mtof(m):
    return 440.0 * 2 ** ((m - 69) / 12.0)


# ------------------------------------------------------------------ instruments

def inst_render(name, midi, dur, vel, rng):
    """Render one note; returns a mono array that includes the release."""
    f = mtof(midi)
    fn = INSTRUMENTS[name]
    return fn(f, dur, vel, rng)


def _vibrato(n, f, depth=0.004, rate=5.5, delay=0.25):
    t = np.arange(n) / SR
    ramp = np.clip((t - delay) / 0.3, 0, 1)
    return f * (1 + depth * ramp * np.sin(2 * np.pi * rate * t))


def piano(f, dur, vel, rng):
    n = samples(dur + 1.2)
    k = np.arange(1, 25)
    amps = 1.0 / k ** 1.2 * (0.6 + 0.4 * vel)
    decays = 1.2 + 0.5 * k * (f / 260) ** 0.5 + 200 / (f + 60)
    x = S.additive(f, n, amps, inharm=0.0004, decays=decays)
    env = S.adsr(n, a=0.002, d=0.3, s=1.0, r=0.25, gate=dur + 0.1)
    return x * env * 0.35


def epiano(f, dur, vel, rng):
    n = samples(dur + 0.8)
    t = np.arange(n) / SR
    idx_env = np.exp(-t * 4)
    x = S.fm(f, n, 1.0, 1.5 * vel, idx_env) + 0.25 * S.fm(f, n, 14.0, 0.6, np.exp(-t * 30))
    env = np.exp(-t * 1.2) * S.adsr(n, 0.002, 1, 1, 0.3, gate=dur + 0.05)
    return x * env * 0.4


def bell(f, dur, vel, rng):
    n = samples(max(dur, 0.3) + 1.5)
    t = np.arange(n) / SR
    x = S.fm(f, n, 3.5, 2.0, np.exp(-t * 3)) * np.exp(-t * 2.2)
    x += 0.3 * np.sin(S.phase_of(f * 2.0, n)) * np.exp(-t * 4)
    return S.fade(x, 0.001, 0.05) * 0.35


def pluck(f, dur, vel, rng):
    """Plucked string (zither / guitar colour): bright attack, dark tail."""
    n = samples(dur + 1.0)
    k = np.arange(1, 30)
    amps = np.abs(np.sin(np.pi * k * 0.23)) / k ** 1.1
    decays = 2.0 + 0.9 * k * (f / 300)
    bend = f * (1 + 0.01 * np.exp(-np.arange(n) / SR * 30))
    x = S.additive(bend, n, amps, decays=decays)
    env = S.adsr(n, 0.001, 1, 1, 0.15, gate=dur + 0.5)
    return x * env * 0.45


def saw_lead(f, dur, vel, rng):
    n = samples(dur + 0.15)
    fr = _vibrato(n, f, 0.005, 5.5, 0.2)
    a = S.saw_amps(f, bright=0.8)
    x = S.additive(fr, n, a) + 0.5 * S.additive(fr * 1.004, n, a)
    env = S.adsr(n, 0.01, 0.2, 0.75, 0.12, gate=dur)
    return x * env * 0.22 * (0.6 + 0.4 * vel)


def square_lead(f, dur, vel, rng):
    n = samples(dur + 0.05)
    x = S.additive(f, n, S.square_amps(f, 0.5, nyq=12000))
    env = S.adsr(n, 0.003, 0.1, 0.6, 0.04, gate=dur)
    return x * env * 0.22


def pulse_lead(f, dur, vel, rng):
    n = samples(dur + 0.05)
    x = S.additive(_vibrato(n, f, 0.004, 6, 0.15), n, S.square_amps(f, 0.25, nyq=12000))
    env = S.adsr(n, 0.003, 0.15, 0.55, 0.04, gate=dur)
    return x * env * 0.25


def flute(f, dur, vel, rng):
    n = samples(dur + 0.12)
    fr = _vibrato(n, f, 0.006, 5.0, 0.15)
    x = S.additive(fr, n, [1.0, 0.25, 0.12, 0.05])
    br = S.fft_filter(S.noise(rng, n), lo=f, hi=f * 4) * 0.05
    env = S.adsr(n, 0.04, 0.2, 0.85, 0.1, gate=dur)
    return (x + br) * env * 0.4


def strings(f, dur, vel, rng):
    n = samples(dur + 0.4)
    out = np.zeros(n)
    a = S.saw_amps(f, bright=0.45, tilt=1.3)
    for det in (-0.006, 0.0, 0.005):
        out += S.additive(_vibrato(n, f * (1 + det), 0.003, 5.2, 0.1), n, a)
    env = S.adsr(n, 0.15, 0.3, 0.9, 0.35, gate=dur)
    return out * env * 0.12


def brass(f, dur, vel, rng):
    """Brightness opens with loudness, the way a horn's tone does."""
    n = samples(dur + 0.15)
    env = S.adsr(n, 0.04, 0.15, 0.8, 0.12, gate=dur)
    fr = _vibrato(n, f, 0.004, 5.0, 0.3)
    kmax = max(1, int(9000 / f))
    ph = S.phase_of(fr, n)
    out = np.zeros(n)
    for k in range(1, kmax + 1):
        out += (env ** (0.5 + 0.45 * k)) / k * np.sin(k * ph)
    return out * 0.32 * (0.6 + 0.4 * vel)


def organ(f, dur, vel, rng):
    n = samples(dur + 0.08)
    x = S.additive(f, n, [1.0, 0.6, 0.35, 0.0, 0.2, 0.0, 0.0, 0.12])
    env = S.adsr(n, 0.01, 0.1, 0.9, 0.06, gate=dur)
    return x * env * 0.25


def supersaw(f, dur, vel, rng):
    n = samples(dur + 0.2)
    a = S.saw_amps(f, bright=0.7)
    out = np.zeros(n)
    for det in (-0.012, -0.005, 0.0, 0.006, 0.011):
        out += S.additive(f * (1 + det), n, a)
    env = S.adsr(n, 0.008, 0.25, 0.6, 0.15, gate=dur)
    return out * env * 0.09


def choir(f, dur, vel, rng):
    from voice import vowel
    n = samples(dur + 0.3)
    out = np.zeros(n)
    for det in (-0.005, 0.004):
        fr = _vibrato(n, f * (1 + det), 0.006, 5.0, 0.1)
        out += vowel(fr, (n) / SR, "a", None, breath=0.0)[:n]
    env = S.adsr(n, 0.12, 0.3, 0.9, 0.3, gate=dur)
    return out * env * 0.05


def bass(f, dur, vel, rng):
    n = samples(dur + 0.08)
    t = np.arange(n) / SR
    x = S.additive(f, n, [1.0, 0.5, 0.3, 0.15, 0.08], decays=[0.8, 2, 4, 6, 8])
    env = S.adsr(n, 0.004, 0.4, 0.75, 0.06, gate=dur)
    return x * env * 0.5 * (0.7 + 0.3 * vel) * (1 + 0.3 * np.exp(-t * 40))


def synth_bass(f, dur, vel, rng):
    n = samples(dur + 0.06)
    t = np.arange(n) / SR
    kmax = max(1, int(5000 / f))
    ph = S.phase_of(f, n)
    cutoff = 300 + 2500 * np.exp(-t * 14)
    out = np.zeros(n)
    for k in range(1, kmax + 1):
        out += np.sin(k * ph) / k / (1 + (k * f / cutoff) ** 4)
    env = S.adsr(n, 0.003, 0.2, 0.8, 0.04, gate=dur)
    return out * env * 0.5


def sub_bass(f, dur, vel, rng):
    n = samples(dur + 0.05)
    x = S.sine(f, n) + 0.25 * S.sine(2 * f, n)
    env = S.adsr(n, 0.005, 0.3, 0.9, 0.04, gate=dur)
    return x * env * 0.55


def power_guitar(f, dur, vel, rng):
    """Overdriven power chord (root + fifth + octave)."""
    n = samples(dur + 0.15)
    out = np.zeros(n)
    for r in (1.0, 1.4983, 2.0):
        out += S.additive(f * r, n, S.saw_amps(f * r, bright=0.6))
    out = S.soft_clip(out * 1.5, 3.0)
    out = S.fft_filter(out, lo=90, hi=4500)
    env = S.adsr(n, 0.004, 0.5, 0.7, 0.08, gate=dur)
    return out * env * 0.22


def triangle(f, dur, vel, rng):
    n = samples(dur + 0.03)
    k = np.arange(1, 16)
    amps = np.where(k % 2 == 1, 1.0 / k ** 2, 0.0)
    x = S.additive(f, n, amps)
    env = S.adsr(n, 0.002, 0.1, 0.9, 0.02, gate=dur)
    return x * env * 0.55


def marimba(f, dur, vel, rng):
    n = samples(0.7)
    t = np.arange(n) / SR
    x = (np.sin(S.phase_of(f, n)) * np.exp(-t * 6)
         + 0.35 * np.sin(S.phase_of(f * 3.93, n)) * np.exp(-t * 25)
         + 0.12 * np.sin(S.phase_of(f * 9.2, n)) * np.exp(-t * 60))
    return S.fade(x, 0.001, 0.05) * 0.5


def suona(f, dur, vel, rng):
    """Reed horn: bright and nasal, strong vibrato, scoops up into notes."""
    n = samples(dur + 0.1)
    t = np.arange(n) / SR
    scoop = 1 - 0.03 * np.exp(-t * 25)
    fr = _vibrato(n, f * scoop, 0.012, 6.0, 0.12)
    kmax = max(1, int(10000 / f))
    k = np.arange(1, kmax + 1)
    fk = k * f
    amps = (1 / k ** 0.5) * (0.3 + 1.0 / (1 + ((fk - 1600) / 900) ** 2))
    x = S.additive(fr, n, amps)
    env = S.adsr(n, 0.02, 0.15, 0.85, 0.06, gate=dur)
    return x * env * 0.12


def erhu(f, dur, vel, rng):
    """Bowed two-string fiddle: slow bow attack, wide vibrato, slides in."""
    n = samples(dur + 0.2)
    t = np.arange(n) / SR
    slide = 1 - 0.04 * np.exp(-t * 12)
    fr = _vibrato(n, f * slide, 0.01, 5.5, 0.1)
    kmax = max(1, int(8000 / f))
    k = np.arange(1, kmax + 1)
    fk = k * f
    amps = (1 / k) * (0.4 + 1.0 / (1 + ((fk - 1000) / 700) ** 2))
    x = S.additive(fr, n, amps)
    bow = S.fft_filter(S.noise(rng, n), lo=1500, hi=5000) * 0.02
    env = S.adsr(n, 0.08, 0.2, 0.85, 0.18, gate=dur)
    return (x + bow) * env * 0.22


INSTRUMENTS = {
    "tri": triangle, "marimba": marimba, "suona": suona, "erhu": erhu,
    "piano": piano, "epiano": epiano, "bell": bell, "pluck": pluck,
    "saw": saw_lead, "square": square_lead, "pulse": pulse_lead,
    "flute": flute, "strings": strings, "brass": brass, "organ": organ,
    "supersaw": supersaw, "choir": choir, "bass": bass,
    "synthbass": synth_bass, "sub": sub_bass, "guitar": power_guitar,
}


# ------------------------------------------------------------------ drums

def kick(rng, vel=1.0, tight=1.0):
    n = samples(0.45)
    t = np.arange(n) / SR
    f = 45 + 110 * np.exp(-t * 30 * tight)
    x = np.sin(S.phase_of(f, n)) * np.exp(-t * 7 * tight)
    click = S.fft_filter(S.noise(rng, n), lo=1500, hi=6000) * np.exp(-t * 300) * 0.3
    return (x + click) * vel * 0.9


def snare(rng, vel=1.0):
    n = samples(0.3)
    t = np.arange(n) / SR
    body = np.sin(S.phase_of(185 + 40 * np.exp(-t * 40), n)) * np.exp(-t * 25)
    rattle = S.fft_filter(S.noise(rng, n), lo=1200, hi=9000) * np.exp(-t * 16)
    return (0.5 * body + 0.8 * rattle) * vel * 0.7


def clap(rng, vel=1.0):
    n = samples(0.25)
    t = np.arange(n) / SR
    env = np.exp(-t * 18)
    for off in (0.0, 0.011, 0.022):
        env += 1.3 * np.exp(-np.clip(t - off, 0, None) * 250) * (t >= off)
    x = S.fft_filter(S.noise(rng, n), lo=900, hi=3500, order=2) * env
    return x * vel * 0.5


def hat(rng, vel=1.0, open_=False):
    n = samples(0.35 if open_ else 0.06)
    t = np.arange(n) / SR
    x = S.fft_filter(S.noise(rng, n), lo=7000, order=3)
    return x * np.exp(-t * (9 if open_ else 70)) * vel * 0.35


def crash(rng, vel=1.0):
    n = samples(2.2)
    t = np.arange(n) / SR
    x = S.fft_filter(S.noise(rng, n), lo=3500, order=2)
    metal = sum(np.sin(S.phase_of(fr, n)) for fr in (3120, 4470, 5830, 7910)) * 0.05
    return S.fade((x + metal) * np.exp(-t * 2.8), 0.0, 0.4) * vel * 0.22


def tom(rng, vel=1.0, pitch=120):
    n = samples(0.5)
    t = np.arange(n) / SR
    f = pitch * (1 + 0.6 * np.exp(-t * 20))
    return np.sin(S.phase_of(f, n)) * np.exp(-t * 7) * vel * 0.7


def taiko(rng, vel=1.0):
    n = samples(1.0)
    t = np.arange(n) / SR
    f = 60 * (1 + 0.8 * np.exp(-t * 18))
    body = np.sin(S.phase_of(f, n)) * np.exp(-t * 4.5)
    skin = S.fft_filter(S.noise(rng, n), lo=80, hi=900) * np.exp(-t * 12) * 0.4
    return (body + skin) * vel * 0.9


def shaker(rng, vel=1.0):
    n = samples(0.08)
    x = S.fft_filter(S.noise(rng, n), lo=5000, hi=11000)
    return x * np.hanning(n) * vel * 0.25


def woodblock(rng, vel=1.0):
    n = samples(0.12)
    t = np.arange(n) / SR
    x = np.sin(S.phase_of(1250, n)) * np.exp(-t * 60) + 0.4 * np.sin(S.phase_of(2900, n)) * np.exp(-t * 90)
    return x * vel * 0.5


def gong(rng, vel=1.0):
    n = samples(2.5)
    t = np.arange(n) / SR
    x = sum(np.sin(S.phase_of(f * (1 + 0.02 * np.exp(-t * 2)), n)) * np.exp(-t * d) * a
            for f, d, a in ((210, 1.2, 1.0), (337, 1.5, 0.7), (498, 2.0, 0.5), (733, 2.8, 0.4)))
    x += S.fft_filter(S.noise(rng, n), lo=300, hi=3000) * np.exp(-t * 6) * 0.3
    return x * vel * 0.3


DRUMS = {
    "W": woodblock, "G": gong,
    "K": kick, "S": snare, "C": clap, "H": hat,
    "O": lambda r, v=1.0: hat(r, v, True), "X": crash, "T": tom,
    "L": lambda r, v=1.0: tom(r, v, 90), "B": taiko, "Z": shaker,
}


# ------------------------------------------------------------------ song

def active_rms(x, block=0.05, floor_db=-40.0):
    """RMS over the 50 ms blocks where a track is actually sounding."""
    m = np.abs(x) if x.ndim == 1 else np.max(np.abs(x), axis=1)
    b = samples(block)
    nb = len(m) // b
    if nb == 0:
        return S.rms(m)
    blocks = np.sqrt(np.mean(np.square(m[:nb * b].reshape(nb, b)), axis=1))
    on = blocks > blocks.max() * 10 ** (floor_db / 20)
    return float(np.sqrt(np.mean(np.square(blocks[on])))) if on.any() else 0.0


class Song:
    """Collects notes on a beat grid and renders them into a stereo mix."""

    def __init__(self, bpm, key="C4", beats_per_bar=4, seed=1, swing=0.0):
        self.bpm = bpm
        self.root = key_root(key)
        self.bpb = beats_per_bar
        self.rng = np.random.default_rng(seed)
        self.swing = swing
        self.tracks = {}       # name -> [buffer, gain, pan, reverb send]
        self.length_beats = 0.0
        self.kick_times = []
        self._drum_cache = {}

    # time helpers
    def t(self, beat):
        """Beat position to seconds, with swing pushing off-beat eighths late."""
        if self.swing:
            whole, frac = divmod(beat, 1.0)
            if abs(frac - 0.5) < 1e-6:
                beat = whole + 0.5 + self.swing * 0.5
        return beat * 60.0 / self.bpm

    def beats_to_s(self, beats):
        return beats * 60.0 / self.bpm

    def _track(self, name, gain, pan, send):
        if name not in self.tracks:
            self.tracks[name] = [np.zeros(1), gain, pan, send]
        return self.tracks[name]

    def note(self, track, inst, midi, start, beats, vel=0.8, gain=1.0, pan=0.0,
             send=0.2, legato=0.92):
        tr = self._track(track, gain, pan, send)
        x = inst_render(inst, midi, self.beats_to_s(beats) * legato, vel, self.rng)
        tr[0] = S.place(tr[0], x, self.t(start), vel)
        self.length_beats = max(self.length_beats, start + beats)

    def melody(self, inst, text, start=0.0, octave=0, track="lead", vel=0.85,
               gain=1.0, pan=0.0, send=0.25, legato=0.92, transpose=0):
        notes = parse_jianpu(text, self.root + 12 * octave + transpose)
        for b, length, midi in notes:
            if midi is not None:
                v = vel * (1.0 if (b % 1) == 0 else 0.9)
                self.note(track, inst, midi, start + b, length, v, gain, pan, send, legato)
        end = start + (notes[-1][0] + notes[-1][1] if notes else 0)
        self.length_beats = max(self.length_beats, end)
        return end

    def progression(self, symbols, start=0.0, beats=None):
        """'1 5 6 4' or '1:2 5:2' -> list of (start, beats, tones)."""
        beats = beats or self.bpb
        out = []
        pos = start
        for sym in symbols.split():
            if ":" in sym:
                sym, d = sym.split(":")
                d = float(d)
            else:
                d = beats
            out.append((pos, d, chord_notes(self.root, sym)))
            pos += d
        return out

    def pad(self, inst, chords, track="pad", vel=0.6, gain=0.8, lo=55, hi=71,
            send=0.35, pan=0.0):
        for st, d, tones in chords:
            for i, m in enumerate(voice_chord(tones, lo, hi)):
                self.note(track, inst, m, st, d, vel, gain, pan + 0.3 * (i - 1), send, 0.98)

    def stabs(self, inst, chords, pattern, track="stabs", vel=0.7, gain=0.7,
              lo=55, hi=71, send=0.2, length=0.4):
        """Chord hits at the beat offsets in `pattern` within each chord."""
        for st, d, tones in chords:
            for off in pattern:
                if off < d:
                    for m in voice_chord(tones, lo, hi):
                        self.note(track, inst, m, st + off, length, vel, gain, 0.0, send, 0.9)

    def arp(self, inst, chords, step=0.5, order=(0, 1, 2, 1), octave=0, track="arp",
            vel=0.6, gain=0.6, send=0.3, lo=60, hi=76, pan=0.2, hold=1.0):
        for st, d, tones in chords:
            v = voice_chord(tones, lo, hi)
            v = v + [v[0] + 12]
            i = 0
            b = 0.0
            while b < d - 1e-6:
                m = v[order[i % len(order)] % len(v)] + 12 * octave
                self.note(track, inst, m, st + b, step * hold, vel, gain, pan, send, 0.95)
                b += step
                i += 1

    def bassline(self, inst, chords, pattern=((0, 1, 0),), track="bass", vel=0.9,
                 gain=1.0, octave=-2, send=0.05):
        """pattern: (beat offset, length, interval) tuples; interval 0 = root,
        7 = fifth, 12 = octave, 'third' etc. given in semitones."""
        for st, d, tones in chords:
            root = tones[0]
            while root >= 48 + 12 * (octave + 2):
                root -= 12
            while root < 36 + 12 * (octave + 2):
                root += 12
            for off, length, iv in pattern:
                if off < d:
                    self.note(track, inst, root + iv, st + off, min(length, d - off),
                              vel, gain, 0.0, send, 0.9)

    def drums(self, bars, patterns, start=0.0, gain=1.0, steps=16, send=0.1,
              vel_map=None):
        """patterns: {'K': 'x...x...', ...}; one char per step, 'x' hit,
        'o' soft hit, '.' nothing. A pattern shorter than the bar repeats."""
        step_beats = self.bpb / steps
        tr = self._track("drums", gain, 0.0, send)
        for bar in range(bars):
            for inst, pat in patterns.items():
                for i in range(steps):
                    c = pat[i % len(pat)]
                    if c == ".":
                        continue
                    vel = 1.0 if c == "x" else 0.55
                    beat = start + bar * self.bpb + i * step_beats
                    # three takes of each drum, picked at random, so
                    # repeated hits are not machine-identical
                    key = (inst, int(self.rng.integers(0, 3)))
                    if key not in self._drum_cache:
                        sub = np.random.default_rng(ord(inst) * 10 + key[1])
                        self._drum_cache[key] = S.fade(DRUMS[inst](sub), 0.0, 0.03)
                    tr[0] = S.place(tr[0], self._drum_cache[key], self.t(beat), vel)
                    if inst in ("K", "B"):
                        self.kick_times.append(self.t(beat))
        self.length_beats = max(self.length_beats, start + bars * self.bpb)

    def hit(self, inst, beat, vel=1.0):
        """A single drum hit (crash at the start, a last boom...)."""
        tr = self._track("drums", 1.0, 0.0, 0.1)
        x = S.fade(DRUMS[inst](np.random.default_rng(ord(inst) * 10 + 5)), 0.0, 0.03)
        tr[0] = S.place(tr[0], x, self.t(beat), vel)
        if inst in ("K", "B"):
            self.kick_times.append(self.t(beat))

    def sidechain(self, names, depth=0.5, release=0.25):
        """Duck the named tracks after every kick (the pumping dance sound)."""
        for name in names:
            if name not in self.tracks:
                continue
            buf = self.tracks[name][0]
            n = len(buf)
            g = np.ones(n)
            rel = samples(release)
            curve = 1 - depth * (1 - np.linspace(0, 1, rel)) ** 2
            for kt in self.kick_times:
                s = samples(kt)
                if s >= n:
                    continue
                e = min(n, s + rel)
                g[s:e] = np.minimum(g[s:e], curve[:e - s])
            self.tracks[name][0] = buf * g

    # Level of each accompaniment track relative to the lead, in dB of
    # RMS while the track is playing. Bass and kick carry a lot of energy
    # that the ear weighs lightly, so they may sit closer to the lead.
    BALANCE = {"lead2": -7, "bass": -4, "drums": -3, "gtr": -6, "lh": -6, "pad": -9,
               "choir": -10, "arp": -8, "stabs": -8, "keys": -8, "brass_stab": -9,
               "end": -6, "endpad": -10}

    def balance(self):
        """Set the tracks' gains from BALANCE so that every tune keeps its
        melody on top whatever the instruments' own loudness."""
        if "lead" not in self.tracks:
            return
        lead = active_rms(self.tracks["lead"][0]) * self.tracks["lead"][1]
        if lead <= 0:
            return
        for name, offset in self.BALANCE.items():
            if name in self.tracks:
                level = active_rms(self.tracks[name][0])
                if level > 0:
                    self.tracks[name][1] = lead * 10 ** (offset / 20) / level

    def render(self, tail=1.2, room=55, reverb_amount=45, balance=True):
        """Mix every track with its pan and reverb send, ending `tail`
        seconds after the last beat."""
        if balance:
            self.balance()
        total = samples(self.t(self.length_beats) + tail)
        dry = np.zeros((total, 2))
        wet_in = np.zeros((total, 2))
        for name, (buf, gain, pan, send) in self.tracks.items():
            st = S.to_stereo(buf, pan) if buf.ndim == 1 else buf
            st = S.pad_to(st, total) * gain
            dry += st
            wet_in += st * send
        if np.any(wet_in):
            wet = S.sox_fx(wet_in, "reverb", "-w", reverb_amount, 50, room, 100, 15)
            dry += S.pad_to(wet, total) * 0.8
        return dry

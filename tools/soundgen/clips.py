"""The sixty clips: how each one is put together.

Every clip function is self-contained and seeds its own random generator
with its clip number, so clips can be rendered in any order or in parallel
and still come out the same. CLIPS maps the number to (name, kind,
function); the kind decides the allowed length (effect/phrase 1-8 s,
jingle/tune 8-30 s).
"""
import numpy as np

import music as M
import synth as S
import voice as V
from synth import SR, place, samples

CLIPS = {}


def clip(num, name, kind):
    def deco(fn):
        CLIPS[num] = (name, kind, fn)
        return fn
    return deco


def rng_for(num):
    return np.random.default_rng(1000 + num)


# =========================================================== voice helpers

def say(text, variant="m3", speed=170, pitch=50, semis=0.0, tempo=1.0, lang=V.MANDARIN):
    return V.speak(text, variant=variant, speed=speed, pitch=pitch, semis=semis,
                   tempo=tempo, lang=lang)


def punch(x, amount=1.0):
    """Compress a voice so it stays forward and even (sox compand)."""
    out = S.sox_fx(x, "compand", "0.005,0.12", "6:-70,-70,-45,-24,-20,-11,0,-5", -1)
    return out * amount


def lively(text, variant="m3", speed=175, pitch=60, semis=0.0, double="f2",
           room=35, double_gain=0.35, tempo=1.0, lang=V.MANDARIN, pan=0.0):
    """A voice doubled by a second, slightly detuned and delayed voice, with a
    touch of room: this takes the flat edge off the synthetic speech."""
    a = say(text, variant, speed, pitch, semis, tempo, lang)
    out = S.to_stereo(a, pan - 0.1)
    if double:
        b = say(text, double, speed, pitch + 6, semis + 0.15, tempo, lang)
        out = place(out, b, 0.014, double_gain, pan + 0.35)
    out = punch(out)
    if room:
        out = S.reverb(out, amount=room, room=40, tail=0.35, wet_db=-9, predelay=5)
    return out


def crowd_say(text, rng, count=8, speed=160, pitch=(30, 70), semis=(-3, 3), spread=0.06,
              variants=("m1", "m2", "m3", "m4", "m5", "m6", "m7", "f2", "f3")):
    """Many people saying the same words almost together."""
    out = np.zeros((1, 2))
    for i in range(count):
        v = variants[i % len(variants)]
        x = say(text, v, speed * rng.uniform(0.93, 1.07), int(rng.uniform(*pitch)),
                rng.uniform(*semis))
        out = place(out, x, abs(rng.normal(0, spread)) if i else 0.0,
                    rng.uniform(0.6, 1.0), rng.uniform(-0.8, 0.8))
    return out


def chant(song, syllables, beats, variants=("m3",), speed=190, pitch=55, semis=0.0,
          gain=1.0, rng=None, jitter=0.0):
    """Speak separate syllables on given beats of a song; with several
    variants the syllables are spoken by a small group at once."""
    out = np.zeros((1, 2))
    for syl, beat in zip(syllables, beats):
        for j, v in enumerate(variants):
            x = say(syl, v, speed, pitch + 7 * j, semis + 0.3 * j)
            dt = abs(rng.normal(0, jitter)) if (rng is not None and jitter) else 0.0
            pan = 0.0 if len(variants) == 1 else -0.6 + 1.2 * j / (len(variants) - 1)
            out = place(out, x, song.t(beat) + dt, gain / len(variants) ** 0.5, pan)
    return out


def sing_line(song, syllables, jianpu, start, variants=("f2", "f4"), octave=0, gain=1.0):
    """Sing one syllable per note of a numbered-notation line."""
    notes = [n for n in M.parse_jianpu(jianpu, song.root + 12 * octave) if n[2] is not None]
    out = np.zeros((1, 2))
    for j, v in enumerate(variants):
        pan = 0.0 if len(variants) == 1 else -0.4 + 0.8 * j / (len(variants) - 1)
        for syl, (b, length, midi) in zip(syllables, notes):
            x = V.sing(syl, midi, song.beats_to_s(length) * 0.95, variant=v)
            out = place(out, x, song.t(start + b), gain / len(variants) ** 0.5, pan)
    out = punch(out)
    return S.reverb(out, amount=40, room=50, tail=0.5, wet_db=-8)


def over(music, vox, at=0.0, duck=0.55, vox_gain=1.0):
    """Lay a voice over music, dipping the music under it."""
    v = S.to_stereo(vox) if vox.ndim == 1 else vox
    key = np.zeros((samples(at) + len(v), 2))
    key = place(key, v, at)
    music = S.duck(S.pad_to(music, max(len(music), len(key))), key, duck)
    return place(music, v, at, vox_gain)


def claps(rng, dur, clappers=30, rate=(3.5, 5.5), swell=0.3, fade_at=None, gain=1.0):
    """Applause: many people clapping at their own pace, each clap a short
    burst of noise with its own colour."""
    bank = []
    for _ in range(16):
        n = samples(0.05)
        t = np.arange(n) / SR
        fc = rng.uniform(800, 2600)
        x = S.fft_filter(S.noise(rng, n), lo=fc * 0.5, hi=fc * 2.2, order=2)
        x *= np.exp(-t * rng.uniform(60, 110))
        bank.append(x / (np.max(np.abs(x)) + 1e-9))
    out = np.zeros((samples(dur) + samples(0.1), 2))
    fade_at = dur - 1.2 if fade_at is None else fade_at
    for _ in range(clappers):
        r = rng.uniform(*rate)
        t = rng.uniform(0, swell)
        pan = rng.uniform(-0.9, 0.9)
        g = rng.uniform(0.3, 1.0)
        k = int(rng.integers(0, len(bank)))
        while t < dur:
            env = min(1.0, (t + 0.05) / (swell + 0.05))
            if t > fade_at:
                env *= max(0.0, 1 - (t - fade_at) / (dur - fade_at))
            out = place(out, bank[(k + int(rng.integers(0, 3))) % len(bank)], t,
                        g * env * rng.uniform(0.7, 1.0), pan)
            t += 1.0 / r * rng.uniform(0.9, 1.1)
    return out * gain


def crowd_bed(rng, dur, level=0.05):
    """Murmur of a room full of people: band-limited noise that breathes."""
    n = samples(dur)
    x = np.stack([S.fft_filter(S.noise(rng, n), lo=250, hi=2500) for _ in range(2)], axis=1)
    mod = 0.6 + 0.4 * np.interp(np.arange(n), np.linspace(0, n, 20), rng.uniform(0, 1, 20))
    return x * mod[:, None] * level / (S.rms(x) + 1e-9)


def woo(rng, f0, dur, vowel="u"):
    """One cheering 'wooo' voice: pitch swoops up, holds, falls away."""
    n = samples(dur)
    t = np.linspace(0, 1, n)
    contour = f0 * (1 + 0.35 * np.sin(np.pi * np.clip(t * 1.6, 0, 1) * 0.5) - 0.25 * np.clip(t - 0.7, 0, 1))
    x = V.vowel(contour, dur, vowel, rng, breath=0.25, jitter=0.03)
    x = x * np.sin(np.pi * t) ** 0.5
    return x / (np.max(np.abs(x)) + 1e-9)


def boom(rng, dur=1.6, low=55, bright=500):
    n = samples(dur)
    t = np.arange(n) / SR
    body = S.fft_filter(S.noise(rng, n), hi=bright, order=2) * np.exp(-t * 3.5)
    body /= np.max(np.abs(body)) + 1e-9
    sub = np.sin(S.phase_of(low * (1 + np.exp(-t * 12)), n)) * np.exp(-t * 4)
    crack = S.fft_filter(S.noise(rng, n), lo=1000) * np.exp(-t * 45)
    return 0.8 * body + 0.7 * sub + 0.5 * crack


def whoosh(rng, dur=1.2, up=True):
    n = samples(dur)
    x = S.noise(rng, n)
    f0, f1 = (300, 6000) if up else (6000, 300)
    y = S.lowpass_sweep(x, f0, f1, order=2, q_peak=2.0)
    env = np.linspace(0.45, 1, n) ** 2 if up else np.linspace(1, 0, n) ** 1.5
    return y * env / (np.max(np.abs(y)) + 1e-9)


def riser(rng, dur, start_f=200, end_f=8000):
    n = samples(dur)
    x = S.lowpass_sweep(S.noise(rng, n), start_f, end_f, order=2, q_peak=3.0)
    t = np.arange(n) / SR
    tone = np.sin(S.phase_of(110 * 8 ** (t / dur), n)) * 0.3
    y = x / (np.max(np.abs(x)) + 1e-9) + tone
    return y * (0.15 + 0.85 * (t / dur) ** 2)


def slide_whistle(dur, f0, f1, vib=6.0):
    n = samples(dur)
    t = np.arange(n) / SR
    f = f0 * (f1 / f0) ** (t / dur) * (1 + 0.01 * np.sin(2 * np.pi * vib * t))
    x = np.sin(S.phase_of(f, n)) + 0.08 * np.sin(2 * S.phase_of(f, n))
    return S.fade(x, 0.02, 0.05) * 0.5


# =========================================================== arrangements

DRUMKITS = {
    "pop": {"K": "x.......x.x.....", "S": "....x.......x...", "H": "x.o.x.o.x.o.x.o."},
    "ballad": {"K": "o.......o.......", "S": "....o.......o...", "H": "..o...o...o...o."},
    "edm": {"K": "x...x...x...x...", "C": "....x.......x...", "O": "..x...x...x...x.",
            "H": "o.o.o.o.o.o.o.o."},
    "rock": {"K": "x.....x.x.......", "S": "....x.......x...", "H": "x.x.x.x.x.x.x.x."},
    "chip": {"K": "x.......x.......", "S": "....x.......x...", "H": "..o...o...o...o."},
    "hiphop": {"K": "x.....x...x..x..", "S": "....x.......x...", "H": "x.x.x.x.x.x.xxx."},
    "dembow": {"K": "x...x...x...x...", "S": "...x..x....x..x.", "H": "o.o.o.o.o.o.o.o."},
    "folk": {"K": "x.......x.......", "W": "x...x...x.x.x...", "Z": "o.o.o.o.o.o.o.o."},
    "epic": {"B": "x.....x.x...x...", "S": "........x.......", "H": "..o...o...o...o."},
    "swing": {"H": "x.xxx.xx", "K": "o...o...", "S": "..o...o."},
    "march": {"K": "x...x...", "S": "..o.x.oo"},
    "waltz": {"K": "x.....", "H": "..o.o."},
}


def finish(s, ch, inst="piano", gain=0.6, crash=True, pad=None):
    """Hold the last chord and close the drums with a crash."""
    st, d, tones = ch[-1]
    for m in M.voice_chord(tones, 52, 72):
        s.note("end", inst, m, st, d, 0.8, gain, 0.0, 0.3, 0.98)
    s.note("end", "bass", tones[0] - 24 if tones[0] >= 48 else tones[0] - 12, st, d, 0.9, 0.9, 0.0, 0.05)
    if pad:
        s.pad(pad, [ch[-1]], track="endpad", gain=0.6)
    if crash:
        s.hit("X", st, 0.6)
        s.hit("K", st, 1.0)


def arrange(s, style, ch, drums=True, pad="strings", keys=None, bass_inst=None):
    """Backing for a progression in one of a few styles; the last chord is
    held as an ending."""
    body, bars = ch[:-1], int(round(sum(c[1] for c in ch[:-1]) / s.bpb))
    start = ch[0][0]
    if style == "ballad":
        s.arp(keys or "piano", body, step=0.5, order=(0, 1, 2, 3, 2, 1, 2, 1), lo=55, hi=72,
              gain=0.55, vel=0.55)
        if pad:
            s.pad(pad, body, gain=0.45)
        s.bassline(bass_inst or "bass", body, ((0, 2, 0), (2, 2, 7)), gain=0.8)
    elif style == "pop":
        s.stabs(keys or "epiano", body, (0, 1.5, 2.5, 3), lo=57, hi=74, gain=0.5, length=0.45)
        if pad:
            s.pad(pad, body, gain=0.35)
        s.bassline(bass_inst or "bass", body, ((0, 0.5, 0), (0.5, 0.5, 0), (1.5, 0.5, 0), (2, 0.5, 0),
                                               (2.5, 0.5, 12), (3, 0.5, 0), (3.5, 0.5, 7)), gain=0.8)
    elif style == "edm":
        s.stabs(keys or "supersaw", body, (0, 0.75, 1.5, 2.5, 3.25), lo=60, hi=76, gain=0.6,
                length=0.3)
        if pad:
            s.pad("supersaw", body, track="pad", gain=0.3, lo=55, hi=72)
        s.bassline(bass_inst or "synthbass", body, tuple((b + 0.5, 0.45, 0) for b in range(4)),
                   gain=0.9)
    elif style == "rock":
        s.bassline("guitar", body, tuple((b * 0.5, 0.45, 0) for b in range(8)), track="gtr",
                   octave=-1, gain=0.7, vel=0.8)
        s.bassline(bass_inst or "synthbass", body, tuple((b * 0.5, 0.45, 0) for b in range(8)),
                   gain=0.8)
        if pad:
            s.pad(pad, body, gain=0.3)
    elif style == "chip":
        s.arp("pulse", body, step=0.25, order=(0, 1, 2, 3), lo=60, hi=76, gain=0.35, vel=0.5, hold=0.7)
        s.bassline(bass_inst or "tri", body, ((0, 0.5, 0), (0.5, 0.5, 12), (1, 0.5, 7), (1.5, 0.5, 12),
                                              (2, 0.5, 0), (2.5, 0.5, 12), (3, 0.5, 7), (3.5, 0.5, 12)),
                   gain=0.8, octave=-1)
    elif style == "hiphop":
        s.pad(keys or "epiano", body, track="keys", gain=0.5, lo=57, hi=72)
        s.bassline(bass_inst or "sub", body, ((0, 1.5, 0), (1.5, 0.5, 0), (2.5, 1.5, -2 + 2)), gain=0.9)
    elif style == "dembow":
        s.stabs(keys or "pluck", body, (0.75, 1.5, 2.75, 3.5), lo=57, hi=74, gain=0.5, length=0.3)
        s.bassline(bass_inst or "sub", body, ((0, 0.75, 0), (0.75, 0.75, 0), (1.5, 0.5, 7), (2, 0.75, 0),
                                              (2.75, 0.75, 0), (3.5, 0.5, 7)), gain=0.9)
        if pad:
            s.pad(pad, body, gain=0.3)
    elif style == "folk":
        s.arp("pluck", body, step=0.5, order=(0, 1, 2, 3, 2, 1), lo=55, hi=72, gain=0.55, vel=0.6)
        s.bassline(bass_inst or "bass", body, ((0, 1, 0), (2, 1, 7)), gain=0.7)
    elif style == "epic":
        s.pad("strings", body, gain=0.55, lo=50, hi=70)
        s.pad("choir", body, track="choir", gain=0.5, lo=55, hi=72)
        s.bassline(bass_inst or "bass", body, ((0, 1.5, 0), (1.5, 0.5, 0), (2, 2, 0)), gain=0.9)
        s.stabs("brass", body, (0, 2.5), lo=50, hi=67, gain=0.5, length=0.6, track="brass_stab")
    elif style == "swing":
        s.stabs(keys or "piano", body, (1.5, 3), lo=55, hi=72, gain=0.45, length=0.4)
        s.bassline("bass", body, ((0, 1, 0), (1, 1, 4), (2, 1, 7), (3, 1, 9)), gain=0.85)
    elif style == "march":
        s.bassline("bass", body, ((0, 0.5, 0), (1, 0.5, 7)), gain=0.85)
        s.stabs(keys or "piano", body, (0.5, 1.5), lo=55, hi=72, gain=0.45, length=0.35)
    elif style == "waltz":
        s.bassline("bass", body, ((0, 1, 0),), gain=0.8)
        s.stabs(keys or "piano", body, (1, 2), lo=57, hi=74, gain=0.4, length=0.8)
        if pad:
            s.pad(pad, body, gain=0.4)
    if drums and style in DRUMKITS:
        kit = DRUMKITS[style]
        steps = {"swing": 8, "march": 8, "waltz": 6}.get(style, 16)
        s.drums(bars, kit, start=start, steps=steps, gain=0.9)
    finish(s, ch, inst=keys or ("piano" if style not in ("edm", "chip") else
                                 ("supersaw" if style == "edm" else "pulse")),
           pad=pad if pad and style not in ("chip",) else None, crash=drums)
    if style == "edm":
        s.sidechain(["stabs", "pad", "bass"], depth=0.6)


def tune(bpm, key, chords, melody, lead, style="pop", bpb=4, seed=0, octave=0, intro=0.0,
         lead_gain=1.0, drums=True, pad="strings", keys=None, tail=1.6, double=None,
         extra=None, swing=0.0, bass_inst=None):
    s = M.Song(bpm, key, bpb, seed=seed, swing=swing)
    ch = s.progression(chords, start=intro)
    arrange(s, style, ch, drums=drums, pad=pad, keys=keys, bass_inst=bass_inst)
    s.melody(lead, melody, start=intro, octave=octave, gain=lead_gain, send=0.3)
    if double:
        s.melody(double[0], melody, start=intro, octave=octave + double[1], track="lead2",
                 gain=double[2], pan=0.25, send=0.35)
    if extra:
        extra(s)
    return s, s.render(tail=tail)


# =========================================================== effects

@clip(1, "群众笑声", "effect")
def crowd_laughter():
    rng = rng_for(1)
    dur = 5.0
    out = np.zeros((samples(dur + 1), 2))
    for i in range(24):
        female = rng.random() < 0.45
        f0 = rng.uniform(190, 290) if female else rng.uniform(95, 150)
        x = V.laugh(rng, f0=f0, count=int(rng.integers(5, 11)), rate=rng.uniform(4.2, 6.5),
                    vowel_name=str(rng.choice(["a", "a", "e", "o"])),
                    scale=1.15 if female else 1.0, fall=rng.uniform(0.1, 0.35))
        t0 = 0.0 if i == 0 else rng.uniform(0, 2.6)
        out = place(out, x, t0, rng.uniform(0.35, 0.9), rng.uniform(-0.9, 0.9))
    for i, (v, p) in enumerate((("m1", 40), ("f2", 70), ("m3", 55), ("f4", 85), ("m7", 35))):
        x = say("ha1 ha1 ha1 ha1 ha1 ha1", v, rng.uniform(230, 280), p, rng.uniform(-2, 3))
        out = place(out, x, rng.uniform(0.1, 1.8), 0.35, rng.uniform(-0.7, 0.7))
    out = S.pad_to(out, samples(dur))
    out = out + crowd_bed(rng, dur, 0.02)
    t = np.arange(len(out)) / SR
    out *= np.clip((dur - t) / 1.6, 0, 1)[:, None] ** 1.5
    return S.reverb(out, amount=45, room=70, tail=0.6, wet_db=-6)


@clip(2, "欢呼掌声", "effect")
def cheering():
    rng = rng_for(2)
    dur = 5.5
    out = claps(rng, dur, clappers=45, swell=0.25, gain=0.45)
    for i in range(12):
        female = i % 2 == 0
        f0 = rng.uniform(260, 420) if female else rng.uniform(150, 230)
        x = woo(rng, f0, rng.uniform(0.8, 1.6), str(rng.choice(["u", "o", "a"])))
        out = place(out, x, rng.uniform(0.05, 3.0), rng.uniform(0.4, 0.7), rng.uniform(-0.9, 0.9))
    for text, v, p in (("hao3!", "m3", 60), ("tai4 bang4 le5!", "f2", 80), ("ye2!", "f4", 90),
                       ("hao3!", "m6", 45), ("zai4 lai2 yi2 ge4!", "m1", 55)):
        x = say(text, v, 200, p, rng.uniform(0, 3))
        out = place(out, x, rng.uniform(0.3, 2.8), 0.7, rng.uniform(-0.7, 0.7))
    for k in range(2):
        t0 = rng.uniform(0.5, 2.5)
        w = slide_whistle(0.5, 1800, 3000) + 0.0
        out = place(out, w, t0, 0.2, rng.uniform(-0.6, 0.6))
    out = S.pad_to(out, samples(dur)) + crowd_bed(rng, dur, 0.04)
    t = np.arange(len(out)) / SR
    out *= np.clip((dur - t) / 1.5, 0, 1)[:, None]
    return S.reverb(out, amount=40, room=80, tail=0.5, wet_db=-8)


@clip(4, "可爱笑声", "effect")
def cute_laughter():
    rng = rng_for(4)
    out = np.zeros((1, 2))
    plan = [(0.0, 430, "i", 7, 8.5, -0.3), (0.6, 500, "e", 6, 9.5, 0.35), (1.3, 380, "i", 8, 8.0, 0.0)]
    for t0, f0, vw, count, rate, pan in plan:
        x = V.laugh(rng, f0=f0, count=count, rate=rate, vowel_name=vw, scale=1.3, fall=0.12,
                    breathy=0.45)
        out = place(out, x, t0, 0.8, pan)
    x = say("hei1 hei1 hei1", "f4", 240, 95, 4.0)
    out = place(out, x, 0.9, 0.4, 0.5)
    x = say("xi1 xi1", "f5", 230, 99, 6.0)
    out = place(out, x, 2.0, 0.35, -0.5)
    return S.reverb(out, amount=30, room=30, tail=0.3, wet_db=-10)


@clip(18, "礼花音效", "effect")
def fireworks():
    rng = rng_for(18)
    dur = 6.5
    out = np.zeros((samples(dur + 1), 2))

    def launch(t0, pan):
        n = samples(0.25)
        tt = np.arange(n) / SR
        thump = np.sin(S.phase_of(90 * np.exp(-tt * 6), n)) * np.exp(-tt * 18)
        thump += S.fft_filter(S.noise(rng, n), hi=1200) * np.exp(-tt * 25) * 0.6
        return place(out, thump, t0, 0.7, pan)

    def whistle(t0, length, f0, f1, pan):
        n = samples(length)
        tt = np.arange(n) / SR
        f = f0 * (f1 / f0) ** (tt / length) * (1 + 0.008 * np.sin(2 * np.pi * 13 * tt))
        x = np.sin(S.phase_of(f, n)) * 0.6
        x += S.fft_filter(S.noise(rng, n), lo=2000, hi=7000) * 0.25
        x *= np.clip(tt / 0.15, 0, 1) * 0.8 + 0.2
        return place(out, S.fade(x, 0.004, 0.01), t0, 0.45, pan)

    def burst(t0, pan, crackles):
        b = boom(rng, 2.0)
        o = place(out, b, t0, 1.0, pan)
        for _ in range(crackles):
            tc = t0 + 0.35 + rng.exponential(0.45)
            if tc > dur - 0.3:
                continue
            n = samples(rng.uniform(0.002, 0.006))
            pop = S.fft_filter(S.noise(rng, n + 64), lo=2500)[:n] * np.hanning(n)
            o = place(o, pop, tc, rng.uniform(0.2, 0.8), rng.uniform(-1, 1))
        return o

    out = launch(0.0, -0.3)
    out = whistle(0.0, 1.2, 700, 2300, -0.3)
    out = burst(1.2, -0.3, 160)
    out = launch(0.9, 0.4)
    out = whistle(0.9, 1.1, 900, 2600, 0.4)
    out = burst(2.0, 0.4, 120)
    out = launch(2.2, 0.0)
    out = burst(3.1, 0.0, 220)
    out = S.pad_to(out, samples(dur))
    out = S.sox_fx(out, "echo", 0.8, 0.7, 280, 0.3, 610, 0.15)
    return S.reverb(out, amount=50, room=100, tail=0.8, wet_db=-6)


@clip(19, "闹钟声", "effect")
def alarm_clock():
    rng = rng_for(19)
    ratios = [1.0, 2.32, 4.25, 6.63]
    decays = [9, 14, 22, 30]

    def strike(f0):
        n = samples(0.25)
        t = np.arange(n) / SR
        x = sum(np.sin(S.phase_of(f0 * r, n)) * np.exp(-t * d) / (i + 1) ** 0.7
                for i, (r, d) in enumerate(zip(ratios, decays)))
        x += S.fft_filter(S.noise(rng, n), lo=3000) * np.exp(-t * 400) * 0.5
        return x

    bell_a, bell_b = strike(2050), strike(2260)
    out = np.zeros((1, 2))
    t = 0.0
    for burst in range(4):
        end = t + 0.95
        k = 0
        while t < end:
            out = place(out, bell_a if k % 2 == 0 else bell_b, t, 0.5, -0.3 if k % 2 == 0 else 0.3)
            t += 1 / 19.0
            k += 1
        t += 0.22
    return S.reverb(out, amount=20, room=20, tail=0.4, wet_db=-12)


# =========================================================== phrases

@clip(3, "哎哟我滴妈", "phrase")
def oh_my_mum():
    rng = rng_for(3)
    a = lively("ai1 yo1", "m3", 120, 85, 2.0, double="m7")
    b = lively("wo3 di1 ma1!", "m3", 200, 70, 2.0, double="m7")
    out = place(a, b, len(a) / SR - 0.05)
    sw = slide_whistle(0.7, 2200, 500)
    out = place(out, sw, len(out) / SR - 0.25, 0.07, 0.3)
    return out


@clip(5, "你别笑", "phrase")
def dont_laugh():
    rng = rng_for(5)
    a = lively("ni3 bie2 xiao4!", "f2", 170, 65, 1.0, double="f4")
    b = lively("ni3 bie2 xiao4 la5!", "f2", 190, 80, 3.0, double="f4")
    out = place(a, b, len(a) / SR + 0.15)
    g = V.laugh(rng, f0=420, count=5, rate=9, vowel_name="i", scale=1.3, fall=0.1, breathy=0.4)
    return place(out, g, len(out) / SR - 0.1, 0.35, 0.5)


@clip(8, "不错哟", "phrase")
def not_bad():
    rng = rng_for(8)
    out = lively("bu2 cuo4 yo1!", "f3", 150, 75, 2.0, double="f2")
    s = M.Song(150, "C5")
    for i, m in enumerate((0, 4, 7, 12, 16)):
        s.note("b", "bell", 72 + m, i * 0.25, 0.5 if i < 4 else 2.0, 0.7)
    sparkle = s.render(tail=1.0)
    return place(out, sparkle, len(out) / SR - 0.25, 0.6)


@clip(39, "没茅台", "phrase")
def no_liquor():
    rng = rng_for(39)
    a = lively("mei2 mao2 tai2?", "m2", 150, 55, 0.0, double="m6")
    b = lively("mei2 mao2 tai2!", "m2", 130, 35, -2.0, double="m6")
    out = place(a, b, len(a) / SR + 0.25)
    s = M.Song(140, "Bb2")
    for i, m in enumerate((7, 6, 5, 0)):
        s.note("t", "brass", 46 + m, 0.0 + i * 0.5, 0.45 if i < 3 else 1.2, 0.8)
    tuba = s.render(tail=0.4)
    return place(out, tuba, len(a) / SR - 0.1, 0.45)


@clip(42, "德玛西亚", "phrase")
def battle_cry():
    rng = rng_for(42)
    v = crowd_say("de2 ma3 xi1 ya4!", rng, count=10, speed=150, pitch=(25, 55), semis=(-4, 1))
    lead = lively("de2 ma3 xi1 ya4!", "m3", 150, 45, -1.0, double="m1", room=0)
    out = place(v * 0.6, lead, 0.0, 1.0)
    out = S.soft_clip(out * 1.5, 1.5)
    drum = M.taiko(rng) + 0.0
    out = place(out, drum, 0.0, 0.8)
    out = S.sox_fx(out, "echo", 0.8, 0.8, 420, 0.3, 800, 0.18)
    return S.reverb(out, amount=70, room=100, tail=1.6, wet_db=-3, predelay=20)


@clip(43, "你已经被包围了", "phrase")
def surrounded():
    rng = rng_for(43)
    a = say("ni3 yi3 jing1 bei4 bao1 wei2 le5!", "m1", 165, 45, 0.0)
    b = say("fang4 xia4 wu3 qi4, ju3 qi3 shou3 lai2!", "m1", 175, 50, 0.0)
    x = np.concatenate([a, np.zeros(samples(0.35)), b])
    x = punch(x)
    x = S.fft_filter(x, lo=550, hi=3200, order=3, peaks=[(1400, 900, 1.0), (2600, 800, 0.6), (0, 1e9, 0.5)])
    x = S.soft_clip(x / (np.max(np.abs(x)) + 1e-9) * 2.5, 2.5)
    x = S.fft_filter(x, lo=400, hi=4500, order=2)
    out = S.to_stereo(x)
    out = S.sox_fx(out, "echo", 0.8, 0.9, 330, 0.35, 700, 0.2, 1100, 0.1)
    return S.reverb(out, amount=40, room=100, tail=0.8, wet_db=-10)


@clip(51, "李云龙喊话", "phrase")
def commander_shout():
    rng = rng_for(51)
    a = lively("kai1 pao4!", "m1", 130, 35, -1.0, double="m6", room=0, double_gain=0.5)
    b = lively("gei3 wo3 hen3 hen3 de5 da3!", "m1", 180, 40, -1.0, double="m6", room=0,
               double_gain=0.5)
    a = S.soft_clip(a * 2.0, 2.0)
    b = S.soft_clip(b * 2.0, 2.0)
    out = place(a, b, len(a) / SR + 0.55)
    for t0, pan in ((len(a) / SR - 0.05, -0.4), (len(a) / SR + 0.3, 0.5),
                    (len(out) / SR + 0.05, 0.0)):
        out = place(out, boom(rng, 1.6, low=45, bright=350), t0, 0.9, pan)
    out = S.pad_to(out, len(out))
    return S.reverb(out, amount=55, room=100, tail=1.0, wet_db=-6, predelay=15)


# =========================================================== stings

def fanfare_hit(key="C4", bpm=120, notes="5, 1 3 5 1'--", seed=0, tail=1.4, roll=False):
    s = M.Song(bpm, key, seed=seed)
    intro = 0.0
    if roll:
        for i in range(12):
            s.hit("S", i * 0.125, 0.35 + 0.05 * i)
        intro = 1.5
    end = s.melody("brass", notes, start=intro, octave=0, gain=0.9)
    s.melody("brass", notes, start=intro, octave=-1, track="brass2", gain=0.6, pan=-0.3)
    last = s.progression("1:%g" % 3.0, start=end - 2.0)
    s.pad("strings", last, gain=0.6)
    s.hit("X", end - 2.0, 0.9)
    s.hit("B", end - 2.0, 1.0)
    return s, s.render(tail=tail)


@clip(16, "有请主持人", "phrase")
def welcome_host():
    rng = rng_for(16)
    s = M.Song(120, "C4", seed=16)
    for i in range(16):
        s.hit("S", i * 0.125, 0.3 + 0.04 * i)
    s.melody("brass", "5,_ 5,_ 1 3 5 1'--", start=2.5, gain=0.9)
    s.melody("brass", "5,_ 5,_ 1 3 5 1'--", start=2.5, octave=-1, track="b2", gain=0.6)
    s.pad("strings", s.progression("1:3", start=4.5), gain=0.6)
    s.hit("X", 4.5, 0.9)
    s.hit("K", 4.5, 1.0)
    mus = s.render(tail=1.2)
    v = lively("you3 qing3, zhu3 chi2 ren2!", "m3", 150, 50, 0.0, double="m1", room=40)
    out = over(mus, v, 0.35, duck=0.6)
    ap = claps(rng, 2.6, clappers=30, swell=0.2, gain=0.4)
    return place(out, ap, s.t(4.4), 1.0)


@clip(34, "牵手成功", "phrase")
def match_success():
    rng = rng_for(34)
    s, mus = fanfare_hit("D4", 140, "5,_ 5,_ 5,_ 1 3 5_ 3 5 1'--", seed=34)
    v = lively("qian1 shou3 cheng2 gong1!", "f2", 170, 75, 1.0, double="m3", double_gain=0.5)
    out = over(mus, v, s.t(4.5) - 0.1, duck=0.5)
    ap = claps(rng, 2.8, clappers=35, swell=0.2, gain=0.45)
    return place(out, ap, s.t(4.0), 1.0)


@clip(35, "牵手失败", "phrase")
def match_failure():
    rng = rng_for(35)
    s = M.Song(100, "Bb3", seed=35)
    for i, (m, d) in enumerate(((0, 0.9), (-1, 0.9), (-2, 0.9))):
        s.note("tb", "brass", 52 + m, i * 1.0, d, 0.85)
    n = samples(2.2)
    t = np.arange(n) / SR
    f = M.mtof(49) * (1 + 0.025 * np.sin(2 * np.pi * 6 * t)) * (1 - 0.03 * t)
    k = np.arange(1, 24)
    env = S.adsr(n, 0.05, 0.3, 0.85, 0.6, gate=1.6)
    last = sum((env ** (0.5 + 0.4 * kk)) / kk * np.sin(kk * S.phase_of(f, n)) for kk in k) * 0.3
    mus = place(s.render(tail=0.2), last, s.t(3.0), 0.85)
    beat = s.t(1.0)

    def mute(tt, fr):
        # a plunger mute: each short note opens and closes ("wah"), the
        # last one wobbles
        if tt < 3 * beat:
            ph = (tt % beat) / beat
            fc = 350 + 1500 * np.sin(np.pi * min(1.0, ph * 1.3))
        else:
            fc = 700 + 450 * np.sin(2 * np.pi * 3.0 * (tt - 3 * beat))
        return 0.04 + S._butter_mag(fr, fc, 3)
    mus = S.to_stereo(S.tv_filter(mus[:, 0], mute))
    v = lively("qian1 shou3 shi1 bai4...", "m3", 120, 30, -2.0, double="m7")
    return place(mus, v, len(mus) / SR - 0.6, 0.9)


@clip(48, "战场结束", "effect")
def battle_over():
    rng = rng_for(48)
    s = M.Song(110, "Eb4", seed=48)
    for i in range(8):
        s.hit("B" if i % 4 == 0 else "T", i * 0.25, 0.5 + 0.06 * i)
    s.melody("brass", "1_ 1_ 1_ 5_ 1'- 2'. 3'_ 5'---", start=2.0, gain=0.9)
    s.melody("brass", "1_ 1_ 1_ 5_ 1'- 2'. 3'_ 5'---", start=2.0, octave=-1, track="b2", gain=0.5)
    ch = s.progression("1:2 4:2 1:4", start=2.0)
    s.pad("strings", ch, gain=0.55)
    s.pad("choir", ch, track="choir", gain=0.5)
    s.hit("X", 6.0, 0.9)
    s.hit("B", 6.0, 1.0)
    return s.render(tail=1.8)


@clip(53, "王者五杀", "phrase")
def kings_penta():
    rng = rng_for(53)
    s = M.Song(90, "C3", seed=53)
    s.pad("brass", s.progression("6m:1.5 4:1 5:1.5", start=0.0), track="hit", gain=0.7, lo=48, hi=67)
    s.pad("choir", s.progression("6m:4", start=0.0), track="choir", gain=0.7)
    s.pad("strings", s.progression("6m:4", start=0.0), track="str", gain=0.5, lo=45, hi=64)
    s.hit("B", 0.0, 1.0)
    s.hit("X", 0.0, 0.8)
    s.hit("B", 1.5, 0.9)
    s.hit("B", 2.5, 1.0)
    mus = s.render(tail=1.5)
    v = lively("wu3 sha1!", "m1", 120, 25, -5.0, double="m6", room=0, double_gain=0.6)
    v = S.sox_fx(v, "echo", 0.8, 0.8, 250, 0.3, 500, 0.15)
    v = S.reverb(v, amount=60, room=100, tail=1.2, wet_db=-5)
    wh = whoosh(rng, 0.9, up=False)
    out = over(mus, v, s.t(2.5) - 0.15, duck=0.5, vox_gain=1.2)
    return place(out, wh, 0.0, 0.3)


@clip(55, "LOL五杀", "phrase")
def penta_announcer():
    rng = rng_for(55)
    ws = whoosh(rng, 1.3, up=True)
    out = S.to_stereo(ws * 0.5)
    out = place(out, boom(rng, 2.0, low=40, bright=300), 1.25, 1.0)
    v = lively("Penta kill!", "m1", 130, 20, -4.0, double="m7", room=0, lang="en",
               double_gain=0.6)
    v = S.sox_fx(v, "echo", 0.8, 0.8, 300, 0.3, 600, 0.15)
    out = place(out, v, 1.3, 1.1)
    z = lively("wu3 sha1!", "m1", 130, 25, -4.0, double="m7", room=0, double_gain=0.6)
    out = place(out, z, 1.3 + len(v) / SR - 0.1, 0.9)
    s = M.Song(80, "D3", seed=55)
    s.pad("choir", s.progression("1:4"), track="c", gain=0.8)
    s.pad("strings", s.progression("1:4"), track="s", gain=0.5, lo=45, hi=64)
    out = place(out, s.render(tail=0.5) * 0.6, 1.25)
    return S.reverb(out, amount=60, room=100, tail=1.0, wet_db=-5)


@clip(38, "保镖出来", "phrase")
def bodyguards():
    rng = rng_for(38)
    s = M.Song(100, "C3", seed=38)
    s.drums(2, {"B": "x.....x...x.....", "T": "............x.x.", "S": "....x.......x..."}, gain=1.0)
    for st in (0, 1.5, 4, 5.5):
        s.note("low", "brass", 45, st, 1.0, 0.9, 0.8)
        s.note("low", "brass", 40, st, 1.0, 0.9, 0.6)
    s.pad("strings", s.progression("6m:4 3M:4"), gain=0.5, lo=45, hi=64)
    s.hit("X", 8, 0.8)
    s.hit("B", 8, 1.0)
    mus = s.render(tail=1.0)
    a = lively("bao3 biao1!", "m1", 140, 30, -2.0, double="m6", room=0)
    b = lively("chu1 lai2!", "m1", 140, 30, -2.0, double="m6", room=0)
    a, b = S.soft_clip(a * 1.6, 1.6), S.soft_clip(b * 1.6, 1.6)
    out = over(mus, S.reverb(a, 40, 70, 0.6, -8), s.t(1.0), duck=0.6)
    return over(out, S.reverb(b, 40, 70, 0.6, -8), s.t(4.5), duck=0.6)


@clip(41, "LALALALA德玛西亚", "phrase")
def lalala_chant():
    rng = rng_for(41)
    s = M.Song(120, "D4", seed=41)
    s.drums(3, {"B": "x...x...x...x...", "S": "....x.......x..."}, gain=0.8)
    s.hit("X", 8, 0.8)
    s.hit("B", 8, 1.0)
    mus = s.render(tail=1.2)
    notes = [(0, 62, 0.45), (1, 66, 0.45), (2, 69, 0.45), (3, 66, 0.45),
             (4, 62, 0.45), (5, 66, 0.45), (6, 69, 0.45), (7, 74, 0.9)]
    out = np.zeros((1, 2))
    for j, (v, shift, pan) in enumerate((("m3", -12, -0.6), ("m1", -12, 0.6), ("m6", -12, 0.0),
                                         ("f2", 0, -0.3), ("f4", 0, 0.3))):
        for beat, m, d in notes:
            x = V.sing("la1", m + shift, d, variant=v)
            out = place(out, x, s.t(beat) + abs(rng.normal(0, 0.015)), 0.45, pan)
    mus = place(mus, out, 0.0)
    cry = crowd_say("de2 ma3 xi1 ya4!", rng, count=8, speed=160, pitch=(25, 60), semis=(-4, 1))
    cry = S.soft_clip(cry * 1.6, 1.5)
    cry = S.reverb(cry, amount=60, room=100, tail=1.0, wet_db=-4)
    return over(mus, cry, s.t(8) - 0.05, duck=0.4)


# =========================================================== jingles

@clip(11, "大哥点关注", "jingle")
def follow_please():
    rng = rng_for(11)
    s = M.Song(105, "C4", seed=11)
    ch = s.progression("6 4 1 5 6")
    arrange(s, "hiphop", ch, pad=None, keys="epiano")
    s.melody("pluck", "6_ 6_ 1'_ 6_ 3'_ 2'_ 1'_ 2'_ | 6--- | 6_ 6_ 1'_ 6_ 3'_ 5'_ 3'_ 2'_ | 3'--- | 6---",
             gain=0.8)
    mus = s.render(tail=1.2)
    syl = ["da4", "ge1", "dian3", "guan1", "zhu4"]
    beats = [0, 0.5, 1.0, 1.5, 2.0]
    v1 = chant(s, syl, [4 + b for b in beats], ("m3", "m1"), speed=200, pitch=55)
    v2 = chant(s, syl, [12 + b for b in beats], ("m3", "m1", "f2"), speed=200, pitch=60)
    v3 = chant(s, ["guan1", "zhu4!"], [15, 15.5], ("m3", "m1", "f2"), speed=190, pitch=70)
    out = over(mus, v1, 0.0, duck=0.5)
    out = over(out, v2, 0.0, duck=0.5)
    return over(out, v3, 0.0, duck=0.5)


@clip(12, "欢迎大哥", "jingle")
def welcome_boss():
    rng = rng_for(12)
    s = M.Song(124, "Bb3", seed=12)
    s.melody("brass", "5,_ 5,_ 1 3 5 | 1'---", gain=0.9)
    s.melody("brass", "5,_ 5,_ 1 3 5 | 1'---", octave=-1, track="b2", gain=0.5)
    s.hit("X", 4, 0.9)
    ch = s.progression("1 4 5 1", start=4)
    arrange(s, "pop", ch, pad="strings")
    s.melody("saw", "3 5 1'_ 7_ 6 | 4 6 1'- | 5_ 6_ 5_ 4_ 3 2 | 1'---", start=4, gain=0.8)
    mus = s.render(tail=1.4)
    v = lively("huan1 ying2 da4 ge1!", "m3", 170, 60, 1.0, double="f2", double_gain=0.5)
    out = over(mus, v, s.t(4) - 0.1, duck=0.6)
    v2 = lively("huan1 ying2 huan1 ying2!", "f2", 190, 75, 2.0, double="m3", double_gain=0.4)
    out = over(out, v2, s.t(12) + 0.05, duck=0.5)
    ap = claps(rng, 2.8, clappers=30, swell=0.3, gain=0.35)
    return place(out, ap, s.t(12), 1.0)


@clip(13, "感谢", "jingle")
def thanks():
    rng = rng_for(13)
    s = M.Song(100, "E4", seed=13)
    ch = s.progression("1 3 4 5 1")
    arrange(s, "ballad", ch, keys="epiano", pad="strings")
    s.melody("bell", "3 5 1' 7 | 6 5 3 5 | 4 6 5 3 | 2- 5- | 1'---", octave=0, gain=0.8)
    mus = s.render(tail=1.5)
    v = lively("gan3 xie4!", "f2", 150, 70, 1.0, double="f4", double_gain=0.4)
    out = over(mus, v, s.t(0.5), duck=0.6, vox_gain=1.1)
    v2 = lively("gan3 xie4 da4 jia1! xie4 xie4!", "f2", 170, 70, 1.0, double="f4", double_gain=0.4)
    return over(out, v2, s.t(12.2), duck=0.6, vox_gain=1.1)


@clip(14, "老铁开场", "jingle")
def buddies_opening():
    rng = rng_for(14)
    s = M.Song(128, "E3", seed=14)
    ch = s.progression("6 4 5 6 4 5 6", start=0)
    arrange(s, "rock", ch, pad=None)
    s.melody("saw", "6_ 6_ 1'_ 6_ 2'_ 1'_ 6_ 5_ | 6-- 0 | 6_ 6_ 1'_ 2'_ 3'_ 2'_ 1'_ 2'_ | 3'-- 0 | "
                    "4'_ 3'_ 2'_ 1'_ 2' 1' | 7_ 1'_ 7_ 5_ 3 #5 | 6---", octave=0, gain=0.75)
    mus = s.render(tail=1.2)
    v = lively("lao3 tie3 men5!", "m3", 180, 60, 0.0, double="m1", double_gain=0.6)
    v2 = lively("kai1 chang3 la5!", "m3", 180, 70, 1.0, double="m1", double_gain=0.6)
    out = over(mus, S.soft_clip(v * 1.4, 1.4), s.t(0) + 0.02, duck=0.6)
    return over(out, S.soft_clip(v2 * 1.4, 1.4), s.t(24) + 0.02, duck=0.6)


@clip(15, "DJ开场", "jingle")
def dj_opening():
    rng = rng_for(15)
    s = M.Song(128, "A3", seed=15)
    build = 8.0
    for i in range(32):
        b = i * 0.25
        s.hit("S", b, 0.25 + 0.6 * (i / 32) ** 1.5)
    s.drums(2, {"K": "x...x...x...x...", "H": "..x...x...x...x."}, start=0, gain=0.8)
    ch = s.progression("6 4 1 5 6", start=build)
    arrange(s, "edm", ch)
    s.melody("supersaw", "3'_ 3'_ 0_ 3'_ 0_ 2'_ 1'_ 0_ | 6_ 6_ 0_ 1'_ 0_ 2'_ 3'_ 0_ | "
                         "5'_ 5'_ 0_ 5'_ 0_ 3'_ 2'_ 0_ | 2'_ 2'_ 0_ 3'_ 0_ 7_ 5_ 0_ | 6---",
             start=build, gain=0.7)
    mus = s.render(tail=1.2)
    r = riser(rng, s.t(build))
    mus = place(mus, r, 0.0, 0.5)
    dj = lively("D J!", "m1", 150, 40, -3.0, double="m7", room=0, lang="en", double_gain=0.5)
    dj = S.sox_fx(dj, "echo", 0.8, 0.8, 234, 0.4, 468, 0.25, 702, 0.12)
    out = over(mus, dj, 0.0, duck=0.3)
    kc = lively("kai1 chang3!", "m1", 170, 45, -2.0, double="m7", room=0, double_gain=0.5)
    return over(out, S.reverb(kc, 50, 80, 0.8, -6), s.t(build) - 0.75, duck=0.2)


@clip(17, "本色开场", "jingle")
def true_colours():
    rng = rng_for(17)
    s = M.Song(110, "D3", seed=17)
    for b in (0, 1.5, 3):
        s.hit("B", b, 1.0)
    s.pad("brass", s.progression("1:1.5 b7:1.5 4:1"), track="hits", gain=0.7, lo=50, hi=67)
    ch = s.progression("1 b7 4 5 1", start=4)
    arrange(s, "rock", ch, pad="strings")
    s.melody("brass", "1 5- 4_ 3_ | 2 1 b7,- | 4 5 6 1' | 7 5 2' 7 | 1'---", start=4, gain=0.9)
    mus = s.render(tail=1.4)
    v = lively("ben3 se4 kai1 chang3!", "m3", 170, 50, -1.0, double="m1", double_gain=0.6)
    return over(mus, v, s.t(0) + 0.15, duck=0.5)


# =========================================================== tunes

@clip(6, "飞翔的感觉", "tune")
def flying():
    s, mus = tune(96, "D4", "1 5 6 4 1", "1 3 5 1' | 7- 5 2 | 3 6 1' 3' | 2'- 1' 6 | 1'---",
                  "flute", style="ballad", keys="piano", pad="strings", double=("strings", 0, 0.35), seed=6,
                  extra=lambda s: s.drums(4, DRUMKITS["ballad"], gain=0.6))
    return mus


@clip(7, "坑礼曲", "tune")
def gift_tease():
    s, mus = tune(132, "F4", "1 5 1 4:2 1:2 4:2 5:2 1",
                  "5_ #4_ 5_ 0_ 3_ 0_ 1_ 0_ | 2_ #1_ 2_ 0_ 7,_ 0_ 5,_ 0_ | 5_ #4_ 5_ 0_ 1'_ 0_ 5_ 0_ |"
                  " 4_ 3_ 2_ 3_ 1 0 | 6_ 5_ 4_ 3_ 2_ 0_ 5,_ 0_ | 1 5, 1 0",
                  "pulse", style="march", bpb=4, keys="pluck", pad=None, seed=7,
                  double=("marimba", 1, 0.35),
                  extra=lambda s: s.drums(5, {"W": "x...x...x...x...", "Z": "..o...o...o...o."}, gain=0.6))
    return mus


@clip(9, "勇敢勇敢", "tune")
def brave():
    rng = rng_for(9)
    s, mus = tune(120, "C4", "1 6 4 5 1",
                  "3 3 5 6 | 6 5 3 2 | 1 2 3 5 | 5- 6 7 | 1'---", "saw", style="pop", intro=4,
                  keys="piano", pad="strings", double=("brass", 0, 0.4), seed=9,
                  extra=lambda s: s.drums(1, {"K": "x...x...x...x...", "S": "............x.xx"}, gain=0.9))
    v = chant(s, ["yong3", "gan3", "yong3", "gan3!"], [0, 1, 2, 3], ("m3", "f2", "m1"), speed=180,
              pitch=60)
    return over(mus, v, 0.0, duck=0.4)


@clip(10, "贼拉拉爱你", "tune")
def love_crazy():
    rng = rng_for(10)
    s, mus = tune(128, "G4", "1 6 4 5 1",
                  "5_ 5_ 6_ 5_ 1' 7 | 6_ 6_ 5_ 6_ 1' 6 | 4_ 4_ 5_ 6_ 1' 2' | 7-- 0 | 1'---",
                  "pulse", style="edm", intro=4, seed=10, double=("bell", 0, 0.3),
                  extra=lambda s: s.drums(1, {"K": "x...x...x...x...", "C": "....x.......x.x."}, gain=0.8))
    v = chant(s, ["zei2", "la1", "la1", "ai4", "ni3!"], [0, 0.5, 1.0, 1.5, 2.0], ("f2", "f4"),
              speed=200, pitch=75)
    out = over(mus, v, 0.0, duck=0.4)
    v2 = lively("ai4 ni3!", "f2", 180, 80, 2.0, double="f4", double_gain=0.4)
    return over(out, v2, s.t(19.0), duck=0.4)


@clip(20, "天空之城", "tune")
def sky_city():
    s, mus = tune(84, "D4", "1 6 4:2 5:2 1", "3 5 1' 7 | 6- 5 3 | 4 3 2 5, | 1---",
                  "bell", style="ballad", keys="piano", pad="strings", drums=False, seed=20,
                  double=("flute", 0, 0.5), tail=2.0)
    return mus


@clip(21, "在一起", "tune")
def together():
    s, mus = tune(100, "F4", "1 5 6 4:2 5:2 1", "5, 1 2 3 | 2 7, 5, 2 | 3 5 6 5 | 4 3 2 5, | 1---",
                  "epiano", style="ballad", keys="piano", pad="strings", seed=21,
                  double=("flute", 1, 0.25))
    return mus


@clip(22, "喜欢你", "tune")
def like_you():
    s, mus = tune(128, "A4", "1 5 4 1 4:2 5:2 1",
                  "3_ 5_ 6 5 3 | 2_ 3_ 5 3- | 3_ 5_ 6 1' 6 | 5- 0 0 | 6_ 1'_ 6 5 3 | 2 3 1 0",
                  "bell", style="pop", keys="epiano", pad="strings", seed=22, octave=-1,
                  double=("pulse", 0, 0.25))
    v = sing_line(s, ["xi3", "huan1", "ni3"], "2 3 1", 20, octave=-1)
    return over(mus, v, 0.0, duck=0.3)


@clip(23, "在人间", "tune")
def human_world():
    s, mus = tune(84, "E4", "6 1 4:2 3:2 6", "6, 1 2 3 | 5 3 2- | 1 2 3 2 | 6,---",
                  "erhu", style="ballad", keys="piano", pad="strings", seed=23, drums=False, tail=2.0)
    return mus


@clip(24, "土耳其", "tune")
def turkish_march():
    # Mozart's Rondo alla turca (public domain), opening theme in A minor,
    # written in C-based numbered notation so that 6 is A.
    s = M.Song(138, "C4", beats_per_bar=2, seed=24)
    theme = ("7__ 6__ #5__ 6__ | 1'_ 0_ 2'__ 1'__ 7__ 1'__ | 3'_ 0_ 4'__ 3'__ #2'__ 3'__ | "
             "7'__ 6'__ #5'__ 6'__ 7'__ 6'__ #5'__ 6'__ | 1'' 6'_ 1''_ | 7'_ 6'_ 5'_ 6'_ | "
             "7'_ 6'_ 5'_ 6'_ | 7'_ 6'_ 5'_ #4'_ | 3' "
             "7__ 6__ #5__ 6__ | 1'_ 0_ 2'__ 1'__ 7__ 1'__ | 3'_ 0_ 4'__ 3'__ #2'__ 3'__ | "
             "7'__ 6'__ #5'__ 6'__ 7'__ 6'__ #5'__ 6'__ | 1'' 6'_ 7'_ | 1''_ 7'_ 6'_ #5'_ | "
             "6'_ 3'_ 4'_ 2'_ | 1' 7_. 6__ | 6-")
    # the melody opens with a one-beat pickup, so the bars (and chords)
    # start on beat 1; bar 8 holds the second pickup after its E
    s.melody("piano", theme, octave=-1, gain=1.0, vel=0.9, legato=0.85)
    bars = "6 6 6 6 3 3 3 3 " + "6 6 6 6 6:1 3M:1 2 6:1 3M:1 6"
    ch = s.progression(" ".join(b if ":" in b else b + ":2" for b in bars.split()), start=1.0)
    for st, d, tones in ch:
        lo = M.voice_chord(tones, 45, 57)
        for k in range(int(d * 2)):
            b = st + k * 0.5
            if k % 2 == 0:
                s.note("lh", "piano", lo[0], b, 0.45, 0.6, 0.55, -0.2, 0.2, 0.9)
            else:
                for m in lo[1:]:
                    s.note("lh", "piano", m + 12, b, 0.45, 0.5, 0.45, -0.2, 0.2, 0.9)
    end = ch[-1][0]
    s.drums(int(end // 2), {"K": "x...x...", "H": "..o...o."}, start=1.0, steps=8, gain=0.5)
    s.hit("X", end, 0.6)
    s.hit("K", end, 0.9)
    s.note("lh", "piano", 45, end, 2, 0.8, 0.6)
    s.note("lh", "piano", 33, end, 2, 0.8, 0.6)
    return s.render(tail=1.4)


@clip(25, "超级英雄", "tune")
def superhero():
    def roll(s):
        for i in range(16):
            s.hit("S", i * 0.25, 0.3 + 0.04 * i)
        s.hit("B", 0, 1.0)
        s.pad("brass", s.progression("1:2 5:2"), track="intro", gain=0.5, lo=50, hi=67)
    s, mus = tune(112, "D4", "1 b7:2 5:2 4 1",
                  "1 5- 4_ 3_ | 2 1 5- | 6_ 7_ 1' 7 5 | 1'---", "brass", style="epic", intro=4,
                  seed=25, double=("strings", 1, 0.4), extra=roll)
    return mus


@clip(26, "还好没放弃", "tune")
def did_not_give_up():
    s, mus = tune(96, "G4", "1 6 4 5 1", "3 2 1 2 | 3 5 6 5 | 4 3 2 1 | 2--- | 1---",
                  "saw", style="pop", keys="piano", pad="strings", seed=26, lead_gain=0.8,
                  double=("flute", 1, 0.2))
    v = lively("hai2 hao3, mei2 fang4 qi4.", "m3", 150, 50, 0.0, double="f2", double_gain=0.4)
    return over(mus, v, s.t(16) + 0.05, duck=0.6)


@clip(27, "我们不一样", "tune")
def we_are_different():
    s, mus = tune(88, "C4", "6 4 5 6", "6, 1 2 3 | 3 2 1 2 | 1 6, 5, 6, | 6,---",
                  "saw", style="rock", pad="strings", seed=27, lead_gain=0.8, octave=1)
    v = lively("wo3 men5, bu4 yi2 yang4.", "m3", 150, 45, 0.0, double="m1", double_gain=0.5)
    return over(mus, v, s.t(12) + 0.05, duck=0.6)


@clip(28, "很爱很爱你", "tune")
def love_you_so():
    s, mus = tune(80, "Eb4", "1 6 4:2 5:2 1", "3 5 6_ 5_ 3 | 2 1 6, 1 | 2 3 5 3 | 1---",
                  "epiano", style="ballad", keys="piano", pad="strings", seed=28,
                  double=("strings", 1, 0.3), tail=2.0)
    v = sing_line(s, ["hen3", "ai4", "hen3", "ai4", "ni3"], "2 3 5 3 | 1---", 8)
    return over(mus, v, 0.0, duck=0.3)


@clip(29, "朋友", "tune")
def friends():
    s, mus = tune(100, "D4", "1 5 4 1:2 5:2 1", "5, 1 1_ 2_ 3 | 2 1 5,- | 6, 1 2_ 3_ 4 | 3- 2- | 1---",
                  "flute", style="folk", pad="strings", seed=29, double=("saw", 0, 0.2), octave=1)
    return mus


@clip(30, "拥抱着爱", "tune")
def embracing_love():
    s, mus = tune(120, "F4", "1 5 1 5 1 4 5d 1",
                  "3 5 1' | 7- 6 | 5- 3 | 2-- | 1 3 5 | 6- 5 | 4 2 7, | 1--",
                  "flute", style="waltz", bpb=3, keys="piano", pad="strings", seed=30,
                  double=("strings", 0, 0.3), tail=2.0)
    return mus


@clip(31, "等你爱我", "tune")
def waiting_for_love():
    s, mus = tune(84, "D4", "6 4 5 6", "3 3_ 2_ 3 5 | 6 5 3- | 2 1 2 3 | 6,---",
                  "saw", style="ballad", keys="piano", pad="strings", seed=31, lead_gain=0.8,
                  tail=2.0, double=("bell", 0, 0.2))
    return mus


@clip(32, "男人哭吧不是罪", "tune")
def men_can_cry():
    s, mus = tune(88, "D4", "6 5 4 6 6", "6, 1 2 3 | 3 5 2- | 2 3 1 6, | 6,--- | 0---",
                  "erhu", style="ballad", keys="piano", pad="strings", seed=32, tail=1.6)
    v = lively("nan2 ren2 ku1 ba5, bu2 shi4 zui4.", "m1", 140, 35, -1.0, double="m3",
               double_gain=0.4)
    return over(mus, v, s.t(14) + 0.05, duck=0.5)


@clip(33, "咱们结婚吧", "tune")
def lets_marry():
    def bells(s):
        for b in range(0, 20, 2):
            s.note("bells", "bell", 77 if b % 4 == 0 else 72, b, 2, 0.5, 0.35, 0.4, 0.5)
    s, mus = tune(104, "F4", "1 1 2:2 5:2 1 1", "3 5 1' 7_ 6_ | 5- 3 1 | 2 4 6 7 | 1'--- | 0---",
                  "organ", style="ballad", keys="piano", pad="strings", seed=33, drums=False,
                  double=("bell", 1, 0.25), extra=bells)
    v = lively("zan2 men5, jie2 hun1 ba5!", "m3", 150, 55, 0.0, double="f2", double_gain=0.5)
    return over(mus, v, s.t(16) + 0.05, duck=0.5)


@clip(36, "这就是爱", "tune")
def this_is_love():
    s, mus = tune(116, "Eb4", "1 5 4 1 4:2 5:2 1",
                  "3_ 5_ 5 5_ 6_ 5 | 3_ 2_ 1 2- | 3_ 5_ 6 6_ 1'_ 6 | 5--- | 4_ 4_ 3 2_ 1_ 2 | 1---",
                  "saw", style="pop", keys="piano", pad="strings", seed=36, lead_gain=0.8,
                  double=("bell", 1, 0.2))
    return mus


@clip(37, "一起摇摆", "tune")
def swing_together():
    s, mus = tune(150, "Bb3", "1d 1d 4d 4d 1d:2 5d:2 1d",
                  "5_ 6_ 1' 6_ 5_ 3 | b3_ 3_ 5 3 1 | 4_ 5_ 6 4_ 5_ 6 | b7- 6 5 | "
                  "3_ 5_ 1' 6_ 1'_ 5 | 1'-- 0", "brass", style="swing", seed=37, swing=0.33,
                  pad=None, octave=1, double=("saw", 0, 0.2))
    return mus


@clip(40, "一曲相思", "tune")
def longing():
    def gliss(s):
        for i, d in enumerate((1, 2, 3, 5, 6, 8, 9, 10, 12, 13)):
            deg = [0, 2, 4, 7, 9][i % 5] + 12 * (i // 5)
            s.note("gl", "pluck", s.root - 12 + deg, i * 0.09, 0.5, 0.5, 0.5, 0.3, 0.4)
    s, mus = tune(72, "E4", "6 5 1 6", "3 5 6 5_ 3_ | 2- 1 2 | 3 5 3_ 2_ 1 | 6,---",
                  "flute", style="folk", pad="strings", seed=40, drums=False, tail=2.2,
                  extra=gliss, double=("erhu", -1, 0.3))
    return mus


@clip(44, "吃鸡摇1", "tune")
def dance_one():
    s, mus = tune(124, "A3", "6 4 6 5 6",
                  "6_ 6_ 1'_ 6_ 5_ 6_ 3_ 0_ | 6_ 6_ 1'_ 6_ 2'_ 1'_ 6_ 0_ | 6_ 6_ 1'_ 6_ 5_ 6_ 3_ 0_ | "
                  "5_ 5_ 6_ 5_ 3_ 2_ 3_ 0_ | 6---", "pulse", style="edm", seed=44, octave=1,
                  double=("square", -1, 0.3))
    return mus


@clip(45, "吃鸡摇2", "tune")
def dance_two():
    s, mus = tune(104, "D4", "6 1 6 5 6",
                  "3_ 3_ 0_ 3_ 2_ 1_ 6,_ 0_ | 3_ 3_ 0_ 5_ 6 5_ 0_ | 3_ 3_ 0_ 3_ 2_ 1_ 6,_ 0_ | "
                  "2_ 2_ 0_ 1_ 6, 0 | 6,---", "square", style="dembow", seed=45, pad="strings",
                  double=("marimba", 1, 0.4))
    return mus


@clip(46, "C哩C哩", "tune")
def bouncy():
    s, mus = tune(128, "C4", "1 5 4 5 1",
                  "5_ 5_ 3_ 5_ 6_ 5_ 3_ 0_ | 2_ 2_ 1_ 2_ 3_ 5_ 0 | 5_ 5_ 3_ 5_ 6_ 1'_ 6_ 0_ | "
                  "5_ 6_ 5_ 3_ 2 1 | 1---", "marimba", style="edm", seed=46, octave=1,
                  double=("pulse", 0, 0.35))
    return mus


@clip(47, "斗地主", "tune")
def card_game():
    def gong(s):
        s.hit("G", 0, 0.7)
        s.hit("G", 20, 0.7)
    s, mus = tune(140, "D4", "1 1 4 1 5 1",
                  "1'_ 6_ 5_ 6_ 1' 2' | 3'_ 2'_ 1'_ 2'_ 6 5 | 6_ 1'_ 5_ 3_ 2_ 3_ 5 | 6 5 6 0 | "
                  "5_ 6_ 5_ 3_ 2_ 1_ 2 | 1---", "suona", style="folk", seed=47, pad=None,
                  extra=gong, double=("pluck", 0, 0.4))
    return mus


@clip(49, "广播体操", "tune")
def calisthenics():
    s, mus = tune(120, "C4", "1 1 4 1 5 1 5 1 1",
                  "1 3 | 5 3 | 4 6 | 5- | 4 2 | 3 1 | 2 7, | 1- | 1'-", "brass", style="march",
                  bpb=2, seed=49, pad=None, double=("piano", 1, 0.3))
    counts = ["yi1", "er4", "san1", "si4", "wu3", "liu4", "qi1", "ba1",
              "er4", "er4", "san1", "si4", "wu3", "liu4", "qi1", "ba1"]
    v = chant(s, counts, list(range(16)), ("m3",), speed=210, pitch=55)
    v = S.reverb(v, 30, 60, 0.3, -10)
    return over(mus, v, 0.0, duck=0.45, vox_gain=1.1)


@clip(50, "老司机带带我", "tune")
def old_driver():
    rng = rng_for(50)

    def horn(s):
        for b in (3.0, 3.5):
            n = samples(0.22)
            x = S.additive(415, n, [1, 0.6, 0.5, 0.3, 0.2]) + S.additive(523, n, [1, 0.6, 0.5, 0.3, 0.2])
            x = S.fade(x, 0.005, 0.02) * 0.15
            tr = s._track("horn", 1.0, 0.4, 0.2)
            tr[0] = place(tr[0], x, s.t(b))
    s, mus = tune(108, "G4", "1 1 2 4 1",
                  "0--- | 5_ 5_ 6_ 5_ 3 1 | 2_ 2_ 3_ 2_ 6, 0 | 5_ 5_ 6_ 1'_ 6 5 | 3 2 1 0",
                  "epiano", style="pop", seed=50, pad="strings", keys="organ", extra=horn,
                  double=("pulse", 1, 0.25))
    v = chant(s, ["lao3", "si1", "ji1", "dai4", "dai4", "wo3!"], [0, 0.5, 1, 2, 2.5, 3],
              ("m3", "m1"), speed=190, pitch=55)
    return over(mus, v, 0.0, duck=0.5)


@clip(52, "王者RAP", "tune")
def kings_rap():
    rng = rng_for(52)
    s, mus = tune(92, "C4", "6 4 5 6 6", "6,--- | 0--- | 0--- | 0--- | 6,---", "piano", style="hiphop",
                  seed=52, pad=None, keys="epiano", lead_gain=0.0, swing=0.15)
    lines = ["wo3 shi4 wang2 zhe3 bu2 pa4 tiao3 zhan4",
             "yi1 lu4 chong1 feng1 shui2 neng2 zu3 lan2",
             "xiong1 di4 gen1 shang4 yi4 qi3 kai1 zhan4",
             "sheng4 li4 shu3 yu2 wo3 men5 zhe4 bian1"]
    out = mus
    for i, line in enumerate(lines):
        syl = line.split()
        beats = [i * 4 + k * 0.5 for k in range(len(syl))]
        v = chant(s, syl, beats, ("m1", "m3") if i == 3 else ("m1",), speed=220, pitch=40,
                  semis=-1.0)
        out = over(out, punch(v), 0.0, duck=0.45, vox_gain=1.1)
    return out


@clip(54, "无敌多寂寞", "tune")
def lonely_invincible():
    s, mus = tune(80, "C4", "6 3M 4:2 3M:2 6 6", "3 6 7 1' | 7 6 #5- | 4 3 2 7, | 6,--- | 0---",
                  "strings", style="ballad", keys="piano", pad="choir", seed=54, octave=1,
                  double=("piano", 0, 0.4), tail=1.6)
    v = lively("wu2 di2, duo1 ji4 mo4.", "m1", 130, 30, -2.0, double="m6", double_gain=0.4)
    v = S.sox_fx(v, "echo", 0.8, 0.7, 350, 0.25)
    return over(mus, v, s.t(14), duck=0.5)


@clip(56, "愤怒的小鸟", "tune")
def cross_little_birds():
    def whistle(s):
        tr = s._track("sw", 1.0, 0.3, 0.2)
        tr[0] = place(tr[0], slide_whistle(0.35, 700, 1800), s.t(0))
        tr[0] = place(tr[0], slide_whistle(0.4, 1600, 600), s.t(22))
    s, mus = tune(140, "C4", "1 4:2 1:2 1 5 1 5:2 1:2",
                  "1_ 5,_ 1_ 3_ 5 3 | 4_ 3_ 4_ 6_ 5 0 | 1_ 5,_ 1_ 3_ 5_ 6_ 5_ 3_ | 2_ #1_ 2_ 3_ 2 5, | "
                  "1_ 5,_ 1_ 3_ 5 1' | 7_ 5_ 2_ 7,_ 1 0", "pluck", style="march", bpb=4, seed=56,
                  pad=None, octave=1, keys="marimba", double=("flute", 1, 0.35), extra=whistle)
    return mus


@clip(57, "马里奥地面", "tune")
def platformer():
    s, mus = tune(150, "C4", "1 4 1 4:2 1:2 5 1",
                  "3_ 5_ 1'_ 5_ 6_ 5_ 3 | 4_ 6_ 2'_ 6_ 5_ 4_ 3 | 3_ 5_ 1'_ 5_ 6_ 1'_ 2' | "
                  "1'_ 7_ 6_ 5_ 4 3 | 2_ 2_ 3_ 4_ 5 5, | 1 5, 1 0", "square", style="chip", seed=57,
                  pad=None, octave=1)
    return mus


@clip(58, "吃鸡战歌", "tune")
def battle_song():
    s, mus = tune(140, "E3", "6 5 6 4:2 5:2 4:2 5:2 6",
                  "6,_ 6,_ 6,_ 1_ 3 2 | 1 7, 6, 5, | 6,_ 6,_ 6,_ 1_ 3 5 | 6-- 5 | 3_ 3_ 3_ 5_ 6 5_ 3_ | 6---",
                  "brass", style="rock", seed=58, pad="strings", octave=1, double=("saw", 0, 0.25),
                  extra=lambda s: [s.hit("B", b, 0.8) for b in range(0, 20, 2)])
    return mus


@clip(59, "凉凉", "tune")
def its_over():
    s, mus = tune(76, "D4", "6 3 4:2 3:2 6", "3 2 3 6, | 1 7, 6,- | 2 1 7, 5, | 6,---",
                  "erhu", style="ballad", keys="piano", pad="strings", seed=59, drums=False,
                  tail=2.2)
    v = lively("liang2 liang2...", "f2", 120, 45, 0.0, double="f4", double_gain=0.3)
    return over(mus, v, s.t(12.5), duck=0.5)


@clip(60, "会呼吸的痛", "tune")
def breathing_pain():
    rng = rng_for(60)
    s, mus = tune(76, "C4", "6 1 5 6", "6, 3 3 2_ 3_ | 5 3 2 1 | 2 3 2 1_ 7,_ | 6,---",
                  "piano", style="ballad", keys="epiano", pad="strings", seed=60, drums=False,
                  double=("strings", 1, 0.35), tail=2.0, octave=1)
    n = len(mus)
    t = np.arange(n) / SR
    breath = S.fft_filter(S.noise(rng, n), lo=300, hi=2500) * (0.5 - 0.5 * np.cos(2 * np.pi * t / 3.2)) ** 2
    # the breathing fades with the last chord instead of outlasting it
    breath *= np.clip((s.t(s.length_beats) + 0.8 - t) / 1.2, 0, 1)
    return mus + S.to_stereo(breath * 0.02)

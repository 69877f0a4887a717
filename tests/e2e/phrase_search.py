"""Finds a spoken phrase in what a sound device wrote, by normalised cross-correlation.

    phrase_search.py <phrase.f32> <device.raw> [from byte]

phrase.f32: the microphone's file (float32 stereo 48 kHz); the phrase is its loud part.
device.raw: 16-bit stereo 48 kHz, as the ALSA file devices write it.
Prints "<correlation> <phrase RMS where its first piece is, dBFS>": the phrase is cut into
eight pieces, each looked for on its own, and the correlation is the median of their
best. A render stream that Wine finds empty gets a period of silence in its file, and on
a busy machine that can fall inside the phrase: it then costs the piece it falls in, not
the alignment of everything after it. Devices under Wine are
not paced in real time, so the phrase is found where it is, never by wall time.
"""
import sys

import numpy


def main():
    phrase = numpy.fromfile(sys.argv[1], dtype="<f4")[0::2].astype(numpy.float64)
    loud = numpy.flatnonzero(numpy.abs(phrase) > 0.01)
    phrase = phrase[loud[0]:loud[-1] + 1]
    start = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    with open(sys.argv[2], "rb") as f:
        f.seek(start - start % 4)
        raw = f.read()
    device = numpy.frombuffer(raw[: len(raw) // 4 * 4], dtype="<i2").astype(numpy.float64)[0::2] / 32768
    pieces = numpy.array_split(phrase, 8)
    found = [best_match(device, piece) for piece in pieces]
    correlation = float(numpy.median([c for c, _ in found]))
    # The level over the whole phrase from where its first piece lies.
    at = found[0][1]
    rms = numpy.sqrt(numpy.mean(device[at:at + phrase.size] ** 2)) if device.size else 0.0
    print(f"{correlation:.3f} {20 * numpy.log10(max(rms, 1e-9)):.1f}")


def best_match(device, phrase):
    """The best normalised correlation of phrase anywhere in device, and where."""
    n = phrase.size
    if device.size < n:
        return 0.0, 0
    size = 1 << int(numpy.ceil(numpy.log2(device.size + n)))
    dot = numpy.fft.irfft(numpy.fft.rfft(device, size) * numpy.conj(numpy.fft.rfft(phrase, size)), size)[: device.size - n + 1]
    energy = numpy.concatenate(([0.0], numpy.cumsum(device ** 2)))
    window = numpy.sqrt(numpy.maximum(energy[n:] - energy[:-n], 1e-12))
    correlation = dot / (window * numpy.sqrt(numpy.sum(phrase ** 2)))
    # Places with next to no sound say nothing either way.
    correlation[window < 1e-4 * numpy.sqrt(n)] = 0
    best = int(numpy.argmax(correlation))
    return float(correlation[best]), best


main()

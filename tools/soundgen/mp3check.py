"""Walk the frames of an MP3 file and report its format.

Only MPEG-1 Layer III is accepted, which is what lame writes at 44.1 kHz.
The first frame of a lame file is the Xing/Info frame that carries the
encoder delay; it has the same header as the audio frames, so for a
constant-bit-rate file every frame shows the same bit rate.
"""

BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
RATES = [44100, 48000, 32000]


def _skip_id3(data):
    if data[:3] == b"ID3" and len(data) >= 10:
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        return 10 + size
    return 0


def scan(data):
    """Return {'frames', 'sample_rate', 'bitrates', 'channels'} or
    {'error': ...} if the stream is not a clean run of MPEG-1 Layer III
    frames (a trailing 128-byte ID3v1 tag is allowed)."""
    pos = _skip_id3(data)
    frames = 0
    bitrates = set()
    rates = set()
    modes = set()
    end = len(data)
    if end - pos >= 128 and data[end - 128:end - 125] == b"TAG":
        end -= 128
    while pos < end:
        if end - pos < 4:
            return {"error": "%d stray bytes at end" % (end - pos)}
        h = int.from_bytes(data[pos:pos + 4], "big")
        if (h >> 21) & 0x7FF != 0x7FF:
            return {"error": "lost frame sync at byte %d" % pos}
        version = (h >> 19) & 3
        layer = (h >> 17) & 3
        br_idx = (h >> 12) & 0xF
        sr_idx = (h >> 10) & 3
        padding = (h >> 9) & 1
        mode = (h >> 6) & 3
        if version != 3 or layer != 1:
            return {"error": "frame at byte %d is not MPEG-1 Layer III" % pos}
        if br_idx in (0, 15) or sr_idx == 3:
            return {"error": "bad header at byte %d" % pos}
        br, sr = BITRATES[br_idx], RATES[sr_idx]
        size = 144000 * br // sr + padding
        bitrates.add(br)
        rates.add(sr)
        modes.add(1 if mode == 3 else 2)
        frames += 1
        pos += size
    if pos != end:
        return {"error": "last frame runs past the end of the file"}
    if not frames:
        return {"error": "no frames"}
    if len(rates) != 1:
        return {"error": "sample rate changes: %s" % sorted(rates)}
    return {"frames": frames, "sample_rate": rates.pop(), "bitrates": bitrates,
            "channels": max(modes)}

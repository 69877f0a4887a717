#!/usr/bin/env python3
"""Writes the seed corpora of the WAVE, MP3 and device command fuzzers: a few
good files of each kind and a few broken ones. Run again after changing a seed;
the files it writes are checked in. The MP3 seeds come from lame, so that the
info frame and its LAME tag are an encoder's own.
  tests/native/make_parser_seeds.py"""
import os
import struct
import subprocess
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")


def write(kind, name, data):
    os.makedirs(os.path.join(corpus, kind), exist_ok=True)
    with open(os.path.join(corpus, kind, name), "wb") as f:
        f.write(data)


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def fmt(tag=1, channels=2, rate=44100, bits=16, align=None, extensible=False, mask=3):
    align = channels * bits // 8 if align is None else align
    body = struct.pack("<HHIIHH", 0xFFFE if extensible else tag, channels, rate, rate * align, align, bits)
    if extensible:
        body += struct.pack("<HHI", 22, bits, mask) + struct.pack("<H", tag) + bytes(14)
    return chunk(b"fmt ", body)


def wave(*chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def samples(count, width):
    return bytes((i * 37 + 11) % 256 for i in range(count * width))


def wav_seeds():
    write("wav_file", "pcm16_stereo.wav", wave(fmt(), chunk(b"data", samples(64, 4))))
    write("wav_file", "pcm8_mono_odd_data.wav", wave(fmt(channels=1, bits=8, rate=8000), chunk(b"data", samples(33, 1))))
    write("wav_file", "float32_mono.wav",
          wave(fmt(tag=3, channels=1, bits=32), chunk(b"data", struct.pack("<8f", 0, .5, -.5, 1, -1, 2, float("nan"), -3))))
    write("wav_file", "pcm24_extensible.wav", wave(fmt(bits=24, extensible=True), chunk(b"data", samples(20, 6))))
    write("wav_file", "broadcast_chunks_first.wav",
          wave(chunk(b"bext", b"d" * 4999), chunk(b"iXML", b"<BWFXML/>"), chunk(b"JUNK", bytes(27)), fmt(),
               chunk(b"data", samples(16, 4)), chunk(b"LIST", b"INFOISFT\x05\0\0\0kiv\0\0\0")))
    write("wav_file", "zero_channels.wav", wave(fmt(channels=0, align=4), chunk(b"data", samples(8, 4))))
    write("wav_file", "huge_fmt_size.wav", wave(b"fmt " + struct.pack("<I", 0xFFFFFFF0) + fmt()[8:], chunk(b"data", samples(8, 4))))
    write("wav_file", "data_before_fmt.wav", wave(chunk(b"data", samples(8, 4)), fmt()))
    write("wav_file", "header_cut_off.wav", wave(fmt(), b"LI"))
    write("wav_file", "data_past_end.wav", wave(fmt(), b"data" + struct.pack("<I", 1 << 30) + samples(10, 4)))
    write("wav_file", "float32_above_full_scale.wav",
          wave(fmt(tag=3, channels=2, bits=32), chunk(b"data", struct.pack("<8f", 1.9, -1.9, 5, -40, float("inf"), 0, 1e30, .25))))
    write("wav_file", "pcm16_5.1_extensible.wav",
          wave(fmt(channels=6, extensible=True, mask=0x3F), chunk(b"data", samples(12, 12))))
    write("wav_file", "pcm16_8_channels_plain.wav", wave(fmt(channels=8), chunk(b"data", samples(6, 16))))
    write("wav_file", "mulaw_stereo_fact.wav", wave(fmt(tag=7, bits=8), chunk(b"fact", struct.pack("<I", 20)),
                                                    chunk(b"data", samples(20, 2))))
    write("wav_file", "alaw_mono.wav", wave(fmt(tag=6, channels=1, bits=8, rate=8000), chunk(b"data", samples(31, 1))))
    # The block-coded formats as sox writes them, then with fields that disagree.
    for coding, channels in (("ima-adpcm", 2), ("ms-adpcm", 1), ("gsm-full-rate", 1)):
        coded = sox_coded(coding, channels)
        write("wav_file", f"sox_{coding}.wav", coded)
    ima = sox_coded("ima-adpcm", 1)
    write("wav_file", "ima_frames_per_block_off.wav", ima.replace(b"\xf9\x01fact", b"\xfa\x01fact", 1))
    write("wav_file", "ima_fact_zero.wav", ima[:ima.index(b"fact") + 8] + bytes(4) + ima[ima.index(b"fact") + 12:])
    write("wav_file", "ima_without_extra_bytes.wav",
          wave(fmt(tag=0x11, channels=1, bits=4, align=256, rate=22050), chunk(b"data", samples(512, 1))))
    write("wav_file", "msadpcm_three_pairs.wav",
          wave(chunk(b"fmt ", struct.pack("<HHIIHHHHH", 2, 1, 8000, 4096, 256, 4, 16, 500, 3) + bytes(12)),
               chunk(b"data", samples(512, 1))))
    write("wav_file", "gsm_block_64.wav",
          wave(chunk(b"fmt ", struct.pack("<HHIIHHHH", 0x31, 1, 8000, 1625, 64, 0, 2, 320)), chunk(b"data", samples(130, 1))))


def sox_coded(coding, channels):
    with tempfile.TemporaryDirectory() as scratch:
        wav = os.path.join(scratch, "coded.wav")
        subprocess.run(["sox", "-R", "-D", "-n", "-r", "8000", "-c", str(channels), "-t", "wav", "-e", coding, wav,
                        "synth", "0.09", "sine", "440", "gain", "-3"], check=True)
        with open(wav, "rb") as f:
            return f.read()


def lame(seconds, *options):
    with tempfile.TemporaryDirectory() as scratch:
        wav = os.path.join(scratch, "in.wav")
        mp3 = os.path.join(scratch, "out.mp3")
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds), "sine", "440"], check=True)
        subprocess.run(["lame", "--quiet", *options, wav, mp3], check=True)
        with open(mp3, "rb") as f:
            return f.read()


def id3(body_bytes, present):
    size = bytes((body_bytes >> shift) & 0x7F for shift in (21, 14, 7, 0))
    return b"ID3\x04\0\0" + size + bytes(present)


def mp3_seeds():
    cbr = lame(0.1, "-b", "64", "--resample", "22.05", "-m", "m")
    write("mp3_file", "lame_mpeg2_mono.mp3", cbr)
    write("mp3_file", "lame_vbr_tagged.mp3", lame(0.06, "-V", "9", "--tt", "seed", "--add-id3v2"))
    write("mp3_file", "two_files_joined.mp3", cbr + id3(12, 12) + cbr)
    write("mp3_file", "sync_words_no_frame.mp3", b"\xFF\xFB" * 600)
    write("mp3_file", "id3_size_past_end.mp3", id3(1 << 20, 20) + cbr[:400])
    write("mp3_file", "last_frame_cut.mp3", cbr[:-30])
    # Past the reader's first 16 KB read: a tag longer than it (a cover picture), and junk.
    write("mp3_file", "long_tag_then_frames.mp3", id3(20000, 20000) + cbr)
    write("mp3_file", "junk_then_frames.mp3", bytes(range(256)) * 68 + cbr)


def utf16(text):
    return text.encode("utf-16-le")


def command_seeds():
    for name, text in {
        "play": "play {6F9619FF8B86D011B42D00C04FC964FF}",
        "pause_upper": "PAUSE snd",
        "close_spaces": "  close   snd  ",
        "left_volume": "setaudio snd left volume to 370",
        "both_volume": "setaudio snd volume to 1000",
        "volume_too_high": "setaudio snd right volume to 1001",
        "three_words": "play snd now",
    }.items():
        write("device_command", name, utf16(text))


wav_seeds()
mp3_seeds()
command_seeds()

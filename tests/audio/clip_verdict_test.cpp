// Which files the engine knows to be damaged (silence, never the system player)
// and which it leaves to the system player: a table of crafted first bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decode/clip_verdict.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
void Put16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}
void PutId(Bytes& bytes, const char* id) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(id[i]));
}

// RIFF/WAVE with a fmt chunk of the given fields (or of the given declared size).
Bytes Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t blockAlign,
           uint32_t fmtSize = 16, bool junkFirst = false) {
  Bytes bytes;
  PutId(bytes, "RIFF");
  Put32(bytes, 0);
  PutId(bytes, "WAVE");
  if (junkFirst) {
    PutId(bytes, "JUNK");
    Put32(bytes, 5);  // odd: a pad byte follows
    bytes.insert(bytes.end(), 6, 0);
  }
  PutId(bytes, "fmt ");
  Put32(bytes, fmtSize);
  Put16(bytes, tag);
  Put16(bytes, channels);
  Put32(bytes, rate);
  Put32(bytes, rate * blockAlign);
  Put16(bytes, blockAlign);
  Put16(bytes, bits);
  PutId(bytes, "data");
  Put32(bytes, 8);
  bytes.insert(bytes.end(), 8, 0);
  return bytes;
}

// count MPEG 1 Layer III frames of 128 kbit/s at 44.1 kHz (417 bytes each).
Bytes Mp3Frames(int count) {
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    const uint8_t header[] = {0xFF, 0xFB, 0x90, 0x00};
    bytes.insert(bytes.end(), header, header + 4);
    bytes.insert(bytes.end(), 413, 0);
  }
  return bytes;
}

Bytes Id3Tag(uint32_t declaredBody) {
  Bytes bytes = {'I', 'D', '3', 4, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) bytes.push_back(static_cast<uint8_t>((declaredBody >> shift) & 0x7F));
  return bytes;
}

Bytes Joined(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ClipVerdict, DamagedWaveAndMpegFilesAreKnownAndTheRestIsLeftAlone) {
  Bytes syncWords;
  for (int i = 0; i < 5000; ++i) syncWords.insert(syncWords.end(), {0xFF, 0xFB});
  const std::string text = "not a sound at all";
  struct Case {
    const char* what;
    Bytes bytes;
    ClipKind kind;
    bool damaged;
  };
  const Case cases[] = {
      {"plain 16-bit PCM", Wave(1, 2, 44100, 16, 4), ClipKind::Wave, false},
      {"format after a JUNK chunk with a pad byte", Wave(1, 1, 48000, 24, 3, 16, true), ClipKind::Wave, false},
      {"mu-law, the system player's", Wave(7, 1, 8000, 8, 1), ClipKind::Wave, false},
      {"IMA ADPCM, compressed, the system player's", Wave(0x11, 1, 22050, 4, 512), ClipKind::Wave, false},
      {"zero channels", Wave(1, 0, 44100, 16, 4), ClipKind::Wave, true},
      {"nine channels", Wave(1, 9, 44100, 16, 18), ClipKind::Wave, true},
      {"zero frames a second", Wave(1, 2, 0, 16, 4), ClipKind::Wave, true},
      {"64-bit samples", Wave(1, 2, 44100, 64, 16), ClipKind::Wave, true},
      {"block align off", Wave(1, 2, 44100, 16, 3), ClipKind::Wave, true},
      {"fmt size 0xFFFFFFF0", Wave(1, 2, 44100, 16, 4, 0xFFFFFFF0u), ClipKind::Wave, true},
      {"a bare RIFF header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, ClipKind::Wave, true},
      {"good MP3 frames", Mp3Frames(3), ClipKind::MpegAudio, false},
      {"MP3 after two ID3 tags", Joined(Joined(Id3Tag(20), Bytes(20, 0)), Joined(Id3Tag(0), Mp3Frames(3))),
       ClipKind::MpegAudio, false},
      {"an ID3 size past the end, frames behind it", Joined(Id3Tag(1 << 20), Mp3Frames(3)), ClipKind::MpegAudio, false},
      {"10 KB of sync words and no frame", syncWords, ClipKind::MpegAudio, true},
      {"an ID3 tag and nothing after it", Joined(Id3Tag(10), Bytes(10, 0)), ClipKind::MpegAudio, true},
      {"an AAC stream named .mp3", Bytes{0xFF, 0xF1, 0x50, 0x80, 0x02, 0x1F, 0xFC}, ClipKind::Unrecognised, false},
      {"text", Bytes(text.begin(), text.end()), ClipKind::NoSound, true},
      {"text with tabs and line breaks", Bytes{'a', '\t', 'b', '\r', '\n', 0xE4, 0xBD, 0xA0}, ClipKind::NoSound, true},
      {"empty", Bytes{}, ClipKind::NoSound, true},
      {"text, then a zero byte", Joined(Bytes(text.begin(), text.end()), Bytes{0}), ClipKind::Unrecognised, false},
      {"an MP4 box, the system player's", Bytes{0, 0, 0, 0x20, 'f', 't', 'y', 'p', 'M', '4', 'A', ' '}, ClipKind::Unrecognised,
       false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RecogniseClip(c.bytes), c.kind) << c.what;
    EXPECT_EQ(KnownDamaged(c.bytes), c.damaged) << c.what;
    MemoryByteSource source(c.bytes);
    EXPECT_EQ(KnownDamaged(source), c.damaged) << c.what << " (read from a source)";
  }
}

}  // namespace
}  // namespace kivora::audio

// WAVE files as recorders and editors write them: the data chunk behind
// metadata chunks of any size, odd sizes with their pad byte, chunks after the
// data, and files cut short. The header, the decoder and the damaged-file
// verdict must agree on each. Pure code: built for Windows and natively.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/wav_decoder.h"
#include "audio/decode/wav_header.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A RIFF/WAVE file put together chunk by chunk.
struct Riff {
  Riff() {
    for (const char c : std::string("RIFF\0\0\0\0WAVE", 12)) bytes.push_back(static_cast<uint8_t>(c));
  }
  Bytes bytes;

  // A chunk whose header declares size, with body bytes of value (as many as
  // given, up to size) and the pad byte after an odd size.
  Riff& Chunk(const char* id, uint32_t size, size_t present, uint8_t value = 0) {
    bytes.insert(bytes.end(), id, id + 4);
    Put(bytes, size, 4);
    bytes.insert(bytes.end(), present, value);
    if (present == size && (size & 1)) bytes.push_back(0);
    return *this;
  }
  Riff& Chunk(const char* id, uint32_t size) { return Chunk(id, size, size, 'm'); }
  // 16-bit stereo PCM at 48 kHz.
  Riff& Format() {
    bytes.insert(bytes.end(), {'f', 'm', 't', ' '});
    Put(bytes, 16, 4);
    Put(bytes, 1, 2);
    Put(bytes, 2, 2);
    Put(bytes, 48000, 4);
    Put(bytes, 48000 * 4, 4);
    Put(bytes, 4, 2);
    Put(bytes, 16, 2);
    return *this;
  }
  // A data chunk declaring declaredFrames frames, holding presentFrames of them.
  Riff& Data(uint32_t declaredFrames, uint32_t presentFrames) {
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    Put(bytes, declaredFrames * 4, 4);
    for (uint32_t i = 0; i < presentFrames * 2; ++i) Put(bytes, 1000 + i, 2);
    return *this;
  }
  Riff& Cut(size_t dropped) {
    bytes.resize(bytes.size() - dropped);
    return *this;
  }
};

// Frames the decoder gives for bytes; -1 when it refuses them. The samples
// must be the data chunk's, in order.
long DecodedFrames(const Bytes& bytes) {
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes));
  if (!decoder) return -1;
  std::vector<float> samples;
  while (decoder->DecodeMore(samples)) {}
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_FLOAT_EQ(samples[i], (1000 + static_cast<int>(i)) / 32768.0f) << "sample " << i;
  }
  return static_cast<long>(samples.size() / 2);
}

TEST(WaveChunks, DataIsFoundBehindAnyChunksAndTheVerdictAgrees) {
  Riff broadcast = Riff().Chunk("bext", 602).Chunk("iXML", 3001).Chunk("JUNK", 1000).Format().Data(100, 100);
  Riff manySmall;
  for (int i = 0; i < 2000; ++i) manySmall.Chunk("afsp", 3);
  manySmall.Format().Data(10, 10);
  const struct {
    const char* what;
    Bytes bytes;
    long frames;  // decoded, or -1 for a file not played
    bool damaged;
  } cases[] = {
      {"bext, iXML and JUNK before data past 4096 bytes", broadcast.bytes, 100, false},
      {"odd-sized chunks with pad bytes around the format",
       Riff().Chunk("LIST", 7).Format().Chunk("cue ", 1).Data(8, 8).bytes, 8, false},
      {"2000 small chunks first", manySmall.bytes, 10, false},
      {"LIST after the data", Riff().Format().Data(6, 6).Chunk("LIST", 40).bytes, 6, false},
      {"data declared past the end", Riff().Format().Data(1000, 12).bytes, 12, false},
      {"data cut inside a frame", Riff().Format().Data(10, 5).Cut(3).bytes, 4, false},
      {"data declared as 4 GB, as a recorder that was stopped leaves it", Riff().Format().Data(0x3FFFFFFF, 6).bytes, 6,
       false},
      {"chunk header cut off before the data", Riff().Format().Chunk("LIST", 4).Cut(2).bytes, -1, true},
      {"chunk whose size runs past the end", Riff().Chunk("JUNK", 0x7FFFFFFF, 20).Format().Data(4, 4).bytes, -1, true},
      {"format chunk cut short", Riff().Format().Cut(6).bytes, -1, true},
      {"data before the format", Riff().Data(4, 4).Format().bytes, -1, true},
      {"no data chunk", Riff().Format().Chunk("LIST", 10).bytes, -1, true},
  };
  for (const auto& c : cases) {
    const auto layout = ParseWavHeader(c.bytes);
    EXPECT_EQ(layout.has_value(), c.frames >= 0) << c.what;
    EXPECT_EQ(DecodedFrames(c.bytes), c.frames) << c.what;
    EXPECT_EQ(KnownDamaged(c.bytes), c.damaged) << c.what;
  }
  const auto layout = ParseWavHeader(broadcast.bytes);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->dataOffset, broadcast.bytes.size() - 400);
  EXPECT_GT(layout->dataOffset, 4096u);
}

// A source that counts what is read from it.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(const Bytes& bytes) : inner_(bytes) {}
  size_t Read(std::span<uint8_t> destination) override {
    const size_t got = inner_.Read(destination);
    read += got;
    return got;
  }
  bool Seek(uint64_t offset) override { return inner_.Seek(offset); }
  size_t read = 0;

 private:
  MemoryByteSource inner_;
};

// A picture or a long iXML document before the samples is stepped over, not read.
TEST(WaveChunks, LargeChunksBeforeTheDataAreSkippedNotRead) {
  const Bytes bytes = Riff().Chunk("bext", 1 << 20).Format().Chunk("iXML", 3 << 20).Data(4, 4).bytes;
  CountingSource source(bytes);
  const auto layout = ParseWavHeader(source);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->dataOffset, bytes.size() - 16);
  EXPECT_LT(source.read, 64u * 1024) << "the walk read the bodies it should have skipped";
}

}  // namespace
}  // namespace kivora::audio

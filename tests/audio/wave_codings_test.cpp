// WAVE codings beside 16-bit PCM, as the header, the decoder and the damaged-file
// verdict take them: G.711 samples against the standard's values, 3 to 8
// channels folded into stereo by each speaker's weights, float files above full
// scale kept at their level, and the block-coded formats' fields (extra bytes,
// block align, the fact chunk) accepted when they agree and refused when not.
// Pure code: built for Windows and natively.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/g711.h"
#include "audio/decode/wav_decoder.h"
#include "audio/decode/wav_header.h"
#include "audio/decode/wave_blocks.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& bytes, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A format chunk's body: the 16 bytes every one has, then extra bytes.
Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits, const Bytes& extra = {}) {
  Bytes body;
  Put(body, tag, 2);
  Put(body, channels, 2);
  Put(body, rate, 4);
  Put(body, rate * blockAlign, 4);
  Put(body, blockAlign, 2);
  Put(body, bits, 2);
  body.insert(body.end(), extra.begin(), extra.end());
  return body;
}

// WAVE_FORMAT_EXTENSIBLE's 22 extra bytes (after the size field) for a plain tag.
Bytes Extensible(uint16_t bits, uint32_t mask, uint16_t tag) {
  Bytes extra;
  Put(extra, 22, 2);
  Put(extra, bits, 2);
  Put(extra, mask, 4);
  Put(extra, tag, 2);
  extra.insert(extra.end(), 14, 0);
  return extra;
}

Bytes Wave(const Bytes& format, const Bytes& data, int64_t fact = -1) {
  Bytes bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  Put(bytes, static_cast<uint32_t>(format.size()), 4);
  bytes.insert(bytes.end(), format.begin(), format.end());
  if (format.size() & 1) bytes.push_back(0);
  if (fact >= 0) {
    bytes.insert(bytes.end(), {'f', 'a', 'c', 't', 4, 0, 0, 0});
    Put(bytes, static_cast<uint32_t>(fact), 4);
  }
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  Put(bytes, static_cast<uint32_t>(data.size()), 4);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

std::vector<float> DecodeAll(const Bytes& bytes, unsigned* channels = nullptr) {
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(bytes));
  std::vector<float> samples;
  if (!decoder) return samples;
  while (decoder->DecodeMore(samples)) {}
  if (channels) *channels = decoder->Channels();
  return samples;
}

TEST(WaveCodings, G711SamplesAreTheStandardsValues) {
  // Codes and their 16-bit values as Python's audioop gives them: both signs,
  // the smallest and largest segments, and mu-law's two zeros.
  const struct {
    uint8_t code;
    int mu;
    int a;
  } cases[] = {{0x00, -32124, -5504}, {0x80, 32124, 5504},  {0x7F, 0, -848},       {0xFF, 0, 848},
               {0x55, -716, -8},      {0xD5, 716, 8},      {0x2A, -5372, -32256}, {0xAA, 5372, 32256},
               {0x70, -120, -688},    {0x0F, -16764, -6784}};
  for (const auto& c : cases) {
    EXPECT_EQ(MuLawSample(c.code) * 32768.0f, static_cast<float>(c.mu)) << "mu-law " << int{c.code};
    EXPECT_EQ(ALawSample(c.code) * 32768.0f, static_cast<float>(c.a)) << "A-law " << int{c.code};
  }
  // A stereo mu-law file decodes code by code; one with a block of two bytes a channel does not.
  unsigned channels = 0;
  const auto samples = DecodeAll(Wave(Format(7, 2, 8000, 2, 8), {0x00, 0xFF, 0x80, 0x70}, 2), &channels);
  EXPECT_EQ(channels, 2u);
  ASSERT_EQ(samples.size(), 4u);
  EXPECT_EQ(samples[0] * 32768.0f, -32124.0f);
  EXPECT_EQ(samples[3] * 32768.0f, -120.0f);
  EXPECT_FALSE(ParseWavHeader(Wave(Format(6, 2, 8000, 4, 8), Bytes(8, 0xD5))));
}

TEST(WaveCodings, ThreeToEightChannelsFoldIntoStereoByTheirSpeakers) {
  constexpr float h = 0.70710678f;
  struct Weights {
    float left, right;
  };
  const Weights L{1, 0}, R{0, 1}, C{h, h}, LFE{0, 0}, Ls{h, 0}, Rs{0, h};
  const struct {
    const char* what;
    unsigned channels;
    uint32_t mask;  // 0: a plain PCM format, which names no speakers
    std::vector<Weights> expected;
  } cases[] = {
      {"3: L R C", 3, 0, {L, R, C}},
      {"4: quad", 4, 0, {L, R, Ls, Rs}},
      {"5: L R C Ls Rs", 5, 0, {L, R, C, Ls, Rs}},
      {"6: 5.1", 6, 0, {L, R, C, LFE, Ls, Rs}},
      {"7: 6.1, back centre into both", 7, 0, {L, R, C, LFE, C, Ls, Rs}},
      {"8: 7.1", 8, 0, {L, R, C, LFE, Ls, Rs, Ls, Rs}},
      {"5.1 with side surrounds, by its mask", 6, 0x60F, {L, R, C, LFE, Ls, Rs}},
      {"centre first, by its mask", 3, 0x4 | 0x200 | 0x400, {C, Ls, Rs}},
      {"front left and right of centre", 4, 0x1 | 0x2 | 0x40 | 0x80, {L, R, L, R}},
      {"a mask naming fewer speakers than channels", 4, 0x3, {L, R, C, C}},
      {"top speakers", 3, 0x1000 | 0x2000 | 0x4000, {Ls, C, Rs}},
  };
  for (const auto& c : cases) {
    // Frame k holds 0.5 in channel k alone: stereo frame k is channel k's weights, halved.
    std::vector<int16_t> pcm(c.channels * c.channels, 0);
    for (unsigned k = 0; k < c.channels; ++k) pcm[k * c.channels + k] = 16384;
    Bytes data(pcm.size() * 2);
    std::memcpy(data.data(), pcm.data(), data.size());
    const uint16_t align = static_cast<uint16_t>(c.channels * 2);
    const Bytes format = c.mask ? Format(0xFFFE, c.channels, 48000, align, 16, Extensible(16, c.mask, 1))
                                : Format(1, c.channels, 48000, align, 16);
    unsigned channels = 0;
    const auto stereo = DecodeAll(Wave(format, data), &channels);
    EXPECT_EQ(channels, 2u) << c.what;
    ASSERT_EQ(stereo.size(), 2 * c.channels) << c.what;
    for (unsigned k = 0; k < c.channels; ++k) {
      EXPECT_NEAR(stereo[2 * k], 0.5f * c.expected[k].left, 1e-6) << c.what << ", channel " << k << " left";
      EXPECT_NEAR(stereo[2 * k + 1], 0.5f * c.expected[k].right, 1e-6) << c.what << ", channel " << k << " right";
    }
  }
  // Mono and stereo are not folded.
  unsigned channels = 0;
  EXPECT_EQ(DecodeAll(Wave(Format(1, 1, 48000, 2, 16), {0, 0x40}), &channels).size(), 1u);
  EXPECT_EQ(channels, 1u);
}

TEST(WaveCodings, FloatSamplesKeepTheirLevelAboveFullScale) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float in[] = {0.5f, 1.9f, -3.25f, nan, inf, -inf, 1e30f, -1.0f};
  const float out[] = {0.5f, 1.9f, -3.25f, 0.0f, 64.0f, -64.0f, 64.0f, -1.0f};
  Bytes data(sizeof in);
  std::memcpy(data.data(), in, sizeof in);
  for (const bool extensible : {false, true}) {
    const Bytes format = extensible ? Format(0xFFFE, 1, 48000, 4, 32, Extensible(32, 0x4, 3)) : Format(3, 1, 48000, 4, 32);
    const auto samples = DecodeAll(Wave(format, data));
    ASSERT_EQ(samples.size(), std::size(out));
    for (size_t i = 0; i < std::size(out); ++i) EXPECT_EQ(samples[i], out[i]) << "sample " << i;
  }
  // Integer samples stay within full scale.
  for (const float sample : DecodeAll(Wave(Format(1, 1, 48000, 2, 16), {0x00, 0x80, 0xFF, 0x7F}))) {
    EXPECT_LE(std::fabs(sample), 1.0f);
  }
}

Bytes ImaExtra(uint16_t framesPerBlock) {
  Bytes extra;
  Put(extra, 2, 2);
  Put(extra, framesPerBlock, 2);
  return extra;
}

Bytes MsAdpcmExtra(uint16_t framesPerBlock, uint16_t coefficients) {
  const int16_t standard[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  Bytes extra;
  Put(extra, 4 + 4 * coefficients, 2);
  Put(extra, framesPerBlock, 2);
  Put(extra, coefficients, 2);
  for (unsigned i = 0; i < coefficients; ++i) {
    Put(extra, static_cast<uint16_t>(standard[i % 7][0]), 2);
    Put(extra, static_cast<uint16_t>(standard[i % 7][1]), 2);
  }
  return extra;
}

TEST(WaveCodings, BlockCodedFormatsAreTakenWhenTheirFieldsAgree) {
  const Bytes fourBlocks(4 * 512, 0);
  const Bytes gsmBlocks(5 * 65, 0);
  const struct {
    const char* what;
    Bytes bytes;
    bool decoded;
    bool damaged;
    unsigned framesPerBlock;
    int64_t soundFrames;  // -1: none
  } cases[] = {
      {"IMA ADPCM stereo, fact inside the last block", Wave(Format(0x11, 2, 8000, 512, 4, ImaExtra(505)), fourBlocks, 1600),
       true, false, 505, 1600},
      {"IMA ADPCM mono without its frames-per-block field", Wave(Format(0x11, 1, 22050, 512, 4), fourBlocks), true, false,
       1017, -1},
      {"IMA ADPCM, frames per block off by one", Wave(Format(0x11, 1, 8000, 256, 4, ImaExtra(506)), fourBlocks), false, true,
       0, -1},
      {"IMA ADPCM, block align not whole words", Wave(Format(0x11, 2, 8000, 510, 4, ImaExtra(503)), fourBlocks), false, true,
       0, -1},
      {"IMA ADPCM with three channels", Wave(Format(0x11, 3, 8000, 12 * 43, 4, ImaExtra(337)), fourBlocks), false, true, 0,
       -1},
      {"MS ADPCM stereo, fact of a whole block count",
       Wave(Format(2, 2, 8000, 512, 4, MsAdpcmExtra(500, 7)), fourBlocks, 2000), true, false, 500, 2000},
      {"MS ADPCM, fact past the data", Wave(Format(2, 2, 8000, 512, 4, MsAdpcmExtra(500, 7)), fourBlocks, 2001), true,
       false, 500, -1},
      {"MS ADPCM, fact before the last block", Wave(Format(2, 1, 8000, 256, 4, MsAdpcmExtra(500, 7)), fourBlocks, 1500),
       true, false, 500, -1},
      {"MS ADPCM, a fact of 0", Wave(Format(2, 1, 8000, 256, 4, MsAdpcmExtra(500, 7)), fourBlocks, 0), true, false, 500,
       -1},
      {"MS ADPCM with 3 predictor pairs", Wave(Format(2, 1, 8000, 256, 4, MsAdpcmExtra(500, 3)), fourBlocks), false, true,
       0, -1},
      {"MS ADPCM, a table longer than the chunk",
       [&] {
         Bytes format = Format(2, 1, 8000, 256, 4, MsAdpcmExtra(500, 7));
         format[20] = 200;  // pairs declared
         return Wave(format, fourBlocks);
       }(),
       false, true, 0, -1},
      {"MS ADPCM without its table", Wave(Format(2, 1, 8000, 256, 4), fourBlocks), false, true, 0, -1},
      {"GSM 6.10", Wave(Format(0x31, 1, 8000, 65, 0, ImaExtra(320)), gsmBlocks, 1600), true, false, 320, 1600},
      {"GSM 6.10 in blocks of 64 bytes", Wave(Format(0x31, 1, 8000, 64, 0, ImaExtra(320)), gsmBlocks), false, true, 0, -1},
      {"GSM 6.10 stereo", Wave(Format(0x31, 2, 8000, 65, 0, ImaExtra(320)), gsmBlocks), false, true, 0, -1},
      {"MPEG audio in WAVE, the system player's", Wave(Format(0x55, 2, 44100, 1, 0), fourBlocks), false, false, 0, -1},
      {"IMA ADPCM behind WAVE_FORMAT_EXTENSIBLE, the system player's",
       Wave(Format(0xFFFE, 2, 8000, 512, 4, Extensible(4, 3, 0x11)), fourBlocks), false, false, 0, -1},
  };
  for (const auto& c : cases) {
    const auto layout = ParseWavHeader(c.bytes);
    EXPECT_EQ(layout.has_value(), c.decoded) << c.what;
    EXPECT_EQ(KnownDamaged(c.bytes), c.damaged) << c.what;
    if (!layout) continue;
    EXPECT_TRUE(BlockCoded(layout->encoding)) << c.what;
    EXPECT_EQ(layout->framesPerBlock, c.framesPerBlock) << c.what;
    EXPECT_EQ(layout->soundFrames.value_or(-1), c.soundFrames) << c.what;
    // The codec's format declares exactly the extra bytes it carries.
    ASSERT_GE(layout->format.size(), 20u) << c.what;
    EXPECT_EQ(layout->format.size(), 18u + (layout->format[16] | (layout->format[17] << 8))) << c.what;
    EXPECT_EQ(layout->format[18] | (layout->format[19] << 8), static_cast<int>(c.framesPerBlock)) << c.what;
  }
  // GSM's byte rate as its blocks make it (8000 * 65 / 320), whatever the file says.
  const auto gsm = ParseWavHeader(Wave(Format(0x31, 1, 8000, 65, 0, ImaExtra(320)), gsmBlocks));
  ASSERT_TRUE(gsm);
  EXPECT_EQ(gsm->format[8] | (gsm->format[9] << 8) | (gsm->format[10] << 16), 1625);
}

TEST(WaveCodings, BlocksComeWholeAndTheFactCountEndsTheSound) {
  // Four blocks of 505 frames declared, the last cut by the file's end; the fact says 1600.
  Bytes bytes = Wave(Format(0x11, 2, 8000, 512, 4, ImaExtra(505)), Bytes(4 * 512, 7), 1600);
  const auto layout = ParseWavHeader(bytes);
  ASSERT_TRUE(layout);
  for (const bool cut : {false, true}) {
    if (cut) bytes.resize(bytes.size() - 100);
    MemoryByteSource source(bytes);
    ASSERT_TRUE(source.Seek(layout->dataOffset));
    WaveBlocks blocks(source, *layout);
    std::vector<uint8_t> read;
    size_t total = 0;
    size_t kept = 0;
    while (const size_t got = blocks.Next(read, 3)) {
      EXPECT_EQ(read.size(), got * 512);
      total += got;
      kept += blocks.Keep(got * 505);
    }
    EXPECT_EQ(total, cut ? 3u : 4u);
    EXPECT_EQ(kept, cut ? 3u * 505 : 1600u);
  }
}

}  // namespace
}  // namespace kivora::audio

// The system MP3 codec through AcmMp3Decoder plays every clip whole: VBR, ABR
// and CBR files, two files joined, and a file whose format changes part-way,
// each against lame's own gapless decode (tests/audio/fixtures/make_mp3_fixtures.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "audio/acm_mp3_decoder.h"
#include "audio/file_byte_source.h"
#include "audio/lame_header.h"
#include "audio/mp3_frame.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kEndFrames = 1152;  // how much of each end the reference keeps

struct Reference {
  unsigned rate = 0;
  unsigned channels = 0;
  uint64_t frames = 0;
  std::vector<int16_t> head, tail;  // interleaved, kEndFrames each
};

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

Bytes ClipBytes(const std::string& clip) {
  const std::string bytes = testing::ReadFileBytes(FixturePath(Wide(clip + ".mp3")));
  return Bytes(bytes.begin(), bytes.end());
}

Reference ReferenceOf(const std::string& clip) {
  Reference reference;
  std::istringstream list(testing::ReadFileBytes(FixturePath(L"mp3_reference.txt")));
  for (std::string name; list >> name >> reference.rate >> reference.channels >> reference.frames;) {
    if (name == clip) break;
  }
  const std::string ends = testing::ReadFileBytes(FixturePath(Wide(clip + ".ends.raw")));
  std::vector<int16_t> samples(ends.size() / 2);
  std::memcpy(samples.data(), ends.data(), samples.size() * 2);
  const size_t half = samples.size() / 2;
  reference.head.assign(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(half));
  reference.tail.assign(samples.begin() + static_cast<std::ptrdiff_t>(half), samples.end());
  return reference;
}

// A run of frames that came out in one format.
struct Part {
  unsigned rate = 0;
  unsigned channels = 0;
  std::vector<float> samples;
  uint64_t Frames() const { return samples.size() / channels; }
};

// Decodes to the end, reading the format after every call as the voice does.
std::vector<Part> DecodeAll(PcmDecoder& decoder) {
  std::vector<Part> parts;
  std::vector<float> samples;
  while (decoder.DecodeMore(samples)) {
    if (parts.empty() || parts.back().rate != decoder.SampleRate() || parts.back().channels != decoder.Channels()) {
      parts.push_back({decoder.SampleRate(), decoder.Channels(), {}});
    }
    parts.back().samples.insert(parts.back().samples.end(), samples.begin(), samples.end());
    samples.clear();
  }
  return parts;
}

// The largest difference, in 16-bit steps, between samples and reference.
int WorstDifference(std::span<const float> samples, std::span<const int16_t> reference) {
  int worst = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    worst = std::max(worst, std::abs(static_cast<int>(std::lround(samples[i] * 32768.0f)) - reference[i]));
  }
  return worst;
}

std::vector<Part> DecodeBytes(const Bytes& bytes, AcmStreamPool& pool) {
  auto decoder = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(bytes), pool);
  if (!decoder) return {};
  return DecodeAll(*decoder);
}

TEST(Mp3Whole, EveryClipHasItsReferenceLengthAndEndsAsTheReferenceDoes) {
  using Clips = std::vector<std::string>;
  const struct {
    const char* name;
    Clips clips;               // joined end to end in this order
    std::vector<Clips> parts;  // the clips each run of one format holds
  } cases[] = {
      {"VBR -V2", {"vbr_v2"}, {{"vbr_v2"}}},
      {"VBR -V5", {"vbr_v5"}, {{"vbr_v5"}}},
      {"ABR 96", {"abr_96"}, {{"abr_96"}}},
      {"CBR 128", {"cbr_128"}, {{"cbr_128"}}},
      {"two files joined", {"vbr_v2", "abr_96"}, {{"vbr_v2", "abr_96"}}},
      {"44.1 kHz stereo, then 22.05 kHz mono", {"vbr_v5", "mono_22k"}, {{"vbr_v5"}, {"mono_22k"}}},
  };
  AcmStreamPool pool;
  for (const auto& c : cases) {
    Bytes file;
    for (const std::string& clip : c.clips) {
      const Bytes bytes = ClipBytes(clip);
      file.insert(file.end(), bytes.begin(), bytes.end());
    }
    const std::vector<Part> parts = DecodeBytes(file, pool);
    ASSERT_EQ(parts.size(), c.parts.size()) << c.name;
    for (size_t p = 0; p < parts.size(); ++p) {
      const Part& part = parts[p];
      // Each clip of the part starts where the one before it ends, and begins
      // and ends as lame's decode of it alone does: no sample lost, none added.
      uint64_t at = 0;
      for (const std::string& clip : c.parts[p]) {
        const Reference reference = ReferenceOf(clip);
        EXPECT_EQ(part.rate, reference.rate) << c.name << ", " << clip;
        ASSERT_EQ(part.channels, reference.channels) << c.name << ", " << clip;
        ASSERT_GE(part.Frames(), at + reference.frames) << c.name << ", " << clip;
        const auto samples = std::span(part.samples).subspan(at * part.channels);
        const size_t tailAt = (reference.frames - kEndFrames) * part.channels;
        EXPECT_LE(WorstDifference(samples, reference.head), 4) << c.name << ", the start of " << clip;
        EXPECT_LE(WorstDifference(samples.subspan(tailAt), reference.tail), 4) << c.name << ", the end of " << clip;
        at += reference.frames;
      }
      EXPECT_EQ(part.Frames(), at) << c.name;
      std::printf("%s, part %zu: %llu frames decoded, %llu in the reference\n", c.name, p + 1,
                  static_cast<unsigned long long>(part.Frames()), static_cast<unsigned long long>(at));
    }
  }
}

TEST(AcmMp3Decoder, VariableBitrateFilesPlayToTheirLastSample) {
  struct Case {
    const wchar_t* file;
    const wchar_t* referenceTail;  // lame --decode's last 4096 frames
    size_t frames;                 // lame --decode's length
  };
  const Case cases[] = {
      {L"varied_v2.mp3", L"varied_v2_tail.raw", 132300},
      {L"varied_v5.mp3", L"varied_v5_tail.raw", 132300},
      {L"varied_abr96.mp3", L"varied_abr96_tail.raw", 96000},
  };
  AcmStreamPool pool;
  for (const Case& c : cases) {
    auto source = FileByteSource::Open(FixturePath(c.file));
    ASSERT_TRUE(source) << FixturePath(c.file);
    auto decoder = AcmMp3Decoder::Open(std::move(source), pool);
    ASSERT_TRUE(decoder) << c.file;
    std::vector<float> samples;
    while (decoder->DecodeMore(samples)) {}
    const size_t channels = decoder->Channels();
    ASSERT_EQ(channels, 2u) << c.file;
    EXPECT_EQ(samples.size() / channels, c.frames) << c.file;

    const std::vector<int16_t> tail = LeftChannelOf(testing::ReadFileBytes(FixturePath(c.referenceTail)));
    ASSERT_EQ(tail.size(), 4096u) << c.file;
    ASSERT_GE(samples.size() / channels, tail.size()) << c.file;
    const size_t from = samples.size() / channels - tail.size();
    int worst = 0;
    for (size_t i = 0; i < tail.size(); ++i) {
      const int ours = static_cast<int>(std::lround(samples[(from + i) * channels] * 32768.0f));
      worst = std::max(worst, std::abs(ours - tail[i]));
    }
    EXPECT_LE(worst, 2) << c.file << ": the last samples differ from the reference decode";
  }
}

}  // namespace
}  // namespace kivora::audio

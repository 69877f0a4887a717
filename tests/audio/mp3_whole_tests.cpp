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

#include "audio/decode/acm_mp3_decoder.h"
#include "audio/engine/engine_backend.h"
#include "audio/decode/file_byte_source.h"
#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame.h"
#include "audio/engine/sound_engine.h"
#include "audio/device/wasapi_output.h"
#include "recorded_sound.h"
#include "support/recording_audio_backend.h"
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

// Rewrites the LAME tag of the info frame that starts file: its frame count,
// delay and padding.
void SetLameTag(Bytes& file, uint32_t frames, unsigned delay, unsigned padding) {
  const Mp3FrameHeader header = *ParseMp3FrameHeader(file);
  size_t at = 4 + header.sideInfoBytes + 4;
  const uint32_t flags = (uint32_t{file[at]} << 24) | (uint32_t{file[at + 1]} << 16) | (file[at + 2] << 8) | file[at + 3];
  at += 4;
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
  at += 4 + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0) + 21;
  file[at] = static_cast<uint8_t>(delay >> 4);
  file[at + 1] = static_cast<uint8_t>(((delay & 0xF) << 4) | (padding >> 8));
  file[at + 2] = static_cast<uint8_t>(padding);
  const auto info = ParseXingFrame(file, header);
  ASSERT_TRUE(info && info->audioFrames == frames && info->encoderDelay == delay && info->encoderPadding == padding);
}

// The info frame of clip and its first two audio frames, whose delay and
// padding are longer than the two frames: a file with no sound in it.
Bytes NoSoundClip(const Bytes& clip) {
  size_t end = ParseMp3FrameHeader(clip)->frameBytes;
  for (int frame = 0; frame < 2; ++frame) end += ParseMp3FrameHeader(std::span(clip).subspan(end))->frameBytes;
  Bytes bytes(clip.begin(), clip.begin() + static_cast<std::ptrdiff_t>(end));
  SetLameTag(bytes, 2, 2000, 2000);
  return bytes;
}

// A clip that holds no sound says so at the first call, so that the caller
// can hand the file elsewhere rather than play silence.
TEST(Mp3Whole, NoSoundIsReportedAtOnceAndACountTheFramesOutlastIsNoEnd) {
  const Bytes clip = ClipBytes("cbr_128");
  const Mp3FrameHeader info = *ParseMp3FrameHeader(clip);
  const XingInfo tag = *ParseXingFrame(clip, info);
  AcmStreamPool pool;
  std::vector<float> samples;

  auto decoder = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(NoSoundClip(clip)), pool);
  EXPECT_TRUE(!decoder || !decoder->DecodeMore(samples)) << "delay and padding longer than the frames";

  const Bytes infoOnly(clip.begin(), clip.begin() + static_cast<std::ptrdiff_t>(info.frameBytes));
  decoder = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(infoOnly), pool);
  EXPECT_TRUE(!decoder || !decoder->DecodeMore(samples)) << "an info frame and no frame after it";
  EXPECT_TRUE(samples.empty());

  // A count of 0 that the frames outlast: they all play, less the delay at the start.
  Bytes uncounted = clip;
  SetLameTag(uncounted, 0, tag.encoderDelay, tag.encoderPadding);
  const std::vector<Part> parts = DecodeBytes(uncounted, pool);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].Frames(), *tag.audioFrames * uint64_t{1152} - tag.encoderDelay - kLayer3DecoderDelay);
}

// A clip's length is known before it is decoded, from its info frame or its
// frames' headers, and it is exactly what the codec then gives: for files as
// encoders write them, joined, cut short, stripped of their info frame, with a
// count that lies, behind tags and junk, with an ID3v1 tag; and no length for a
// file whose rate changes part-way. Asking leaves the decoding as it was.
TEST(Mp3Whole, TheLengthIsKnownUpFrontAndIsWhatTheCodecGives) {
  const Bytes cbr = ClipBytes("cbr_128");
  const auto joined = [](std::initializer_list<Bytes> parts) {
    Bytes file;
    for (const Bytes& part : parts) file.insert(file.end(), part.begin(), part.end());
    return file;
  };
  Bytes uncounted = cbr;
  const XingInfo tag = *ParseXingFrame(cbr, *ParseMp3FrameHeader(cbr));
  SetLameTag(uncounted, 0, tag.encoderDelay, tag.encoderPadding);
  Bytes id3v1 = Bytes{'T', 'A', 'G'};
  id3v1.resize(128, ' ');
  const struct {
    const char* name;
    Bytes file;
    bool known;
  } cases[] = {
      {"VBR -V2", ClipBytes("vbr_v2"), true},
      {"ABR 96", ClipBytes("abr_96"), true},
      {"CBR 128", cbr, true},
      {"mono 22.05 kHz", ClipBytes("mono_22k"), true},
      {"no info frame", ClipBytes("high_tone"), true},
      {"the info frame cut away", Bytes(cbr.begin() + static_cast<std::ptrdiff_t>(ParseMp3FrameHeader(cbr)->frameBytes), cbr.end()), true},
      {"two files joined", joined({ClipBytes("vbr_v2"), ClipBytes("abr_96")}), true},
      {"cut short", Bytes(cbr.begin(), cbr.begin() + static_cast<std::ptrdiff_t>(cbr.size() * 3 / 5)), true},
      {"a count of 0 that the frames outlast", uncounted, true},
      {"junk before, an ID3v1 tag after", joined({Bytes(3000, 'j'), cbr, id3v1}), true},
      {"44.1 kHz stereo, then 22.05 kHz mono", joined({ClipBytes("vbr_v5"), ClipBytes("mono_22k")}), false},
  };
  AcmStreamPool pool;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto asked = AcmMp3Decoder::Open(std::make_unique<MemoryByteSource>(c.file), pool);
    ASSERT_TRUE(asked);
    const auto total = asked->TotalFrames();
    const std::vector<Part> parts = DecodeAll(*asked);
    ASSERT_FALSE(parts.empty());
    if (!c.known) {
      EXPECT_FALSE(total.has_value());
      continue;
    }
    ASSERT_TRUE(total.has_value());
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(*total, parts[0].Frames());
    const std::vector<Part> unasked = DecodeBytes(c.file, pool);
    ASSERT_EQ(unasked.size(), 1u);
    EXPECT_EQ(parts[0].samples, unasked[0].samples) << "asking for the length changed the decoding";
  }
}

// Through the engine: the file with no sound goes to the fallback, not to a silent voice.
TEST(Mp3Whole, AFileWithNoSoundGoesToTheFallback) {
  testing::TempFolder folder;
  const Bytes bytes = NoSoundClip(ClipBytes("cbr_128"));
  const std::wstring path = folder.Path() + L"no_sound.mp3";
  ASSERT_TRUE(testing::WriteFileBytes(path, std::string(bytes.begin(), bytes.end())));
  SoundEngine engine(std::make_shared<WasapiOutputDevice>());
  testing::RecordingAudioBackend fallback;
  EngineBackend backend(engine, fallback);
  EXPECT_EQ(backend.Open(L"mpegvideo", path, L"clip"), 0u);
  EXPECT_FALSE(backend.EngineHasSound());
  EXPECT_FALSE(fallback.calls.empty());
}

// Tags and junk before the first frame, read from a file as a clip is: the same
// sound as the bare clip, to the sample.
TEST(Mp3Whole, TagsAndJunkBeforeTheFirstFrameChangeNothing) {
  const Bytes clip = ClipBytes("cbr_128");
  auto id3 = [](uint32_t bodyBytes, size_t present) {
    Bytes tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((bodyBytes >> shift) & 0x7F));
    tag.resize(10 + present, 0);
    return tag;
  };
  const struct {
    const char* name;
    std::vector<Bytes> before;
  } cases[] = {
      {"a picture's tag, a second tag, then 20 KB of junk", {id3(150000, 150000), id3(300, 300), Bytes(20000, 'j')}},
      {"a tag whose size points past the end", {id3(5000000, 0)}},
  };
  AcmStreamPool pool;
  const std::vector<Part> bare = DecodeBytes(clip, pool);
  ASSERT_EQ(bare.size(), 1u);
  testing::TempFolder folder;
  for (const auto& c : cases) {
    Bytes file;
    for (const Bytes& part : c.before) file.insert(file.end(), part.begin(), part.end());
    file.insert(file.end(), clip.begin(), clip.end());
    const std::wstring path = folder.Path() + L"tagged.mp3";
    ASSERT_TRUE(testing::WriteFileBytes(path, std::string(file.begin(), file.end())));
    auto decoder = AcmMp3Decoder::Open(FileByteSource::Open(path), pool);
    ASSERT_TRUE(decoder) << c.name;
    const std::vector<Part> parts = DecodeAll(*decoder);
    ASSERT_EQ(parts.size(), 1u) << c.name;
    EXPECT_EQ(parts[0].samples, bare[0].samples) << c.name;
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

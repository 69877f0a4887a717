// How an MP3 file is cut into frames and which decoded samples are the clip:
// tags and junk around the frames, info frames in mid-stream, a change of
// format, and the gapless trim of files joined end to end. Pure code: no codec.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/decode/gapless_trimmer.h"
#include "audio/decode/mp3_frame_reader.h"

namespace kivora::audio {
namespace {

using Bytes = std::vector<uint8_t>;

// One frame of each format the cases use: 44.1 kHz stereo at 128 kbit/s
// (417 bytes), and MPEG-2 22.05 kHz mono at 64 kbit/s (208 bytes).
struct FrameKind {
  char letter;
  uint8_t header[4];
  size_t bytes;
};
constexpr FrameKind kStereo{'S', {0xFF, 0xFB, 0x90, 0x64}, 417};
constexpr FrameKind kMono{'m', {0xFF, 0xF3, 0x80, 0xC0}, 208};

void AppendFrame(Bytes& bytes, const FrameKind& kind, bool info = false) {
  const size_t at = bytes.size();
  bytes.insert(bytes.end(), kind.header, kind.header + 4);
  bytes.resize(at + kind.bytes, 0x55);
  if (info) {
    // "Info" where the audio data starts, after the side information; no fields.
    const size_t tag = at + 4 + (kind.letter == 'S' ? 32 : 9);
    const char text[] = {'I', 'n', 'f', 'o', 0, 0, 0, 0};
    std::copy(text, text + 8, bytes.begin() + static_cast<std::ptrdiff_t>(tag));
  }
}

// Frames spelled as letters: S and m as above, I and i an info frame of each.
Bytes FramesOf(const std::string& letters) {
  Bytes bytes;
  for (const char letter : letters) {
    const bool info = letter == 'I' || letter == 'i';
    AppendFrame(bytes, letter == 'S' || letter == 'I' ? kStereo : kMono, info);
  }
  return bytes;
}

Bytes Id3v2Tag(uint32_t bodyBytes, size_t bytesPresent) {
  Bytes tag = {'I', 'D', '3', 4, 0, 0};
  for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((bodyBytes >> shift) & 0x7F));
  tag.resize(10 + bytesPresent, 0);
  return tag;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The frames the reader gives, as letters.
std::string Read(const Bytes& bytes) {
  MemoryByteSource source(bytes);
  Mp3FrameReader reader(source);
  std::string letters;
  while (const auto frame = reader.Next()) {
    const bool stereo = frame->header.channels == 2 && frame->header.sampleRate == 44100;
    EXPECT_EQ(frame->bytes.size(), frame->header.frameBytes);
    letters += frame->info ? (stereo ? 'I' : 'i') : (stereo ? 'S' : 'm');
  }
  return letters;
}

TEST(Mp3FrameReader, FindsEveryFrameAroundTagsJunkAndChangesOfFormat) {
  const Bytes frames = FramesOf("ISSS");
  Bytes cut = frames;
  cut.resize(cut.size() - 100);
  Bytes syncWords;
  for (int i = 0; i < 2500; ++i) syncWords.insert(syncWords.end(), {0xFF, 0xFB, 0x90, 0x64});
  const struct {
    const char* name;
    Bytes bytes;
    std::string frames;
  } cases[] = {
      {"frames alone", frames, "ISSS"},
      {"two ID3v2 tags first", Join({Id3v2Tag(300, 300), Id3v2Tag(20, 20), frames}), "ISSS"},
      {"a tag longer than what is read at once", Join({Id3v2Tag(200000, 200000), frames}), "ISSS"},
      {"a tag whose size points past the end", Join({Id3v2Tag(900000, 40), frames}), "ISSS"},
      {"20 KB of junk first", Join({Bytes(20000, 'x'), frames}), "ISSS"},
      {"more junk first than is searched", Join({Bytes(Mp3FrameReader::kJunkLimit + 10, 'x'), frames}), ""},
      {"sync words and no frame", syncWords, ""},
      {"junk between frames", Join({FramesOf("ISS"), Bytes(700, 0xFF), FramesOf("SSS")}), "ISSSSS"},
      {"a tag between two files", Join({FramesOf("ISS"), Id3v2Tag(50, 50), FramesOf("ISS")}), "ISSISS"},
      {"an info frame in mid-stream", FramesOf("ISSISSS"), "ISSISSS"},
      {"another rate and channel count part-way", FramesOf("ISSSimmmm"), "ISSSimmmm"},
      {"a last frame cut off", cut, "ISS"},
      {"nothing", Bytes{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.bytes), c.frames) << c.name;
}

// Decoded output whose samples are their own positions (left) and negatives
// (right), so the kept samples say where they came from.
std::vector<float> Positions(uint64_t from, uint64_t count) {
  std::vector<float> samples;
  for (uint64_t i = from; i < from + count; ++i) samples.insert(samples.end(), {float(i), -float(i)});
  return samples;
}

// The runs of consecutive positions in kept, as [begin, end) pairs.
using Runs = std::vector<std::pair<uint64_t, uint64_t>>;
Runs RunsOf(const std::vector<float>& kept) {
  Runs runs;
  for (size_t i = 0; i < kept.size(); i += 2) {
    EXPECT_EQ(kept[i + 1], -kept[i]) << "channels kept together";
    const auto at = static_cast<uint64_t>(kept[i]);
    if (!runs.empty() && runs.back().second == at) {
      ++runs.back().second;
    } else {
      runs.push_back({at, at + 1});
    }
  }
  return runs;
}

XingInfo Lame(uint32_t frames, unsigned delay, unsigned padding) { return {frames, true, delay, padding, std::nullopt}; }

TEST(GaplessTrimmer, CutsEachSegmentsDelayAndPaddingUnlessTheStreamOutlastsItsCount) {
  constexpr uint64_t kFrame = 1152;
  constexpr uint64_t kSkip = 576 + kLayer3DecoderDelay;
  // Each step is an info frame (its XingInfo) or, when empty, one audio frame.
  using Step = std::optional<XingInfo>;
  const struct {
    const char* name;
    std::vector<Step> steps;
    Runs kept;
  } cases[] = {
      {"no info frame: all of it", {{}, {}, {}}, {{0, 3 * kFrame}}},
      {"count met", {Lame(3, 576, 1000), {}, {}, {}}, {{kSkip, kSkip + 3 * kFrame - 1576}}},
      {"count outlasted: plays to the end", {Lame(3, 576, 1000), {}, {}, {}, {}, {}}, {{kSkip, 5 * kFrame}}},
      {"a count of 0 and frames after it", {Lame(0, 576, 1000), {}, {}}, {{kSkip, 2 * kFrame}}},
      {"stream short of its count", {Lame(5, 576, 1000), {}, {}, {}}, {{kSkip, 3 * kFrame}}},
      {"delay and padding longer than the stream", {Lame(2, 2000, 2000), {}, {}}, {}},
      {"two files joined",
       {Lame(3, 576, 1000), {}, {}, {}, Lame(2, 576, 600), {}, {}},
       {{kSkip, kSkip + 3 * kFrame - 1576}, {3 * kFrame + kSkip, 3 * kFrame + kSkip + 2 * kFrame - 1176}}},
  };
  for (const auto& c : cases) {
    // The codec gives each frame's output at once, or holds all of it to the
    // end and gives it in pieces that do not follow the frames.
    for (const bool late : {false, true}) {
      GaplessTrimmer trimmer(kFrame, 2);
      std::vector<float> kept;
      uint64_t fed = 0;
      for (const Step& step : c.steps) {
        if (step) {
          trimmer.BeginSegment(*step);
          continue;
        }
        trimmer.FrameFed();
        if (!late) trimmer.Take(Positions(fed * kFrame, kFrame), kept);
        ++fed;
      }
      for (uint64_t at = 0; late && at < fed * kFrame; at += 1000) {
        trimmer.Take(Positions(at, std::min<uint64_t>(1000, fed * kFrame - at)), kept);
      }
      trimmer.Finish(kept);
      EXPECT_EQ(RunsOf(kept), c.kept) << c.name << (late ? ", output late" : ", output at once");
    }
  }
}

}  // namespace
}  // namespace kivora::audio

// A clip shaped as it decodes: the same frames whatever sizes the decoder hands
// them over in, and whether or not it tells its length up front (when it does,
// the first frames go out as soon as they are decoded); nothing at all (and an
// end, also for a loop) when the trim leaves nothing, a loop without a way to
// reopen the clip played once, and a clip whose format changes part-way handed
// on one format at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "audio/dsp/shaped_clip.h"

namespace kivora::audio {
namespace {

constexpr unsigned kRate = 48000;

// Hands a mono clip over in chunks of the sizes given, in turn; a part may have a rate of its own.
class ChunkedDecoder final : public PcmDecoder {
 public:
  struct Part {
    std::vector<float> samples;
    unsigned rate = kRate;
  };
  ChunkedDecoder(std::vector<Part> parts, std::vector<size_t> chunks, bool tellsLength = false)
      : parts_(std::move(parts)), chunks_(std::move(chunks)), tellsLength_(tellsLength) {}
  unsigned SampleRate() const override { return parts_[std::min(part_, parts_.size() - 1)].rate; }
  unsigned Channels() const override { return 1; }
  std::optional<uint64_t> TotalFrames() override {
    if (!tellsLength_) return std::nullopt;
    uint64_t frames = 0;
    for (const Part& part : parts_) frames += part.samples.size();
    return frames;
  }
  size_t Calls() const { return calls_; }
  bool DecodeMore(std::vector<float>& samples) override {
    while (part_ < parts_.size() && at_ == parts_[part_].samples.size()) {
      ++part_;
      at_ = 0;
    }
    if (part_ == parts_.size()) return false;
    const std::vector<float>& part = parts_[part_].samples;
    const size_t count = std::min(chunks_[calls_++ % chunks_.size()], part.size() - at_);
    samples.insert(samples.end(), part.begin() + static_cast<std::ptrdiff_t>(at_),
                   part.begin() + static_cast<std::ptrdiff_t>(at_ + count));
    at_ += count;
    return true;
  }

 private:
  std::vector<Part> parts_;
  std::vector<size_t> chunks_;
  bool tellsLength_;
  size_t part_ = 0, at_ = 0, calls_ = 0;
};

std::vector<float> Ramp(size_t frames) {
  std::vector<float> samples(frames);
  for (size_t i = 0; i < frames; ++i) samples[i] = 0.1f + 0.4f * static_cast<float>(i) / static_cast<float>(frames);
  return samples;
}

// Every frame the shaped decoder gives, up to limit, with the rate of each call's frames.
struct Heard {
  std::vector<float> samples;
  std::vector<unsigned> rates;  // one per frame
};
Heard Drain(PcmDecoder& decoder, size_t limit = 1'000'000) {
  Heard heard;
  std::vector<float> chunk;
  while (heard.samples.size() < limit && decoder.DecodeMore(chunk)) {
    heard.rates.insert(heard.rates.end(), chunk.size(), decoder.SampleRate());
    heard.samples.insert(heard.samples.end(), chunk.begin(), chunk.end());
    chunk.clear();
  }
  return heard;
}

std::unique_ptr<ChunkedDecoder> Chunked(const std::vector<float>& clip, std::vector<size_t> chunks, bool tellsLength = false) {
  return std::make_unique<ChunkedDecoder>(std::vector<ChunkedDecoder::Part>{{clip}}, std::move(chunks), tellsLength);
}

TEST(ShapedClip, TheSameFramesWhateverChunksTheDecoderGives) {
  const std::vector<float> clip = Ramp(9000);
  const ClipShape shapes[] = {
      {.gain = 0.5f, .fadeInMs = 20, .fadeOutMs = 40, .headMs = 10, .tailMs = 30},
      {.fadeOutMs = 5000},  // a fade out longer than the clip
      {.fadeInMs = 10, .headMs = 50, .tailMs = 60, .loop = true},
  };
  for (const ClipShape& shape : shapes) {
    const size_t limit = shape.loop ? 40000 : SIZE_MAX;
    auto whole = WithShape(Chunked(clip, {9000}), shape, [&] { return Chunked(clip, {9000}); });
    const std::vector<float> once = Drain(*whole, limit).samples;
    for (const bool tellsLength : {false, true}) {
      SCOPED_TRACE(tellsLength ? "length told" : "length found at the end");
      auto pieces = WithShape(Chunked(clip, {1, 333, 4096, 17}, tellsLength), shape,
                              [&] { return Chunked(clip, {1, 333, 4096, 17}, tellsLength); });
      std::vector<float> inPieces = Drain(*pieces, limit).samples;
      ASSERT_GE(inPieces.size(), std::min(limit, once.size()));
      inPieces.resize(std::min(inPieces.size(), once.size()));
      EXPECT_EQ(inPieces, std::vector<float>(once.begin(), once.begin() + static_cast<std::ptrdiff_t>(inPieces.size())));
    }
  }
}

// A decoder that tells its length lets the first frames go out at the first
// decode, however long the fade out or the trimmed tail; one that does not has
// them wait until the decoding reaches the frames that may be the end.
TEST(ShapedClip, AToldLengthHoldsNothingBack) {
  const std::vector<float> clip = Ramp(48000);
  for (const ClipShape& shape : {ClipShape{.fadeOutMs = 5000}, ClipShape{.tailMs = 500}}) {
    for (const bool tellsLength : {false, true}) {
      auto decoder = Chunked(clip, {1000}, tellsLength);
      const ChunkedDecoder& counted = *decoder;
      auto shaped = WithShape(std::move(decoder), shape);
      std::vector<float> first;
      ASSERT_TRUE(shaped->DecodeMore(first));
      const size_t decodedFrames = counted.Calls() * 1000;
      if (tellsLength) {
        EXPECT_EQ(counted.Calls(), 1u);
      } else {
        EXPECT_GE(decodedFrames, std::min(clip.size(), static_cast<size_t>(FramesOfMilliseconds(shape.fadeOutMs + shape.tailMs, kRate))));
      }
    }
  }
}

TEST(ShapedClip, ATrimThatLeavesNothingEndsEvenALoop) {
  const std::vector<float> clip = Ramp(4800);  // 100 ms
  for (const bool loop : {false, true}) {
    int reopened = 0;
    auto shaped = WithShape(Chunked(clip, {700}), {.headMs = 60, .tailMs = 40, .loop = loop}, [&] {
      ++reopened;
      return Chunked(clip, {700});
    });
    EXPECT_TRUE(Drain(*shaped).samples.empty());
    EXPECT_EQ(reopened, 0);
  }
}

TEST(ShapedClip, ALoopThatCannotReopenPlaysOnce) {
  const std::vector<float> clip = Ramp(4800);
  auto shaped = WithShape(Chunked(clip, {512}), {.headMs = 10, .loop = true});
  EXPECT_EQ(Drain(*shaped).samples, std::vector<float>(clip.begin() + 480, clip.end()));
}

TEST(ShapedClip, AFormatChangePartWayKeepsEachFramesFormat) {
  const std::vector<float> first = Ramp(3000), second = Ramp(2000);
  auto decoder = std::make_unique<ChunkedDecoder>(
      std::vector<ChunkedDecoder::Part>{{first, kRate}, {second, 24000}}, std::vector<size_t>{1000});
  // 10 ms trimmed at each end: 480 frames at the first rate, 240 at the second.
  auto shaped = WithShape(std::move(decoder), {.headMs = 10, .tailMs = 10});
  const Heard heard = Drain(*shaped);
  ASSERT_EQ(heard.samples.size(), 3000u - 480u + 2000u - 240u);
  EXPECT_EQ(std::count(heard.rates.begin(), heard.rates.end(), kRate), 3000 - 480);
  EXPECT_EQ(heard.rates.back(), 24000u);
  EXPECT_EQ(heard.samples.front(), first[480]);
  EXPECT_EQ(heard.samples.back(), second[2000 - 241]);
}

}  // namespace
}  // namespace kivora::audio

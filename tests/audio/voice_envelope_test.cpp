// How a sound plays, frame by frame: trims exact to the frame, loops that repeat
// and skip nothing at the seam, fades of the length asked for that never jump,
// levels in decibels, and the limiter that keeps any mix inside full scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "audio/dsp/safety_limiter.h"
#include "audio/dsp/voice_envelope.h"

namespace kivora::audio {
namespace {

constexpr unsigned kRate = 48000;

// The largest change from one sample to the next.
float LargestStep(const std::vector<float>& samples) {
  float largest = 0;
  for (size_t i = 1; i < samples.size(); ++i) largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
  return largest;
}

std::vector<float> Tone(size_t frames, double hertz) {
  std::vector<float> samples(frames);
  for (size_t i = 0; i < frames; ++i) {
    samples[i] = static_cast<float>(0.8 * std::sin(2 * std::numbers::pi * hertz * static_cast<double>(i) / kRate));
  }
  return samples;
}

// The envelope applied as the engine applies it, a block at a time.
std::vector<float> Shaped(std::vector<float> samples, const Envelope& envelope, size_t block = 441) {
  for (size_t at = 0; at < samples.size(); at += block) {
    const size_t frames = std::min(block, samples.size() - at);
    envelope.Apply(samples.data() + at, frames, 1, static_cast<int64_t>(at));
  }
  return samples;
}

TEST(VoiceEnvelope, TrimsToTheFrame) {
  const struct {
    int64_t total, head, tail;
    FrameRange expected;
  } cases[] = {
      {1000, 0, 0, {0, 1000}},     {1000, 120, 0, {120, 1000}}, {1000, 0, 1, {0, 999}},
      {1000, 300, 700, {300, 300}}, {1000, 800, 300, {800, 800}}, {1000, 2000, 0, {1000, 1000}},
      {1000, -5, -5, {0, 1000}},   {0, 10, 10, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimmedRange(c.total, c.head, c.tail), c.expected) << c.total << " " << c.head << " " << c.tail;
  }
  EXPECT_EQ(FramesOfMilliseconds(120, 44100), 5292);
  EXPECT_EQ(FramesOfMilliseconds(1, 44100), 44);  // 44.1 rounds down
  EXPECT_EQ(FramesOfMilliseconds(3, 44100), 132);  // 132.3
  EXPECT_EQ(FramesOfMilliseconds(-3, 44100), 0);
}

// A loop of frames [first, end) plays first..end-1, then first again: no frame
// twice, none left out, across several passes and with any block size.
TEST(VoiceEnvelope, LoopSeamRepeatsAndSkipsNothing) {
  const FrameRange range = TrimmedRange(1000, 37, 100);
  std::vector<int64_t> heard;
  for (int64_t played = 0; played < 3 * range.Length() + 5; ++played) heard.push_back(ClipFrameOf(played, range, true));
  for (size_t i = 1; i < heard.size(); ++i) {
    const int64_t expected = heard[i - 1] + 1 == range.end ? range.first : heard[i - 1] + 1;
    ASSERT_EQ(heard[i], expected) << "at " << i;
  }
  EXPECT_EQ(heard.front(), 37);
  EXPECT_EQ(ClipFrameOf(863, range, true), 37);
  EXPECT_EQ(ClipFrameOf(863, range, false), 900) << "without a loop the voice runs off the end";

  // A loop has no end fade and no end: every pass is heard at full gain.
  const Envelope looping(0, FramesOfMilliseconds(200, kRate), range.Length(), true);
  EXPECT_EQ(looping.GainAt(range.Length() - 1), 1.0f);
  EXPECT_EQ(looping.GainAt(range.Length()), 1.0f);
  EXPECT_FALSE(looping.Done(100 * range.Length()));
}

TEST(VoiceEnvelope, FadesLastAsLongAsAskedAndNeverJump) {
  const std::vector<float> tone = Tone(kRate * 12, 440);
  const float toneStep = LargestStep(tone);
  for (int ms : {1, 4, 10, 200, 1500, 5000}) {
    const int64_t frames = FramesOfMilliseconds(ms, kRate);
    const auto length = static_cast<int64_t>(tone.size());
    const Envelope envelope(frames, frames, length, false);
    // Fade in: rising until frame `frames`, full from there on.
    int64_t full = 0;
    while (envelope.GainAt(full) < 1.0f) ++full;
    EXPECT_NEAR(static_cast<double>(full), static_cast<double>(frames), kRate / 1000.0) << ms << " ms in";
    // Fade out: full until `frames` before the end.
    int64_t fading = length - 1;
    while (envelope.GainAt(fading) < 1.0f) --fading;
    EXPECT_NEAR(static_cast<double>(length - 1 - fading), static_cast<double>(frames), kRate / 1000.0) << ms << " ms out";
    EXPECT_EQ(envelope.GainAt(0), 0.0f);
    EXPECT_TRUE(envelope.Done(length));

    const std::vector<float> shaped = Shaped(tone, envelope);
    EXPECT_LE(LargestStep(shaped), toneStep) << ms << " ms";
    for (int64_t at : {int64_t{0}, frames / 2, frames, length / 2, length - frames / 2, length - 1}) {
      EXPECT_FLOAT_EQ(shaped[static_cast<size_t>(at)], tone[static_cast<size_t>(at)] * envelope.GainAt(at)) << at;
    }
  }
}

// A stop fades from wherever the voice stands, during its fade in too, down to
// silence in the frames given; a second stop can only end it sooner.
TEST(VoiceEnvelope, StopFadesFromWhereItStands) {
  const std::vector<float> tone = Tone(kRate, 440);
  const int64_t ramp = FramesOfMilliseconds(4, kRate);
  for (int64_t stopAt : {int64_t{0}, int64_t{100}, int64_t{2000}, int64_t{30000}}) {
    Envelope envelope(FramesOfMilliseconds(50, kRate), 0, Envelope::kUnknownLength, false);
    envelope.StopAt(stopAt, ramp);
    envelope.StopAt(stopAt + 10, FramesOfMilliseconds(500, kRate));
    EXPECT_FALSE(envelope.Done(stopAt + ramp - 1));
    EXPECT_TRUE(envelope.Done(stopAt + ramp));
    const std::vector<float> shaped = Shaped(tone, envelope);
    EXPECT_LE(LargestStep(shaped), LargestStep(tone)) << stopAt;
    EXPECT_EQ(shaped[static_cast<size_t>(stopAt + ramp)], 0.0f);
  }
  Envelope instant(0, 0, 1000, false);
  instant.StopAt(10, 0);
  EXPECT_TRUE(instant.Done(10));
}

// The end of a clip whose length is learnt while it plays fades out when known.
TEST(VoiceEnvelope, FadeOutWaitsForTheLength) {
  Envelope envelope(0, 100, Envelope::kUnknownLength, false);
  EXPECT_EQ(envelope.GainAt(950), 1.0f);
  EXPECT_FALSE(envelope.Done(5000));
  envelope.SetLength(1000);
  EXPECT_LT(envelope.GainAt(950), 1.0f);
  EXPECT_EQ(envelope.GainAt(899), 1.0f);
  EXPECT_TRUE(envelope.Done(1000));
}

// The fade's curve is half a cosine to within a float's step near full gain,
// rising all the way, from exactly 0 to exactly 1.
TEST(VoiceEnvelope, TheFadeCurveIsHalfACosine) {
  float previous = 0;
  for (int i = 0; i <= 100000; ++i) {
    const double x = i / 100000.0;
    const float curve = FadeCurve(x);
    ASSERT_NEAR(curve, 0.5 - 0.5 * std::cos(std::numbers::pi * x), 1.2e-7) << x;
    ASSERT_GE(curve, previous) << x;
    previous = curve;
  }
  EXPECT_EQ(FadeCurve(0.0), 0.0f);
  EXPECT_EQ(FadeCurve(1.0), 1.0f);
  EXPECT_EQ(FadeCurve(-0.5), 0.0f);
  EXPECT_EQ(FadeCurve(1.5), 1.0f);
}

TEST(VoiceEnvelope, LevelsInDecibels) {
  for (double db : {-30.0, -12.5, -3.0, 0.0, 1.0, 6.0, 12.0}) {
    EXPECT_NEAR(20 * std::log10(GainOfDecibels(db)), db, 0.01) << db;
  }
  EXPECT_EQ(GainOfDecibels(0), 1.0f);
}

// Thirty-two loud voices at once: the sum leaves the limiter inside full scale
// with its wave's shape (a steady gain, no flat top), and the gain comes back to
// exactly 1 afterwards; a sound within full scale passes bit for bit.
TEST(SafetyLimiter, KeepsAnyMixInsideFullScaleWithoutCuttingItFlat) {
  const std::vector<float> tone = Tone(kRate / 2, 440);
  std::vector<float> mix = tone;
  for (float& sample : mix) sample *= 32;
  mix.resize(mix.size() + kRate, 0.0f);  // then a second of quiet
  std::vector<float> limited = mix;
  SafetyLimiter limiter(kRate);
  for (size_t at = 0; at < limited.size(); at += 480) limiter.Process(limited.data() + at, std::min<size_t>(480, limited.size() - at), 1);

  float lowest = 1, highest = 0;  // the gain the loud part was given, sample by sample
  for (size_t i = 0; i < tone.size(); ++i) {
    ASSERT_LE(std::abs(limited[i]), 1.0f) << i;
    if (i > kRate / 100 && std::abs(mix[i]) > 1) {
      lowest = std::min(lowest, limited[i] / mix[i]);
      highest = std::max(highest, limited[i] / mix[i]);
    }
  }
  EXPECT_LT(highest / lowest, 1.01f) << "the gain rode the wave: its shape is lost";
  EXPECT_GT(highest * 32 * 0.8f, 0.99f) << "the loud part is no quieter than it must be";
  EXPECT_EQ(limiter.Gain(), 1.0f) << "back at exactly 1 after the quiet";

  std::vector<float> alone = tone;  // 0.8 peak
  limiter.Process(alone.data(), alone.size(), 1);
  EXPECT_EQ(alone, tone) << "one sound alone must reach the device bit for bit";

  std::vector<float> broken = {NAN, 0.5f, INFINITY, -INFINITY};
  limiter.Process(broken.data(), 2, 2);
  EXPECT_EQ(broken[0], 0.0f);
  for (float sample : broken) EXPECT_LE(std::abs(sample), 1.0f);
}

}  // namespace
}  // namespace kivora::audio

// The rate converter: the signal and its timing through each kind of ratio,
// the exact count of frames it gives, streaming in pieces, the widest ratios.
// Pure code: also built natively under the sanitizers, where
// tests/native/resampler_memory_test.cpp watches its memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "audio/dsp/resampler.h"

namespace kivora::audio {
namespace {

std::vector<float> Sine(double frequency, unsigned rate, size_t frames, double amplitude = 0.5) {
  std::vector<float> samples(frames);
  for (size_t i = 0; i < frames; ++i) samples[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate));
  return samples;
}

// Everything at once, then everything out.
std::vector<float> Convert(Resampler& resampler, const std::vector<float>& input) {
  resampler.Push(input);
  resampler.Finish();
  std::vector<float> output;
  std::vector<float> piece(4096 * resampler.Channels());
  while (size_t got = resampler.Pull(piece.data(), 4096)) output.insert(output.end(), piece.begin(), piece.begin() + got * resampler.Channels());
  return output;
}

TEST(Resampler, SameRatePassesEverySampleUnchanged) {
  const std::vector<float> mono = {0.1f, -0.2f, 0.3f, -0.4f, 0.5f};
  EXPECT_EQ(Convert(*Resampler::Create(48000, 48000, 1), mono), mono);
  const std::vector<float> pairs = {0.1f, -0.9f, 0.2f, -0.8f, 0.3f, -0.7f};
  EXPECT_EQ(Convert(*Resampler::Create(44100, 44100, 2), pairs), pairs);
}

TEST(Resampler, AToneComesOutAtItsFrequencyLevelAndPhaseWithNothingElse) {
  // Compared sample by sample with the ideal tone at the output rate, from the
  // first output frame's time at the first input frame's: a wrong delay, a
  // wrong level in the pass band, an image or a blend between rows that is off
  // each shows as a difference. -80 dB is well above the filter's own error.
  struct Case {
    unsigned in, out;
    double tone;
  } cases[] = {
      {44100, 48000, 1000},   // exact rows
      {8000, 48000, 3000},    // far up: images near the tone
      {96000, 44100, 17000},  // down, near the band edge
      {44100, 44099, 9000},   // too many phases: interpolated rows
      {384000, 8000, 1000},   // the widest filter
  };
  for (const Case& c : cases) {
    const double seconds = 0.5;
    const std::vector<float> out = Convert(*Resampler::Create(c.in, c.out, 1), Sine(c.tone, c.in, static_cast<size_t>(seconds * c.in), 1.0));
    const std::vector<float> ideal = Sine(c.tone, c.out, out.size(), 1.0);
    // Away from the ends, where the filter meets the silence around the clip.
    const size_t margin = c.out / 20;
    double worst = 0;
    for (size_t i = margin; i + margin < out.size(); ++i) worst = std::max(worst, std::abs(static_cast<double>(out[i]) - ideal[i]));
    EXPECT_LT(worst, 1e-4) << c.in << " -> " << c.out;
  }
}

TEST(Resampler, AToneAboveTheNewNyquistFrequencyIsRemovedNotFolded) {
  for (unsigned out : {22050u, 22051u, 8000u}) {
    const std::vector<float> folded = Convert(*Resampler::Create(48000, out, 1), Sine(0.55 * out, 48000, 48000, 1.0));
    double energy = 0;
    const size_t margin = out / 20;
    for (size_t i = margin; i + margin < folded.size(); ++i) energy += folded[i] * folded[i];
    EXPECT_LT(std::sqrt(energy / static_cast<double>(folded.size() - 2 * margin)), 1e-4) << "48000 -> " << out;
  }
}

TEST(Resampler, GivesTheCeilingOfInputTimesRatioFramesWhateverThePieces) {
  // N input frames give ceil(N * out / in): a clip keeps its exact length. The
  // same frames come out however the input is pushed and the output pulled.
  struct Case {
    unsigned in, out;
    size_t frames;
  } cases[] = {
      {44100, 48000, 44100}, {48000, 44100, 1},    {8000, 192000, 777},  {96000, 44100, 0},
      {44100, 44099, 10000}, {1000, 384000, 30},   {384000, 1000, 5000}, {176400, 8000, 12345},
      // 384 kHz mono of 4081 frames into 8 kHz once moved a negative size.
      {384000, 8000, 4081},  {376422, 8000, 4081}, {352800, 11025, 999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in << " -> " << c.out << ", " << c.frames << " frames");
    std::vector<float> input(c.frames * 2);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<float>(std::sin(0.37 * static_cast<double>(i)));
    const std::vector<float> whole = Convert(*Resampler::Create(c.in, c.out, 2), input);
    const size_t expected = (c.frames * c.out + c.in - 1) / c.in;
    EXPECT_EQ(whole.size(), expected * 2);

    auto streamed = Resampler::Create(c.in, c.out, 2);
    std::vector<float> pieces;
    std::vector<float> piece(2 * 700);
    size_t pushed = 0;
    for (size_t step = 0; pushed < c.frames || step == 0; ++step) {
      const size_t take = std::min<size_t>(c.frames - pushed, 1 + step * 613 % 3000);
      streamed->Push(std::span(input).subspan(2 * pushed, 2 * take));
      pushed += take;
      const size_t got = streamed->Pull(piece.data(), 1 + step * 97 % 700);
      pieces.insert(pieces.end(), piece.begin(), piece.begin() + 2 * got);
    }
    streamed->Finish();
    while (size_t got = streamed->Pull(piece.data(), 700)) pieces.insert(pieces.end(), piece.begin(), piece.begin() + 2 * got);
    EXPECT_EQ(pieces, whole);
  }
}

TEST(Resampler, ConvertsEachChannelOfAFrameAsItsOwnSignal) {
  // Stereo, mono and three channels take different paths: each channel must come
  // out as that channel alone would, none swapped or blended with another.
  const std::vector<std::vector<float>> signals = {Sine(1000, 44100, 4410), Sine(3100, 44100, 4410), Sine(170, 44100, 4410)};
  for (unsigned out : {48000u, 44099u}) {
    std::vector<std::vector<float>> alone;
    for (const auto& signal : signals) alone.push_back(Convert(*Resampler::Create(44100, out, 1), signal));
    for (unsigned channels : {2u, 3u}) {
      std::vector<float> interleaved;
      for (size_t i = 0; i < signals[0].size(); ++i) {
        for (unsigned channel = 0; channel < channels; ++channel) interleaved.push_back(signals[channel][i]);
      }
      const std::vector<float> together = Convert(*Resampler::Create(44100, out, channels), interleaved);
      ASSERT_EQ(together.size(), alone[0].size() * channels) << channels;
      for (size_t frame = 0; frame < alone[0].size(); ++frame) {
        for (unsigned channel = 0; channel < channels; ++channel) {
          ASSERT_NEAR(together[frame * channels + channel], alone[channel][frame], 1e-5) << out << " Hz, " << channels << " channels, frame " << frame;
        }
      }
    }
  }
}

TEST(Resampler, TakesAnyPairOfRatesInItsRangeAndNoOther) {
  EXPECT_NE(Resampler::Create(1000, 384000, 1), nullptr);
  EXPECT_NE(Resampler::Create(384000, 1000, 8), nullptr);
  EXPECT_NE(Resampler::Create(383999, 1009, 2), nullptr);
  EXPECT_EQ(Resampler::Create(999, 48000, 2), nullptr);
  EXPECT_EQ(Resampler::Create(48000, 384001, 2), nullptr);
  EXPECT_EQ(Resampler::Create(48000, 0, 2), nullptr);
  EXPECT_EQ(Resampler::Create(48000, 44100, 0), nullptr);
}

}  // namespace
}  // namespace kivora::audio

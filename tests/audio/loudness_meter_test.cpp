// Integrated loudness against signals whose loudness is known: the EBU's test
// cases 1-4 (1 kHz tones, 48 kHz stereo, with gated quiet parts), the same tone
// at other rates and in mono, and the gain that matches a clip to a target.
#include "audio/dsp/loudness_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace kivora::audio {
namespace {

struct Part {
  double dbfs;
  double seconds;
};

// A 1 kHz sine of the given peak level per part, on every channel, phase continuous.
std::vector<float> Tone(unsigned rate, unsigned channels, std::vector<Part> parts) {
  std::vector<float> samples;
  size_t n = 0;
  for (const Part& part : parts) {
    const double amplitude = std::pow(10.0, part.dbfs / 20.0);
    const auto frames = static_cast<size_t>(part.seconds * rate);
    for (size_t i = 0; i < frames; ++i, ++n) {
      const auto value = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * n / rate));
      for (unsigned c = 0; c < channels; ++c) samples.push_back(value);
    }
  }
  return samples;
}

double Measure(unsigned rate, unsigned channels, const std::vector<float>& samples, size_t chunk = 4096) {
  LoudnessMeter meter(rate, channels);
  for (size_t at = 0; at < samples.size(); at += chunk) {
    meter.Add(std::span(samples).subspan(at, std::min(chunk, samples.size() - at)));
  }
  return meter.IntegratedLufs();
}

TEST(LoudnessMeter, MatchesKnownLoudnessOfGeneratedSignals) {
  struct Case {
    const char* name;
    unsigned rate, channels;
    std::vector<Part> parts;
    double lufs;
  };
  const std::vector<Case> cases = {
      {"EBU case 1", 48000, 2, {{-23, 20}}, -23.0},
      {"EBU case 2", 48000, 2, {{-33, 20}}, -33.0},
      {"EBU case 3: relative gate", 48000, 2, {{-36, 10}, {-23, 60}, {-36, 10}}, -23.0},
      {"EBU case 4: both gates", 48000, 2, {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.0},
      {"44.1 kHz", 44100, 2, {{-23, 20}}, -23.0},
      {"22.05 kHz", 22050, 2, {{-23, 20}}, -23.0},
      {"96 kHz", 96000, 2, {{-23, 20}}, -23.0},
      {"mono counts as both channels", 44100, 1, {{-23, 20}}, -23.0},
  };
  for (const Case& c : cases) {
    // An odd chunk size puts block edges inside a call.
    EXPECT_NEAR(Measure(c.rate, c.channels, Tone(c.rate, c.channels, c.parts), 1237), c.lufs, 0.1) << c.name;
  }
}

// A clip that changes format part-way (two MP3 files joined) is measured whole:
// the second part at its own rate, each part as loud as the other.
TEST(LoudnessMeter, AChangeOfFormatPartWayKeepsTheMeasureWhole) {
  LoudnessMeter meter(44100, 2);
  meter.Add(Tone(44100, 2, {{-33, 10}}));
  meter.SetFormat(22050, 1);
  meter.Add(Tone(22050, 1, {{-23, 10}}));
  // Both parts pass the relative gate (10 LU apart, on its edge less a little):
  // the mean of -33 and -23 LUFS by energy is about -25.6 LUFS.
  const double expected = -0.691 + 10.0 * std::log10((std::pow(10.0, (-33 + 0.691) / 10) + std::pow(10.0, (-23 + 0.691) / 10)) / 2);
  EXPECT_NEAR(meter.IntegratedLufs(), expected, 0.2);
}

// A clip shorter than one 400 ms block is one block over its whole length, so a
// short click or knock is matched as a longer sound is.
TEST(LoudnessMeter, ClipsShorterThanABlockAreMeasuredWholeAndSilenceHasNoLoudness) {
  EXPECT_TRUE(std::isinf(Measure(48000, 2, std::vector<float>(48000 * 2, 0.0f))));
  EXPECT_TRUE(std::isinf(Measure(48000, 2, {})));
  for (double seconds : {0.05, 0.2, 0.39}) {
    EXPECT_NEAR(Measure(48000, 2, Tone(48000, 2, {{-10, seconds}})), -10.0, 0.3) << seconds;
    EXPECT_NEAR(Measure(44100, 1, Tone(44100, 1, {{-20, seconds}}), 1000), -20.0, 0.3) << seconds << " mono";
  }
  EXPECT_TRUE(std::isinf(Measure(48000, 2, Tone(48000, 2, {{-75, 0.3}})))) << "under the absolute gate";
  EXPECT_TRUE(std::isinf(Measure(48000, 2, Tone(48000, 2, {{-75, 5}}))));
}

// A quarter-rate sine sampled 45 degrees off its crests: every sample sits 3 dB under
// the wave's true peak, which only the oversampled peak sees.
TEST(LoudnessMeter, KeepsTheSamplePeakAndTheTruePeakBetweenSamples) {
  LoudnessMeter meter(48000, 2);
  std::vector<float> samples;
  for (int n = 0; n < 4800; ++n) {
    const auto value = static_cast<float>(0.5 * std::sin(std::numbers::pi / 2 * n + std::numbers::pi / 4));
    samples.push_back(value);
    samples.push_back(n == 100 ? -0.2f : 0.0f);
  }
  meter.Add(samples);
  EXPECT_NEAR(meter.SamplePeak(), 0.5f / std::sqrt(2.0f), 1e-4);
  EXPECT_NEAR(20.0 * std::log10(meter.TruePeak()), 20.0 * std::log10(0.5), 0.5);

  LoudnessMeter single(48000, 1);
  const std::vector<float> one = {0.1f, -0.7f, 0.3f, 0.2f};
  single.Add(one);
  EXPECT_FLOAT_EQ(single.SamplePeak(), 0.7f);
  EXPECT_GE(single.TruePeak(), 0.7f);
}

TEST(MatchingGain, ReachesTheTargetUnlessThePeakWouldPassTheCeilingOrTheGainItsCap) {
  struct Case {
    double lufs;
    float truePeak;
    double expectedDb;
  };
  const Case cases[] = {
      {-30.0, 0.1f, 10.0},   // 10 dB up, peak -20 dBTP -> -10 dBTP: fine
      {-10.0, 0.9f, -10.0},  // turned down
      {-40.0, 0.5f, -1.0 - 20.0 * std::log10(0.5)},  // 20 dB wanted, only ~5 dB under the ceiling
      {-60.0, 0.001f, kMostMatchingGainDb},          // hiss at -60: 40 dB wanted, 20 given
      {-40.0, 0.0f, 0.0},                            // no peak, no trust: as it is
      {-INFINITY, 0.5f, 0.0},                        // nothing measurable
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(20.0 * std::log10(MatchingGain(c.lufs, c.truePeak, -20.0, -1.0)), c.expectedDb, 1e-4) << c.lufs;
  }
}

}  // namespace
}  // namespace kivora::audio

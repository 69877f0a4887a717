// The ring between two clocks, on scripted devices: drift, late hand-overs and
// stalls, for hours of simulated time. Every block is checked for a repeat, a
// gap and its first sample against the tone at its read position; the fill for
// its distance from the target; the delay it adds beyond the devices' own buffers.
// Pure code: also built natively under the sanitizers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/dsp/clock_bridge.h"
#include "audio/dsp/drift_interpolator.h"
#include "support/scripted_clocks.h"

namespace kivora::audio {
namespace {

using testing::ClockRun;
using testing::ClockScript;
using testing::HeldConfigFor;
using testing::RunScriptedClocks;

constexpr double kPeriod = 0.010;

TEST(ClockBridge, HoldsTheFillThroughDriftAndJitterForHours) {
  struct Case {
    const char* name;
    double seconds, captureDrift, renderDrift;
    unsigned channels;
  } cases[] = {
      // Hours are for what adds up slowly (positions, times, the integral): one channel does.
      {"capture 500 ppm fast, four hours", 4 * 3600.0, 500e-6, 0, 1},
      {"capture 500 ppm slow", 600, -500e-6, 0, 2},
      {"render 500 ppm fast, capture 250 ppm slow", 600, -250e-6, 500e-6, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClockScript script;
    script.seconds = c.seconds;
    script.captureDrift = c.captureDrift;
    script.renderDrift = c.renderDrift;
    script.channels = c.channels;
    script.captureJitter = script.renderJitter = kPeriod;  // one period each side
    const ClockRun run = RunScriptedClocks(script, HeldConfigFor(script));
    EXPECT_GT(run.addedLatencyMs.size(), c.seconds * 99);
    EXPECT_LE(run.worstFillErrorMs, 2.0);
    EXPECT_EQ(run.stats.silentFrames, 0u);
    EXPECT_EQ(run.repeatedBlocks, 0u);
    EXPECT_EQ(run.wrongBlocks, 0u);
    EXPECT_EQ(run.stats.overflowFrames, 0u);
    EXPECT_EQ(run.stats.realignments, 0u);
    EXPECT_LE(run.Percentile(0.5), 20.0);
    EXPECT_LE(run.Percentile(0.99), 30.0);
    // The loop has learnt the rate difference, within a few ppm.
    const double ratio = (1 + c.captureDrift) / (1 + c.renderDrift) - 1;
    EXPECT_NEAR(run.stats.correction, ratio, 20e-6);
  }
}

TEST(ClockBridge, AStallOnEitherSideNeverRepeatsAndKeepsTheDelay) {
  // A render side that sleeps 50 ms lets its own device run dry: the bridge
  // then skips the input whose time passed in one jump and plays on without a
  // silent frame of its own. A capture side that hands nothing over for 50 ms
  // leaves the reader without input for that time less its cushion: that much
  // silence, at its time, and the voice goes on at the same delay after it.
  ClockScript script;
  script.seconds = 30;
  script.captureDrift = 500e-6;
  script.captureJitter = script.renderJitter = kPeriod;

  ClockScript renderStall = script;
  renderStall.renderStallAt = 10.0;
  renderStall.renderStall = 0.050;
  const ClockRun asleep = RunScriptedClocks(renderStall, HeldConfigFor(renderStall));
  EXPECT_EQ(asleep.stats.silentFrames, 0u);
  EXPECT_EQ(asleep.stats.realignments, 1u);
  EXPECT_EQ(asleep.repeatedBlocks, 0u);
  EXPECT_EQ(asleep.wrongBlocks, 0u);
  EXPECT_LE(asleep.worstFillErrorMs, 2.0);

  ClockScript captureStall = script;
  captureStall.captureStallAt = 10.0;
  captureStall.captureStall = 0.050;
  const ClockRun starved = RunScriptedClocks(captureStall, HeldConfigFor(captureStall));
  EXPECT_GT(starved.stats.silentFrames, 0u);
  EXPECT_LE(starved.stats.silentFrames, 0.050 * script.rate);
  EXPECT_LE(starved.silentBlocks, 5u);
  EXPECT_EQ(starved.repeatedBlocks, 0u);
  EXPECT_EQ(starved.wrongBlocks, 0u);
  EXPECT_EQ(starved.stats.realignments, 0u);
  EXPECT_LE(starved.worstFillErrorMs, 2.0);
  EXPECT_LE(starved.Percentile(0.99), 30.0);
}

TEST(ClockBridge, ConvertsBetweenNominalRatesWhileFollowingDrift) {
  for (const auto& [in, out] : {std::pair{44100u, 48000u}, std::pair{96000u, 48000u}, std::pair{48000u, 16000u}}) {
    SCOPED_TRACE(std::to_string(in) + " -> " + std::to_string(out));
    ClockScript script;
    script.seconds = 120;
    script.rate = in;
    script.capturePeriod = in / 100;
    script.captureDrift = -400e-6;
    script.captureJitter = kPeriod;
    script.outRate = out;
    script.renderPeriod = out / 100;
    const ClockRun run = RunScriptedClocks(script, HeldConfigFor(script));
    EXPECT_EQ(run.stats.silentFrames, 0u);
    EXPECT_EQ(run.repeatedBlocks, 0u);
    EXPECT_EQ(run.wrongBlocks, 0u);
    EXPECT_LE(run.worstFillErrorMs, 2.0);
  }
}

TEST(ClockBridge, FreeReadingWaitsForLateInputAndLosesNone) {
  // Devices that run at any pace (Wine's file devices): nothing is skipped and
  // nothing is held to a time, every frame written is read once, in order.
  auto bridge = ClockBridge::Create({.inRate = 48000, .outRate = 48000, .channels = 1, .policy = FillPolicy::kFree,
                                     .targetSeconds = 0.05, .capacitySeconds = 4});
  ASSERT_TRUE(bridge);
  std::vector<float> written;
  std::vector<float> read;
  std::vector<float> block(480), out(480);
  float value = 0;
  // The capture side runs in bursts, now faster, now slower than the reader.
  for (int round = 0; round < 2000; ++round) {
    const int blocks = round % 7 == 0 ? 0 : round % 3 + 1;
    for (int b = 0; b < blocks && written.size() < 48000 * 10; ++b) {
      for (float& sample : block) written.push_back(sample = std::sin(value += 0.0577f) * 0.5f);
      bridge->Write(block, -1.0);
    }
    bridge->Read(out.data(), out.size(), 0.0);
    read.insert(read.end(), out.begin(), out.end());
  }
  const ClockBridge::Stats stats = bridge->CurrentStats();
  EXPECT_EQ(stats.overflowFrames, 0u);
  EXPECT_EQ(stats.realignments, 0u);
  // Reading starts after the cushion at the filter's first whole frame; from
  // there the output is the input through the filter, frame for frame.
  const size_t lead = static_cast<size_t>(std::find_if(read.begin(), read.end(), [](float s) { return s != 0.0f; }) - read.begin());
  const double position = bridge->ReadPosition();
  ASSERT_GT(position, 48000.0 * 5);
  const size_t skipped = 15;  // the filter's history at the start
  size_t compared = 0;
  for (size_t i = lead, at = skipped; i < read.size() && at + 16 < written.size() && at < static_cast<size_t>(position); ++at) {
    // Frames read while the input was late are silence in between: skip them.
    while (i < read.size() && read[i] == 0.0f && std::abs(written[at]) > 0.01f) ++i;
    if (i >= read.size()) break;
    ASSERT_NEAR(read[i], written[at], 0.02) << "frame " << at;
    ++i;
    ++compared;
  }
  EXPECT_GT(compared, 48000u * 5);
}

TEST(ClockBridge, EveryFrameIsTheFilteredInputWhereTheRingWrapsAndAroundSilence) {
  // The reader filters straight out of the ring, and passes silence on without
  // filtering: a reach that crosses the ring's end reads the frames written at
  // its start, and a reach that holds any sound is filtered. A small ring wraps
  // every few blocks; the input is ten blocks of sound, then ten of silence
  // (longer than the cushion, so the reader meets the end of the sound written).
  // Every output frame of both channels is checked against the filter run over
  // a plain copy of the input.
  const ClockBridge::Config config{.inRate = 48000, .outRate = 44100, .channels = 2, .policy = FillPolicy::kFree,
                                   .targetSeconds = 0.02, .capacitySeconds = 0.05};
  auto bridge = ClockBridge::Create(config);
  ASSERT_TRUE(bridge);
  const DriftInterpolator filter(config.inRate, config.outRate, config.channels);
  const double step = 48000.0 / 44100.0;
  std::vector<float> input;  // everything written, interleaved
  std::vector<float> block(2 * 480), out(2 * 441);
  size_t checked = 0, silent = 0;
  for (int round = 0; round < 600; ++round) {
    for (size_t i = 0; i < 480; ++i) {
      const double frame = static_cast<double>(input.size() / 2 + i);
      const bool quiet = round / 10 % 2 == 1;
      block[2 * i] = quiet ? 0.0f : static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 441.0 * frame / 48000.0));
      block[2 * i + 1] = quiet ? 0.0f : static_cast<float>(0.4 * std::cos(2 * std::numbers::pi * 1234.5 * frame / 48000.0));
    }
    input.insert(input.end(), block.begin(), block.end());
    bridge->Write(block, -1.0);
    const double position = bridge->ReadPosition();
    const uint64_t silentBefore = bridge->CurrentStats().silentFrames;
    bridge->Read(out.data(), 441, 0.0);
    if (position < 0 || bridge->CurrentStats().silentFrames != silentBefore) continue;
    double whole = std::floor(position), fraction = position - whole;
    for (size_t i = 0; i < 441; ++i, ++checked) {
      float expected[2];
      filter.Frame(&input[2 * static_cast<size_t>(whole)], fraction, expected);
      ASSERT_NEAR(out[2 * i], expected[0], 1e-5) << "frame " << whole + fraction;
      ASSERT_NEAR(out[2 * i + 1], expected[1], 1e-5) << "frame " << whole + fraction;
      if (expected[0] == 0.0f && expected[1] == 0.0f) ++silent;
      fraction += step;
      whole += std::floor(fraction);
      fraction -= std::floor(fraction);
    }
  }
  EXPECT_GT(checked, 441u * 500);
  EXPECT_GT(silent, 441u * 50);
  EXPECT_EQ(bridge->CurrentStats().overflowFrames, 0u);
}

TEST(ClockBridge, RefusesWhatItCannotHold) {
  const ClockBridge::Config good;
  ClockBridge::Config c = good;
  EXPECT_TRUE(ClockBridge::Create(c));
  c.channels = 0;
  EXPECT_FALSE(ClockBridge::Create(c));
  c = good;
  c.inRate = 999;
  EXPECT_FALSE(ClockBridge::Create(c));
  c = good;
  c.targetSeconds = c.capacitySeconds;
  EXPECT_FALSE(ClockBridge::Create(c));
  c = good;
  c.capacitySeconds = NAN;
  EXPECT_FALSE(ClockBridge::Create(c));
}

TEST(ClockBridge, AFullRingCountsWhatItDrops) {
  auto bridge = ClockBridge::Create({.channels = 1, .targetSeconds = 0.01, .capacitySeconds = 0.02});
  ASSERT_TRUE(bridge);
  std::vector<float> block(1000, 0.25f);
  for (int i = 0; i < 3; ++i) bridge->Write(block, i * 1000 / 48000.0);
  const ClockBridge::Stats stats = bridge->CurrentStats();
  EXPECT_EQ(stats.framesWritten + stats.overflowFrames, 3000u);
  EXPECT_EQ(stats.framesWritten, 1024u);  // the ring's room: a power of two
}

}  // namespace
}  // namespace kivora::audio

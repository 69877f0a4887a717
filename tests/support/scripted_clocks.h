// Two scripted devices on clocks of their own, joined by a ClockBridge: a
// capture device that hands over a period of a tone at a time, late by up to
// its jitter, and a render device that asks for a period at a time. Simulated
// time, so hours run in seconds. Used by the bridge's tests and its benchmark.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "audio/dsp/clock_bridge.h"

namespace kivora::testing {

struct ClockScript {
  double seconds = 60;
  double captureDrift = 0;   // +0.0005: the capture clock runs 500 ppm fast
  double renderDrift = 0;
  double captureJitter = 0;  // a period is handed over up to this late (seconds)
  double renderJitter = 0;   // the render side wakes up to this late
  double captureStallAt = -1, captureStall = 0;  // nothing handed over for a while, then all at once
  double renderStallAt = -1, renderStall = 0;    // the render side sleeps through its buffer
  unsigned rate = 48000;      // the capture side's
  unsigned outRate = 0;       // the render side's, when not the same
  unsigned channels = 2;
  unsigned capturePeriod = 480;
  unsigned renderPeriod = 480;
  unsigned renderPeriods = 2;  // the render device's buffer, in periods
  uint32_t seed = 1;
};

struct ClockRun {
  std::vector<float> addedLatencyMs;  // per block: capture to sound, less both devices' own buffers
  double worstFillErrorMs = 0;
  uint64_t repeatedBlocks = 0;   // blocks whose read position did not move forward by a block
  uint64_t wrongBlocks = 0;      // blocks whose first sample is not the tone at their position
  uint64_t silentBlocks = 0;     // blocks with a silent frame after reading started
  audio::ClockBridge::Stats stats;

  double Percentile(double fraction) const {
    if (addedLatencyMs.empty()) return 0;
    std::vector<float> sorted = addedLatencyMs;
    const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(fraction * sorted.size()));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(at), sorted.end());
    return sorted[at];
  }
};

inline audio::ClockBridge::Config HeldConfigFor(const ClockScript& script) {
  audio::ClockBridge::Config config;
  config.inRate = script.rate;
  config.outRate = script.outRate ? script.outRate : script.rate;
  config.channels = script.channels;
  config.targetSeconds = audio::ClockBridge::HeldTarget(static_cast<double>(script.capturePeriod) / script.rate,
                                                        static_cast<double>(script.renderPeriod * script.renderPeriods) / config.outRate,
                                                        script.rate);
  return config;
}

inline ClockRun RunScriptedClocks(const ClockScript& script, const audio::ClockBridge::Config& config) {
  constexpr double kTone = 441.0;  // Hz: its value at any fractional frame is known
  ClockRun run;
  auto bridge = audio::ClockBridge::Create(config);
  if (!bridge) return run;
  std::mt19937 random(script.seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const unsigned channels = script.channels;
  const double captureRate = script.rate * (1 + script.captureDrift);
  const double renderRate = (script.outRate ? script.outRate : script.rate) * (1 + script.renderDrift);
  const double capturePeriod = script.capturePeriod / captureRate;
  const double renderPeriod = script.renderPeriod / renderRate;
  const double ownBuffers = script.capturePeriod / captureRate + script.renderPeriods * renderPeriod;
  const double renderStart = 0.1037;  // any phase against the capture side

  std::vector<float> block(script.capturePeriod * channels);
  std::vector<float> out(script.renderPeriod * channels);
  // The tone by rotation, renewed from the exact value every block.
  const double omega = 2 * std::numbers::pi * kTone / script.rate;
  const auto toneAt = [&](double frame) { return 0.5 * std::sin(omega * frame); };

  uint64_t captureBlock = 0, renderBlock = 0;
  double lastDelivery = 0, lastPull = 0, renderOffset = 0;
  const auto delivery = [&](uint64_t k) {
    double at = (k + 1) * capturePeriod + unit(random) * script.captureJitter;
    if (at >= script.captureStallAt && at < script.captureStallAt + script.captureStall) at = script.captureStallAt + script.captureStall;
    return lastDelivery = std::max(at, lastDelivery);
  };
  const auto pull = [&](uint64_t j) {
    double at = renderStart + j * renderPeriod + renderOffset + unit(random) * script.renderJitter;
    if (at >= script.renderStallAt && at < script.renderStallAt + script.renderStall) at = script.renderStallAt + script.renderStall;
    return lastPull = std::max(at, lastPull);
  };
  double nextDelivery = delivery(0), nextPull = pull(0);
  while (std::min(nextDelivery, nextPull) < script.seconds) {
    if (nextDelivery <= nextPull) {
      const double first = static_cast<double>(captureBlock) * script.capturePeriod;
      const double c = std::cos(omega), s = std::sin(omega);
      double re = std::cos(omega * first), im = std::sin(omega * first);
      for (unsigned i = 0; i < script.capturePeriod; ++i) {
        for (unsigned channel = 0; channel < channels; ++channel) block[i * channels + channel] = static_cast<float>(0.5 * im);
        const double nextRe = re * c - im * s;
        im = re * s + im * c;
        re = nextRe;
      }
      bridge->Write(block, captureBlock * capturePeriod);
      nextDelivery = delivery(++captureBlock);
      continue;
    }
    double playTime = renderStart + renderBlock * renderPeriod + (script.renderPeriods - 1) * renderPeriod + renderOffset;
    // A render side that slept through its buffer starts its device again: the
    // device lost that time, and everything after it plays that much later.
    if (nextPull > playTime) {
      renderOffset += nextPull - playTime;
      playTime = nextPull;
    }
    const double before = bridge->ReadPosition();
    const audio::ClockBridge::Stats was = bridge->CurrentStats();
    bridge->Read(out.data(), script.renderPeriod, playTime);
    const audio::ClockBridge::Stats now = bridge->CurrentStats();
    const double after = bridge->ReadPosition();
    if (before >= 0 && now.realignments == was.realignments) {
      run.worstFillErrorMs = std::max(run.worstFillErrorMs, std::abs(now.fillErrorSeconds) * 1e3);
      run.addedLatencyMs.push_back(static_cast<float>((playTime - before / captureRate - ownBuffers) * 1e3));
      if (!(after - before > 0.5 * script.renderPeriod * config.inRate / config.outRate)) ++run.repeatedBlocks;
      if (now.silentFrames != was.silentFrames) {
        ++run.silentBlocks;
      } else if (std::abs(out[0] - toneAt(before)) > 0.01) {
        ++run.wrongBlocks;
      }
    }
    nextPull = pull(++renderBlock);
  }
  run.stats = bridge->CurrentStats();
  return run;
}

}  // namespace kivora::testing

// Fuzzes the ring between two clocks: any rates, one to eight channels, either
// policy, any target and room, and any sequence of writes and reads with any
// times (backwards, jumps of hours, not finite). Nothing may read or write
// outside its buffers, every read fills exactly what it asks for with bounded
// samples, and the counts add up: what was written plus what did not fit is
// what was offered.
// Input: 3 bytes of input rate, 3 of output rate, 1 of channels and policy, 1 of
// target, 1 of room, then ops of 4 bytes each: what (write, read, jump the
// clock) and a count.
// Run by hand for longer: scripts/run-fuzzer.sh build/native/clock_bridge_fuzzer tests/native/corpus/clock_bridge 600
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "audio/dsp/clock_bridge.h"

namespace {

using kivora::audio::ClockBridge;
using kivora::audio::FillPolicy;

unsigned RateFrom(const uint8_t* bytes) {
  const unsigned raw = bytes[0] | bytes[1] << 8 | bytes[2] << 16;
  return 1000 + raw % (384000 - 1000 + 1);
}

[[noreturn]] void Fail(const char* what, uint64_t a, uint64_t b) {
  std::fprintf(stderr, "clock bridge: %s (%llu, %llu)\n", what, static_cast<unsigned long long>(a),
               static_cast<unsigned long long>(b));
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  ClockBridge::Config config;
  config.inRate = RateFrom(data);
  config.outRate = RateFrom(data + 3);
  config.channels = 1 + data[6] % 8;
  config.policy = data[6] & 0x80 ? FillPolicy::kFree : FillPolicy::kHeld;
  config.targetSeconds = data[7] / 1000.0;
  config.capacitySeconds = 0.01 + data[8] / 100.0;
  auto bridge = ClockBridge::Create(config);
  if (!bridge) {
    if (config.targetSeconds < config.capacitySeconds) Fail("refused a valid config", config.inRate, config.outRate);
    return 0;
  }
  const unsigned channels = config.channels;
  double captureTime = 0, playTime = 0;
  uint64_t offered = 0;
  float wave = 0;
  std::vector<float> buffer;
  for (size_t at = 9; at + 4 <= size; at += 4) {
    const unsigned count = (data[at + 1] | data[at + 2] << 8) % 4096;
    switch (data[at] % 4) {
      case 0: {
        buffer.resize(static_cast<size_t>(count) * channels);
        for (float& sample : buffer) sample = (wave = std::fmod(wave + 0.37f + data[at + 3] / 256.0f, 2.0f)) - 1.0f;
        bridge->Write(buffer, captureTime);
        offered += count;
        captureTime += static_cast<double>(count) / config.inRate * (0.5 + data[at + 3] / 256.0);
        break;
      }
      case 1: {
        buffer.assign(static_cast<size_t>(count) * channels, 1e9f);
        bridge->Read(buffer.data(), count, playTime);
        for (size_t i = 0; i < buffer.size(); ++i) {
          // A row sums to 1 and its magnitudes to a few units: garbage or an unwritten frame shows as more.
          if (!(std::abs(buffer[i]) < 16.0f)) Fail("sample out of range", i, count);
        }
        playTime += static_cast<double>(count) / config.outRate * (0.5 + data[at + 3] / 256.0);
        break;
      }
      case 2: {
        // The clocks jump: forwards, backwards, by hours, or to nothing finite.
        const double jumps[] = {0.05, -0.05, 3600.0, -3600.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(), 0.0};
        (data[at + 3] & 1 ? playTime : captureTime) += jumps[data[at + 3] / 2 % 8];
        if (!std::isfinite(playTime)) playTime = data[at + 3] & 2 ? playTime : 0.0;
        break;
      }
      default:
        (void)bridge->CurrentStats();
        (void)bridge->ReadPosition();
    }
  }
  const ClockBridge::Stats stats = bridge->CurrentStats();
  if (stats.framesWritten + stats.overflowFrames != offered) Fail("counts do not add up", stats.framesWritten, offered);
  return 0;
}

// The last stage of an output's mix, before its device's samples: whatever many
// loud voices add up to, nothing leaves it beyond full scale, and nothing is cut
// flat. While the mix stays within full scale the limiter's gain is exactly 1 and
// samples pass bit for bit, so one sound alone is never touched. A frame beyond
// full scale lowers the gain at once to just what keeps it inside, so the wave
// keeps its shape and only its level drops; the gain holds while the mix stays
// near that level, so it does not ride each cycle of the wave, then rises back
// to exactly 1 at a steady rate in decibels.
// State of one output, owned by its device thread. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kivora::audio {

class SafetyLimiter {
 public:
  static constexpr float kCeiling = 1.0f;
  static constexpr double kHoldSeconds = 0.05;
  // A frame that needs a gain within this factor of the one held holds it again.
  static constexpr float kHoldBand = 1.122f;  // 1 dB
  static constexpr double kReleaseDecibelsPerSecond = 60;

  explicit SafetyLimiter(unsigned rate) { SetRate(rate); }
  void SetRate(unsigned rate);

  // Limits frames of interleaved samples in place.
  void Process(float* samples, size_t frames, unsigned channels);

  float Gain() const { return gain_; }

 private:
  float gain_ = 1.0f;
  float releaseFactor_ = 1;  // per frame
  int64_t holdFrames_ = 0;
  int64_t held_ = 0;  // frames left before the gain may rise
};

}  // namespace kivora::audio

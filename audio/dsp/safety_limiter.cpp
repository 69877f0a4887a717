#include "audio/dsp/safety_limiter.h"

#include <algorithm>
#include <cmath>

namespace kivora::audio {

void SafetyLimiter::SetRate(unsigned rate) {
  rate = std::max(rate, 1u);
  releaseFactor_ = static_cast<float>(std::pow(10.0, kReleaseDecibelsPerSecond / 20.0 / rate));
  holdFrames_ = static_cast<int64_t>(kHoldSeconds * rate);
}

void SafetyLimiter::Process(float* samples, size_t frames, unsigned channels) {
  for (size_t frame = 0; frame < frames; ++frame) {
    float* at = samples + frame * channels;
    float peak = 0;
    for (unsigned channel = 0; channel < channels; ++channel) {
      // A sample that is no finite number (a broken decode) is silence, not a reason to mute the rest.
      if (!std::isfinite(at[channel])) at[channel] = 0;
      peak = std::max(peak, std::fabs(at[channel]));
    }
    // The gain this frame can take: a frame beyond the ceiling lowers it at once.
    const float allowed = peak > kCeiling ? kCeiling / peak : 1.0f;
    if (peak > kCeiling && allowed < gain_ * kHoldBand) {
      gain_ = std::min(gain_, allowed);
      held_ = holdFrames_;
    } else if (held_ > 0) {
      --held_;
    } else if (gain_ < 1.0f) {
      gain_ = std::min({gain_ * releaseFactor_, allowed, 1.0f});
    }
    if (gain_ == 1.0f) continue;
    for (unsigned channel = 0; channel < channels; ++channel) at[channel] = std::min(at[channel] * gain_, kCeiling);
  }
}

}  // namespace kivora::audio

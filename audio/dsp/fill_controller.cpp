#include "audio/dsp/fill_controller.h"

#include <algorithm>
#include <cmath>

namespace kivora::audio {
namespace {
constexpr double kTwoPi = 6.28318530717958647692;
}

FillController::FillController(const Tuning& tuning) : tuning_(tuning) {
  // The fill integrates the rate difference less the correction (e' = d - c), so
  // with c = kp e + ki \int e the loop is e'' + kp e' + ki e = 0.
  const double omega = kTwoPi * tuning_.naturalHz;
  proportional_ = 2 * tuning_.damping * omega;
  integral_gain_ = omega * omega;
}

double FillController::Update(double errorSeconds, double elapsedSeconds) {
  if (!std::isfinite(errorSeconds) || !(elapsedSeconds > 0)) return correction_;
  if (!started_) {
    smoothed_ = errorSeconds;
    started_ = true;
  } else {
    const double alpha = 1.0 - std::exp(-kTwoPi * tuning_.smoothingHz * elapsedSeconds);
    smoothed_ += alpha * (errorSeconds - smoothed_);
  }
  // The integral stops at the limit, so a long stall does not wind it up.
  integral_ = std::clamp(integral_ + integral_gain_ * smoothed_ * elapsedSeconds, -tuning_.limit, tuning_.limit);
  correction_ = std::clamp(proportional_ * smoothed_ + integral_, -tuning_.limit, tuning_.limit);
  return correction_;
}

void FillController::Reset() {
  integral_ = 0;
  smoothed_ = 0;
  correction_ = 0;
  started_ = false;
}

}  // namespace kivora::audio

#include "audio/dsp/voice_envelope.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kivora::audio {

int64_t FramesOfMilliseconds(int64_t ms, unsigned rate) {
  if (ms <= 0) return 0;
  return (ms * static_cast<int64_t>(rate) + 500) / 1000;
}

float GainOfDecibels(double decibels) { return static_cast<float>(std::pow(10.0, decibels / 20.0)); }

FrameRange TrimmedRange(int64_t totalFrames, int64_t headFrames, int64_t tailFrames) {
  totalFrames = std::max<int64_t>(totalFrames, 0);
  const int64_t first = std::clamp<int64_t>(headFrames, 0, totalFrames);
  const int64_t end = std::clamp<int64_t>(totalFrames - std::max<int64_t>(tailFrames, 0), first, totalFrames);
  return {first, end};
}

int64_t ClipFrameOf(int64_t played, FrameRange range, bool loop) {
  const int64_t length = range.Length();
  if (loop && length > 0) return range.first + played % length;
  return range.first + played;
}

namespace {

// The half cosine in steps fine enough that a straight line between two of them
// stays within 4e-8 of the curve, less than a float's step near full gain: a
// cosine for every frame of every fade costs more than the mix it shapes.
constexpr size_t kCurveSteps = 4096;

std::array<float, kCurveSteps + 1> CurveTable() {
  std::array<float, kCurveSteps + 1> table{};
  for (size_t i = 0; i <= kCurveSteps; ++i) {
    table[i] = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / kCurveSteps));
  }
  return table;
}

const std::array<float, kCurveSteps + 1> kCurve = CurveTable();

}  // namespace

float FadeCurve(double x) {
  if (x <= 0) return 0.0f;
  if (x >= 1) return 1.0f;
  const double at = x * kCurveSteps;
  const size_t step = std::min(static_cast<size_t>(at), kCurveSteps - 1);
  const float within = static_cast<float>(at - static_cast<double>(step));
  return kCurve[step] + (kCurve[step + 1] - kCurve[step]) * within;
}

Envelope::Envelope(int64_t fadeInFrames, int64_t fadeOutFrames, int64_t length, bool loop)
    : fadeIn_(std::max<int64_t>(fadeInFrames, 0)),
      fadeOut_(std::max<int64_t>(fadeOutFrames, 0)),
      length_(length),
      loop_(loop) {}

void Envelope::StopAt(int64_t played, int64_t fadeFrames) {
  const int64_t end = played + std::max<int64_t>(fadeFrames, 0);
  if (stopEnd_ >= 0 && stopEnd_ <= end) return;
  stopStart_ = played;
  stopEnd_ = end;
}

float Envelope::GainAt(int64_t played) const {
  if (played < 0 || Done(played)) return 0.0f;
  double gain = 1.0;
  if (played < fadeIn_) gain *= FadeCurve(static_cast<double>(played) / static_cast<double>(fadeIn_));
  // A fade of n frames: its first frame at full gain, the silence it ends in just after its last.
  if (!loop_ && length_ >= 0 && fadeOut_ > 0 && length_ - played < fadeOut_) {
    gain *= FadeCurve(static_cast<double>(length_ - played) / static_cast<double>(fadeOut_));
  }
  if (stopEnd_ >= 0 && played >= stopStart_) {
    gain *= FadeCurve(static_cast<double>(stopEnd_ - played) / static_cast<double>(stopEnd_ - stopStart_));
  }
  return static_cast<float>(gain);
}

bool Envelope::Done(int64_t played) const {
  if (stopEnd_ >= 0 && played >= stopEnd_) return true;
  if (length_ < 0) return false;
  return length_ == 0 || (!loop_ && played >= length_);
}

bool Envelope::FullOver(int64_t played, int64_t frames) const {
  const int64_t last = played + frames;  // one past
  if (played < fadeIn_) return false;
  if (!loop_ && length_ >= 0 && fadeOut_ > 0 && last > length_ - fadeOut_) return false;
  if (stopEnd_ >= 0 && last > stopStart_) return false;
  return !Done(played);
}

void Envelope::Apply(float* samples, size_t frames, unsigned channels, int64_t played) const {
  if (FullOver(played, static_cast<int64_t>(frames))) return;
  for (size_t frame = 0; frame < frames; ++frame) {
    const float gain = GainAt(played + static_cast<int64_t>(frame));
    for (unsigned channel = 0; channel < channels; ++channel) samples[frame * channels + channel] *= gain;
  }
}

}  // namespace kivora::audio

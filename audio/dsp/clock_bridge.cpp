#include "audio/dsp/clock_bridge.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kivora::audio {
namespace {

// A fill this far above its target means the output device lost time of its
// own (a stall long enough to empty its buffer): the read position jumps to the
// target at once rather than dragging the extra delay for seconds. It only ever
// jumps forward, over input whose time has passed, never back over what was played.
constexpr double kRealignAboveSeconds = 0.030;
constexpr double kMaxCapacitySeconds = 16.0;
constexpr unsigned kMaxChannels = 8;
constexpr double kMaxPosition = 4503599627370496.0;  // 2^52

}  // namespace

double ClockBridge::HeldTarget(double captureSeconds, double renderSeconds, unsigned inRate) {
  constexpr double kLoopErrorSeconds = 0.0025;
  const double lookAhead = DriftInterpolator(inRate, inRate, 1).HalfTaps() / static_cast<double>(std::max(1u, inRate));
  return captureSeconds + renderSeconds + captureSeconds + lookAhead + kLoopErrorSeconds;
}

std::unique_ptr<ClockBridge> ClockBridge::Create(const Config& config) {
  const auto validRate = [](unsigned rate) { return rate >= 1000 && rate <= 384000; };
  if (!validRate(config.inRate) || !validRate(config.outRate)) return nullptr;
  if (config.channels == 0 || config.channels > kMaxChannels) return nullptr;
  if (!(config.capacitySeconds > 0 && config.capacitySeconds <= kMaxCapacitySeconds)) return nullptr;
  if (!(config.targetSeconds >= 0 && config.targetSeconds < config.capacitySeconds)) return nullptr;
  return std::unique_ptr<ClockBridge>(new ClockBridge(config));
}

ClockBridge::ClockBridge(const Config& config)
    : config_(config),
      nominalStep_(static_cast<double>(config.inRate) / config.outRate),
      interpolator_(config.inRate, config.outRate, config.channels),
      controller_(config.tuning),
      channels_(config.channels) {
  const size_t wanted = static_cast<size_t>(std::ceil(config.capacitySeconds * config.inRate));
  ringFrames_ = std::bit_ceil(std::max<size_t>(wanted, 1024));
  ring_ = std::make_unique<float[]>(ringFrames_ * channels_);
  // The window holds what the ring holds and the filter's reach on either side.
  window_.assign((ringFrames_ + 4 * static_cast<size_t>(interpolator_.HalfTaps())) * channels_, 0.0f);
}

void ClockBridge::Write(std::span<const float> interleaved, double captureTime) {
  const uint64_t frames = interleaved.size() / channels_;
  const uint64_t head = head_.load(std::memory_order_relaxed);
  const uint64_t room = ringFrames_ - (head - tail_.load(std::memory_order_acquire));
  const uint64_t fits = std::min(frames, room);
  for (uint64_t done = 0; done < fits;) {
    const size_t at = static_cast<size_t>((head + done) % ringFrames_);
    const size_t run = static_cast<size_t>(std::min<uint64_t>(fits - done, ringFrames_ - at));
    std::memcpy(&ring_[at * channels_], interleaved.data() + done * channels_, run * channels_ * sizeof(float));
    done += run;
  }
  head_.store(head + fits, std::memory_order_release);
  if (fits < frames) overflow_.fetch_add(frames - fits, std::memory_order_relaxed);
  if (!std::isfinite(captureTime)) return;
  // The stamp: the block's first frame and its time, as a pair the reader never sees torn.
  const uint64_t sequence = stampSequence_.load(std::memory_order_relaxed);
  stampSequence_.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  stampFrame_.store(head, std::memory_order_relaxed);
  stampTime_.store(captureTime, std::memory_order_relaxed);
  stampSequence_.store(sequence + 2, std::memory_order_release);
}

bool ClockBridge::CapturedBy(double time, double& position) const {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const uint64_t before = stampSequence_.load(std::memory_order_acquire);
    if (before == 0) return false;
    if (before % 2 != 0) continue;
    const uint64_t frame = stampFrame_.load(std::memory_order_relaxed);
    const double stampTime = stampTime_.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (stampSequence_.load(std::memory_order_relaxed) != before) continue;
    position = static_cast<double>(frame) + (time - stampTime) * config_.inRate;
    // A clock that jumped out of reason gives no position: a frame count is whole below 2^52.
    return position > -kMaxPosition && position < kMaxPosition;
  }
  return false;
}

void ClockBridge::Drain() {
  const uint64_t head = head_.load(std::memory_order_acquire);
  uint64_t tail = tail_.load(std::memory_order_relaxed);
  const size_t windowFrames = window_.size() / channels_;
  const uint64_t halfTaps = static_cast<uint64_t>(interpolator_.HalfTaps());
  // Frames the reader no longer needs: those behind the filter's reach once
  // reading, and before that all but the newest ring's worth.
  uint64_t keepFrom = windowStart_;
  if (reading_) {
    keepFrom = base_ >= halfTaps - 1 ? base_ - (halfTaps - 1) : 0;
  } else if (head > ringFrames_) {
    keepFrom = std::max(keepFrom, head - ringFrames_);
  }
  if (keepFrom >= windowEnd_) {
    // Input whose time has passed while it was late is never read: skip it in the ring.
    const uint64_t skip = std::min(keepFrom - windowEnd_, head - tail);
    tail += skip;
    windowEnd_ += skip;
    windowStart_ = windowEnd_;
  } else if (keepFrom > windowStart_) {
    const size_t drop = static_cast<size_t>(keepFrom - windowStart_);
    const size_t kept = static_cast<size_t>(windowEnd_ - keepFrom);
    std::memmove(window_.data(), window_.data() + drop * channels_, kept * channels_ * sizeof(float));
    windowStart_ = keepFrom;
  }
  const uint64_t room = windowFrames - (windowEnd_ - windowStart_);
  const uint64_t take = std::min(head - tail, room);
  float* into = window_.data() + (windowEnd_ - windowStart_) * channels_;
  for (uint64_t done = 0; done < take;) {
    const size_t at = static_cast<size_t>((tail + done) % ringFrames_);
    const size_t run = static_cast<size_t>(std::min<uint64_t>(take - done, ringFrames_ - at));
    std::memcpy(into + done * channels_, &ring_[at * channels_], run * channels_ * sizeof(float));
    done += run;
  }
  windowEnd_ += take;
  tail_.store(tail + take, std::memory_order_release);
}

bool ClockBridge::Start(double playTime) {
  const double history = interpolator_.HalfTaps() - 1;
  double start = 0;
  if (config_.policy == FillPolicy::kFree) {
    if (windowEnd_ - windowStart_ < config_.targetSeconds * config_.inRate + 2 * interpolator_.HalfTaps()) return false;
    start = static_cast<double>(windowStart_) + history;
  } else {
    double captured = 0;
    if (!CapturedBy(playTime, captured)) return false;
    start = captured - config_.targetSeconds * config_.inRate;
    if (start < static_cast<double>(windowStart_) + history) return false;
  }
  base_ = static_cast<uint64_t>(start);
  fraction_ = start - static_cast<double>(base_);
  reading_ = true;
  controller_.Reset();
  return true;
}

void ClockBridge::Realign(double playTime) {
  double captured = 0;
  if (!CapturedBy(playTime, captured)) return;
  const double target = captured - config_.targetSeconds * config_.inRate;
  if (!(target > static_cast<double>(base_) + fraction_)) return;
  base_ = static_cast<uint64_t>(target);
  fraction_ = target - static_cast<double>(base_);
  controller_.Realigned();
  ++stats_.realignments;
}

void ClockBridge::ReadFrames(float* out, size_t frames, double step) {
  const uint64_t halfTaps = static_cast<uint64_t>(interpolator_.HalfTaps());
  for (size_t i = 0; i < frames; ++i) {
    float* frame = out + i * channels_;
    const bool readable = base_ >= windowStart_ + halfTaps - 1 && base_ + halfTaps < windowEnd_;
    if (readable) {
      interpolator_.Frame(window_.data() + (base_ - windowStart_) * channels_, fraction_, frame);
    } else {
      std::fill(frame, frame + channels_, 0.0f);
      ++stats_.silentFrames;
      // Free reading waits for what is late; held reading keeps its time and lets it go.
      if (config_.policy == FillPolicy::kFree) continue;
    }
    fraction_ += step;
    const double whole = std::floor(fraction_);
    base_ += static_cast<uint64_t>(whole);
    fraction_ -= whole;
  }
}

void ClockBridge::Read(float* out, size_t frames, double playTime) {
  Drain();
  stats_.framesRead += frames;
  if (!reading_ && !Start(playTime)) {
    std::fill(out, out + frames * channels_, 0.0f);
    return;
  }
  double correction = 0;
  if (config_.policy == FillPolicy::kHeld) {
    double captured = 0;
    if (CapturedBy(playTime, captured)) {
      const double fill = (captured - (static_cast<double>(base_) + fraction_)) / config_.inRate;
      double error = fill - config_.targetSeconds;
      if (error > kRealignAboveSeconds) {
        Realign(playTime);
        Drain();
        error = (captured - (static_cast<double>(base_) + fraction_)) / config_.inRate - config_.targetSeconds;
      }
      stats_.fillErrorSeconds = error;
      correction = controller_.Update(error, static_cast<double>(frames) / config_.outRate);
    } else {
      correction = controller_.Correction();
    }
  }
  stats_.correction = correction;
  ReadFrames(out, frames, nominalStep_ * (1.0 + correction));
}

double ClockBridge::ReadPosition() const {
  return reading_ ? static_cast<double>(base_) + fraction_ : -1.0;
}

ClockBridge::Stats ClockBridge::CurrentStats() const {
  Stats stats = stats_;
  stats.framesWritten = head_.load(std::memory_order_acquire);
  stats.overflowFrames = overflow_.load(std::memory_order_relaxed);
  return stats;
}

}  // namespace kivora::audio

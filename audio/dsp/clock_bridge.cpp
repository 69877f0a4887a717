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
      channels_(config.channels),
      halfTaps_(static_cast<uint64_t>(interpolator_.HalfTaps())) {
  // The room asked for, and the filter's reach on either side of it, so a
  // cushion as large as the room still leaves the filter what it needs.
  const size_t wanted = static_cast<size_t>(std::ceil(config.capacitySeconds * config.inRate)) + 4 * halfTaps_;
  ringFrames_ = std::bit_ceil(std::max<size_t>(wanted, 1024));
  guardFrames_ = 2 * halfTaps_;
  // Left unwritten: the reader only ever reads frames the writer has written,
  // so a ring of seconds costs memory only as the voice fills it.
  ring_ = std::make_unique_for_overwrite<float[]>((ringFrames_ + guardFrames_) * channels_);
}

void ClockBridge::Write(std::span<const float> interleaved, double captureTime) {
  const uint64_t frames = interleaved.size() / channels_;
  const uint64_t head = head_.load(std::memory_order_relaxed);
  const uint64_t room = ringFrames_ - (head - tail_.load(std::memory_order_acquire));
  const uint64_t fits = std::min(frames, room);
  for (uint64_t done = 0; done < fits;) {
    const size_t at = static_cast<size_t>((head + done) & (ringFrames_ - 1));
    const size_t run = static_cast<size_t>(std::min<uint64_t>(fits - done, ringFrames_ - at));
    const float* from = interleaved.data() + done * channels_;
    std::memcpy(&ring_[at * channels_], from, run * channels_ * sizeof(float));
    // The ring's first frames again past its end, for a reach that wraps.
    if (at < guardFrames_) {
      const size_t guarded = std::min(run, guardFrames_ - at);
      std::memcpy(&ring_[(ringFrames_ + at) * channels_], from, guarded * channels_ * sizeof(float));
    }
    done += run;
  }
  // Published with the frames: a reader that sees them sees where their sound ends.
  for (uint64_t frame = fits; frame > 0; --frame) {
    const float* samples = interleaved.data() + (frame - 1) * channels_;
    if (std::any_of(samples, samples + channels_, [](float sample) { return sample != 0.0f; })) {
      soundEnd_.store(head + frame, std::memory_order_relaxed);
      break;
    }
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

void ClockBridge::ReleaseTo(uint64_t frame) {
  if (frame <= released_) return;
  released_ = frame;
  tail_.store(frame, std::memory_order_release);
}

bool ClockBridge::Start(double playTime, uint64_t head) {
  const uint64_t history = halfTaps_ - 1;
  double start = 0;
  if (config_.policy == FillPolicy::kFree) {
    if (head - released_ < config_.targetSeconds * config_.inRate + 2 * halfTaps_) return false;
    start = static_cast<double>(released_ + history);
  } else {
    double captured = 0;
    if (!CapturedBy(playTime, captured)) {
      // No times yet: the newest half of the ring is kept, the writer has the rest.
      if (head > ringFrames_ / 2) ReleaseTo(head - ringFrames_ / 2);
      return false;
    }
    start = captured - config_.targetSeconds * config_.inRate;
    if (start < static_cast<double>(released_ + history)) return false;
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

void ClockBridge::ReadFrames(float* out, size_t frames, double step, uint64_t head, uint64_t soundEnd) {
  const size_t mask = ringFrames_ - 1;
  const float* ring = ring_.get();
  for (size_t i = 0; i < frames; ++i) {
    float* frame = out + i * channels_;
    // The frames base_ - (halfTaps_ - 1) .. base_ + halfTaps_, all written and not yet handed back.
    const bool readable = base_ >= released_ + halfTaps_ - 1 && base_ + halfTaps_ < head;
    if (readable && base_ - (halfTaps_ - 1) >= soundEnd) {
      // The filter's whole reach is silence: so is what it would give.
      std::fill(frame, frame + channels_, 0.0f);
    } else if (readable) {
      const size_t first = static_cast<size_t>((base_ - (halfTaps_ - 1)) & mask);
      interpolator_.Frame(ring + (first + halfTaps_ - 1) * channels_, fraction_, frame);
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
  const uint64_t head = head_.load(std::memory_order_acquire);
  const uint64_t soundEnd = soundEnd_.load(std::memory_order_relaxed);
  stats_.framesRead += frames;
  if (!reading_ && !Start(playTime, head)) {
    std::fill(out, out + frames * channels_, 0.0f);
    return;
  }
  double correction = 0;
  if (config_.policy == FillPolicy::kHeld) {
    double captured = 0;
    if (CapturedBy(playTime, captured)) {
      double error = (captured - (static_cast<double>(base_) + fraction_)) / config_.inRate - config_.targetSeconds;
      if (error > kRealignAboveSeconds) {
        Realign(playTime);
        error = (captured - (static_cast<double>(base_) + fraction_)) / config_.inRate - config_.targetSeconds;
      }
      stats_.fillErrorSeconds = error;
      correction = controller_.Update(error, static_cast<double>(frames) / config_.outRate);
    } else {
      correction = controller_.Correction();
    }
  }
  stats_.correction = correction;
  ReadFrames(out, frames, nominalStep_ * (1.0 + correction), head, soundEnd);
  // What lies behind the filter's reach goes back to the writer: input whose
  // time passed while it was late is never read (up to what has been written).
  ReleaseTo(std::min(base_ - (halfTaps_ - 1), head));
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

// Sample-rate conversion from a clip's rate to the output stream's, with the
// polyphase low-pass of conversion_filter.h. The first output sample is the
// first input sample: the converter adds no delay, so N input frames give
// ceil(N * outRate / inRate) output frames. Pure code, no device.
//
// Owned by one thread at a time; only the filter tables are shared, between
// every converter of the same ratio, and freed when the last one goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/dsp/conversion_filter.h"

namespace kivora::audio {

class Resampler {
 public:
  static constexpr unsigned kMinRate = 1000;
  static constexpr unsigned kMaxRate = 384000;
  // Pushes of up to this many frames (a decoded block), each followed by pulls
  // that take what is ready, never allocate after Create.
  static constexpr size_t kSteadyPushFrames = 1024;

  // Any pair of rates from kMinRate to kMaxRate; nullptr for rates outside
  // that or no channels.
  static std::unique_ptr<Resampler> Create(unsigned inRate, unsigned outRate, unsigned channels);

  // Appends interleaved input frames.
  void Push(std::span<const float> interleaved);
  // No more input will come: the last samples can now be converted.
  void Finish();
  // Writes up to frames interleaved output frames to out; returns how many it wrote.
  size_t Pull(float* out, size_t frames);
  // Input frames waiting, not yet fully used.
  size_t BufferedFrames() const { return in_.size() / channels_ - base_; }

  // Summing into the input, for a converter that carries several sounds at once:
  // the input frames still to come before Pull can give frames more.
  size_t InputNeededFor(size_t frames) const;
  // The frames already pushed that lie at or after the next output's time: no
  // output given so far is centred on them, so a sound added into them from
  // their first is heard from the next output on, as it would be through a
  // converter of its own.
  size_t PendingFrames() const;
  // Appends frames of silence and returns the first pending frame, interleaved:
  // the PendingFrames() frames from before the call, then the new ones, to add
  // into. Valid until the next call. Appends of up to kSteadyPushFrames never
  // allocate after Create.
  float* AppendSilence(size_t frames);
  // Takes back the last frames appended (no more than the pending ones).
  void DropLast(size_t frames);
  // Input frames past a sound's last that outputs still take in: once that
  // much silence follows it, the sound has been converted whole.
  size_t Reach() const { return 2 * halfTaps_ + 1; }
  // Back to the state of a converter just made, its room kept.
  void Reset();
  unsigned Channels() const { return channels_; }

  // The filter table that converters from inRate to outRate share, made now
  // unless it is held already: while the pointer is kept, converters of that
  // ratio are made without building it. Nothing for rates Create refuses.
  static std::shared_ptr<const ConversionFilter> SharedTable(unsigned inRate, unsigned outRate);
  // Bytes of filter tables that converters now alive hold, each shared table once.
  static size_t SharedTableBytes();

 private:
  Resampler(uint32_t up, uint32_t down, unsigned channels);
  static std::shared_ptr<const ConversionFilter> FilterFor(uint32_t up, uint32_t down);
  // Drops the input that no later output reaches, in place, so that samples
  // more fit within the capacity reserved at Create whenever they can.
  void MakeRoom(size_t samples);
  void FilterFrame(const float* row, const float* first, float* out) const;

  uint32_t up_;    // L: output steps per input step
  uint32_t down_;  // M: input steps per output step
  unsigned channels_;
  std::shared_ptr<const ConversionFilter> filter_;
  size_t halfTaps_;
  std::vector<float> in_;       // interleaved, history included
  std::vector<float> blended_;  // the row between two of an interpolated filter
  size_t base_ = 0;             // input frame at or before the next output's time
  uint32_t phase_ = 0;          // the next output's time is base_ + phase_ / up_
  bool finished_ = false;
};

}  // namespace kivora::audio

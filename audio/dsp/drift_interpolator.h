// Reads a stream of frames at any fractional position: a Kaiser-windowed sinc
// whose rows are laid out for 256 fractions and blended between the two around
// each position. The converter between two clocks moves its read position by a
// step that changes a little every block, which the fixed-ratio Resampler
// cannot follow. Pure code, no device.
//
// Made once, before the stream runs (the table is built here); then read-only,
// so the thread that reads the stream uses it without a lock.
#pragma once

#include <cstddef>
#include <vector>

namespace kivora::audio {

class DriftInterpolator {
 public:
  // Input frames per output frame near inRate / outRate. The pass band ends
  // below the lower of the two Nyquist frequencies; a rate taken down by more
  // than 4 is filtered as if by 4.
  DriftInterpolator(unsigned inRate, unsigned outRate, unsigned channels);

  // Frames the filter reaches on each side of a position: frame f + fraction
  // reads frames f - HalfTaps() + 1 .. f + HalfTaps().
  int HalfTaps() const { return halfTaps_; }
  unsigned Channels() const { return channels_; }

  // One interpolated frame at fraction 0 <= fraction < 1 past the frame that
  // `at` points to (interleaved; at - (HalfTaps() - 1) frames must be readable).
  void Frame(const float* at, double fraction, float* out) const;

 private:
  static constexpr unsigned kPhases = 256;
  int halfTaps_;
  unsigned channels_;
  std::vector<float> rows_;  // kPhases + 1 rows of 2 * halfTaps_ taps
};

}  // namespace kivora::audio

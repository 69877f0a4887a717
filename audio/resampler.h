// Sample-rate conversion from a clip's rate to the output stream's, with a
// windowed-sinc filter over a table of phases (the ratio of the two rates is
// reduced to L/M, so each output sample uses one of L precomputed phases).
// The first output sample is the first input sample: the converter adds no
// delay. Pure code, no device.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace kivora::audio {

class Resampler {
 public:
  // Fails (nullptr) when the reduced ratio needs more phases than the table allows.
  static std::unique_ptr<Resampler> Create(unsigned inRate, unsigned outRate, unsigned channels);

  // Appends interleaved input frames.
  void Push(std::span<const float> interleaved);
  // No more input will come: the last samples can now be converted.
  void Finish();
  // Writes up to frames interleaved output frames to out; returns how many it wrote.
  size_t Pull(float* out, size_t frames);
  // Input frames waiting, not yet fully used.
  size_t BufferedFrames() const { return in_.size() / channels_ - base_; }
  unsigned Channels() const { return channels_; }

 private:
  Resampler(unsigned up, unsigned down, unsigned channels);
  static std::shared_ptr<const std::vector<float>> TableFor(unsigned up, unsigned down);

  static constexpr int kHalfTaps = 16;
  static constexpr unsigned kMaxPhases = 4096;

  unsigned up_;    // L: output steps per input step
  unsigned down_;  // M: input steps per output step
  unsigned channels_;
  // up_ rows of 2 * kHalfTaps coefficients, built once per ratio and shared.
  std::shared_ptr<const std::vector<float>> table_;
  std::vector<float> in_;     // interleaved, history included
  size_t base_ = 0;           // input frame at or before the next output's time
  unsigned phase_ = 0;        // the next output's time is base_ + phase_ / up_
  bool finished_ = false;
};

}  // namespace kivora::audio

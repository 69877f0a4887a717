// The sum of the voices that play on one output, at the output's rate. Voices
// of the output's rate are added as they are, bit for bit. Voices of another
// rate are added together at their own rate, and each such sum is converted
// once: thirty voices of one clip rate cost one rate conversion, not thirty. A
// voice that joins a sum under way is added from the sum's next output on, so
// it starts when it would through a converter of its own; one that falls behind
// or pauses goes on from there in the same way.
// Owned by the output's device thread. Pure code, no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/dsp/resampler.h"
#include "audio/engine/voice.h"

namespace kivora::audio {

class VoiceMixer {
 public:
  VoiceMixer();

  // The rate the output plays at, from the next Mix on. Sums of other rates
  // are made afresh for a new one (a stream reopened on another device).
  void SetOutputRate(unsigned rate);

  // Adds frames of the voices into mix (interleaved L, R, at the output's
  // rate); returns the most frames any voice, or a sum playing out the last of
  // its voices, gave: fewer than frames when every voice is behind, has ended
  // or is held.
  size_t Mix(std::span<const std::shared_ptr<Voice>> voices, float* mix, size_t frames);

 private:
  // The voices of one rate other than the output's, added up and converted.
  struct Sum {
    uint64_t id = 0;
    unsigned rate = 0;
    std::unique_ptr<Resampler> converter;
    uint64_t appended = 0;   // frames appended to the converter since it was made, its position
    uint64_t soundEnd = 0;   // the frame after the last that a voice added into
  };
  Sum* SumFor(unsigned rate);
  size_t MixSum(Sum& sum, std::span<const std::shared_ptr<Voice>> voices, float* mix, size_t frames);

  unsigned outputRate_ = 0;
  uint64_t nextSumId_ = 1;
  std::vector<Sum> sums_;
  std::vector<float> converted_;  // one round of a sum's output
};

}  // namespace kivora::audio

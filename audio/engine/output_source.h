// Sound mixed into an output beside the voices, such as the microphone into
// the broadcast: it never ends, and the output it is given to keeps its stream
// running for it. Called on that output's render thread only.
#pragma once

#include <cstdint>

namespace kivora::audio {

class OutputSource {
 public:
  virtual ~OutputSource() = default;
  // Adds frames of interleaved stereo at rate into mix; the first will be heard
  // at playSeconds (the performance counter's time). soundsPlaying: a voice
  // sounds in this block. Never blocks, never allocates.
  virtual void MixInto(float* mix, uint32_t frames, unsigned rate, double playSeconds, bool soundsPlaying) noexcept = 0;
};

}  // namespace kivora::audio

// One sound as the engine plays it: its decoder, the conversion to the output
// rate, and the gains that make every change smooth. Controls (volume, pause,
// stop) may be set from any thread; rendering happens on the output thread
// only, after the voice was handed to it. Pure code, no device.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "audio/pcm_decoder.h"
#include "audio/resampler.h"

namespace kivora::audio {

class Voice {
 public:
  // Frames of the output rate over which a pause, a stop or a volume change
  // takes full effect: short enough to be heard as immediate, long enough that
  // the level never jumps (a jump is heard as a click).
  static constexpr double kRampSeconds = 0.004;

  // Nothing when the clip's rate cannot be converted to outputRate.
  static std::unique_ptr<Voice> Create(std::unique_ptr<PcmDecoder> decoder, unsigned outputRate);

  // Decodes ahead until at least frames output frames are ready, so the first
  // render after the click finds its samples waiting.
  void Prime(size_t frames);

  // Adds up to frames stereo frames of this voice into mix (interleaved L, R).
  void MixInto(float* mix, size_t frames);

  // Gains in 0..1 for each channel; the voice glides to them. Before the first
  // render they apply at once.
  void SetGain(float left, float right);
  void SetPaused(bool paused) { paused_.store(paused); }
  // Fades out; the voice has ended once the fade is done.
  void Stop() { stopping_.store(true); }

  bool Ended() const { return ended_; }
  // Paused and faded out: the voice makes no sound until it is resumed. Read on
  // the output thread only.
  bool Held() const { return paused_.load() && !stopping_.load() && fadeLevel_ == 0; }
  // Output frames rendered so far, pauses not counted.
  uint64_t FramesPlayed() const { return framesPlayed_; }

 private:
  Voice(std::unique_ptr<PcmDecoder> decoder, std::unique_ptr<Resampler> resampler, unsigned outputRate);

  // Converted frames waiting in ready_, decoding more as needed; false at the clip's end.
  bool Refill(size_t wanted);

  std::unique_ptr<PcmDecoder> decoder_;
  std::unique_ptr<Resampler> resampler_;
  const float step_;          // ramp change per output frame
  const unsigned rampFrames_;  // output frames of a whole fade

  std::atomic<float> targetLeft_{1.0f}, targetRight_{1.0f};
  std::atomic<bool> paused_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> rendered_{false};

  float gainLeft_ = 1.0f, gainRight_ = 1.0f;
  // The fade in whole frames: rampFrames_ while sounding, 0 once paused or stopped.
  // Counted in integers, so a fade out takes exactly rampFrames_ frames, each of them
  // heard, and a resume goes on from the next frame: none lost, none repeated.
  unsigned fadeLevel_;
  bool decoderDone_ = false;
  bool ended_ = false;
  uint64_t framesPlayed_ = 0;
  std::vector<float> decoded_;  // scratch for the decoder's output
  std::vector<float> ready_;    // converted frames at the output rate, interleaved
  size_t readyAt_ = 0;          // the next unplayed frame in ready_
};

}  // namespace kivora::audio

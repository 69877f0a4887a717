// One sound as one output plays it: its own reader of the decoded samples the
// feed has ready, the conversion to that output's rate, and the gains that make
// every change smooth. The controls (volume, pause, stop) are the engine's, shared
// by the voices of the same sound on every output, and may be set from any
// thread; rendering happens on the output's device thread only, after the voice
// was handed to it, and reads no file and calls no codec. Pure code, no device.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "audio/dsp/resampler.h"
#include "audio/engine/voice_controls.h"
#include "audio/engine/voice_feed.h"

namespace kivora::audio {

class Voice {
 public:
  // Frames of the output rate over which a pause, a stop or a volume change
  // takes full effect: short enough to be heard as immediate, long enough that
  // the level never jumps (a jump is heard as a click).
  static constexpr double kRampSeconds = 0.004;

  // A voice reading feed as reader, under controls, for a feed whose first
  // samples are decoded; nothing when the feed holds no sound or the clip's rate
  // cannot be converted to outputRate.
  static std::unique_ptr<Voice> Create(std::shared_ptr<VoiceFeed> feed, unsigned outputRate, size_t reader = 0,
                                       std::shared_ptr<VoiceControls> controls = std::make_shared<VoiceControls>());
  ~Voice();

  // The rate of the stream the voice plays into, from the next render on (a
  // stream reopened on another device may run at another rate). Output thread only.
  void AttachTo(unsigned outputRate);
  // The output went down: the voice no longer holds the decoding back. And came
  // back: the voice goes on from where the sound is now, fading in. Output thread only.
  void LeaveFeed() { feed_->Detach(reader_); }
  void RejoinFeed();
  bool InFeed() const { return feed_->Attached(reader_); }

  // Adds up to frames stereo frames of this voice into mix (interleaved L, R);
  // returns how many it added (fewer when its feed is behind, it ends, or it is held).
  size_t MixInto(float* mix, size_t frames);

  // Gains in 0..1 for each channel; the voice glides to them. Before the first
  // render they apply at once.
  void SetGain(float left, float right) { controls_->SetGain(left, right); }
  void SetPaused(bool paused) { controls_->paused.store(paused); }
  // Fades out; the voice has ended once the fade is done.
  void Stop() { controls_->stopping.store(true); }

  bool Ended() const { return ended_; }
  // Renders that found the feed behind: the decoder could not keep up.
  uint64_t Starvations() const { return starvations_; }
  // Paused and faded out: the voice makes no sound until it is resumed. Read on
  // the output thread only.
  bool Held() const { return controls_->paused.load() && !controls_->stopping.load() && fadeLevel_ == 0; }
  // Starting this voice cuts off every voice before it on its output.
  bool CutsOthers() const { return controls_->cutsOthers; }
  // Output frames rendered so far, pauses not counted.
  uint64_t FramesPlayed() const { return framesPlayed_; }

 private:
  Voice(std::shared_ptr<VoiceFeed> feed, std::unique_ptr<Resampler> resampler, size_t reader,
        std::shared_ptr<VoiceControls> controls, unsigned outputRate);

  // Converts what the feed has ready until at least wanted frames wait in
  // ready_; fewer when the feed is behind. False once the clip has ended and
  // nothing waits.
  bool Refill(size_t wanted);
  size_t Waiting() const { return ready_.size() / resampler_->Channels() - readyAt_; }
  void SetRamp(unsigned outputRate);
  // The frames a stop fades over at the output rate: the sound's own fade when
  // longer than the ramp.
  unsigned StopFrames() const;
  void End();

  std::shared_ptr<VoiceFeed> feed_;
  const size_t reader_;
  std::shared_ptr<VoiceControls> controls_;
  std::unique_ptr<DecodedBlock> block_;  // the block being used, copied out of the ring
  std::unique_ptr<Resampler> resampler_;
  unsigned inRate_, inChannels_;  // the format resampler_ converts from
  unsigned outputRate_;
  bool formatChanging_ = false;   // resampler_ gives its last frames before one for the new format
  bool clipDone_ = false;         // the feed is drained and resampler_ told so
  float step_ = 0;                // ramp change per output frame
  unsigned rampFrames_ = 1;       // output frames of a whole fade
  uint64_t starvations_ = 0;

  bool rendered_ = false;

  float gainLeft_ = 1.0f, gainRight_ = 1.0f;
  // The fade in whole frames: fadeSpan_ while sounding, 0 once paused or stopped.
  // Counted in integers, so a fade out takes exactly fadeSpan_ frames, each of them
  // heard, and a resume goes on from the next frame: none lost, none repeated.
  // fadeSpan_ is the ramp, or once the voice is stopped, the stop's fade.
  unsigned fadeLevel_ = 0;
  unsigned fadeSpan_ = 1;
  bool stopSeen_ = false;
  bool live_ = false;  // counted in the controls' live voices
  bool ended_ = false;
  uint64_t framesPlayed_ = 0;
  std::vector<float> ready_;    // converted frames at the output rate, interleaved; never grows past its start
  size_t readyAt_ = 0;          // the next unplayed frame in ready_
};

}  // namespace kivora::audio

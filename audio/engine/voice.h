// One sound as one output plays it: its own reader of the decoded samples the
// feed has ready, and the gains that make every change smooth, at the clip's own
// rate (the output's mixer converts the sum of the voices of each rate once,
// voice_mixer.h). The controls (volume, pause, stop) are the engine's, shared by
// the voices of the same sound on every output, and may be set from any thread;
// rendering happens on the output's device thread only, after the voice was
// handed to it, and reads no file and calls no codec. Pure code, no device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/engine/voice_controls.h"
#include "audio/engine/voice_feed.h"

namespace kivora::audio {

class Voice {
 public:
  // Frames over which a pause, a stop or a volume change takes full effect:
  // short enough to be heard as immediate, long enough that the level never
  // jumps (a jump is heard as a click).
  static constexpr double kRampSeconds = 0.004;

  // A voice reading feed as reader, under controls, for a feed whose first
  // samples are decoded; nothing when the feed holds no sound or the clip's rate
  // is one no output can convert from.
  static std::unique_ptr<Voice> Create(std::shared_ptr<VoiceFeed> feed, size_t reader = 0,
                                       std::shared_ptr<VoiceControls> controls = std::make_shared<VoiceControls>());
  ~Voice();

  // The output went down: the voice no longer holds the decoding back. And came
  // back: the voice goes on from where the sound is now, fading in. Output thread only.
  void LeaveFeed() { feed_->Detach(reader_); }
  void RejoinFeed();
  bool InFeed() const { return feed_->Attached(reader_); }

  // The rate of the frames the voice gives next: its clip's, which may change part-way.
  unsigned Rate() const { return rate_; }
  // Adds up to frames stereo frames of this voice, at Rate(), into mix
  // (interleaved L, R); returns how many it added: fewer when its feed is
  // behind, it ends, it is held, or its clip changes format there (Rate() then
  // gives the new one).
  size_t MixInto(float* mix, size_t frames);

  // Gains in 0..1 for each channel; the voice glides to them. Before the first
  // render they apply at once.
  void SetGain(float left, float right) { controls_->SetGain(left, right); }
  void SetPaused(bool paused) { controls_->paused.store(paused); }
  // Fades out; the voice has ended once the fade is done.
  void Stop() { controls_->stopping.store(true); }

  bool Ended() const { return ended_; }
  // Ends the voice at once, unheard from here on (an output that cannot play its rate).
  void End();
  // Renders that found the feed behind: the decoder could not keep up.
  uint64_t Starvations() const { return starvations_; }
  // Paused and faded out: the voice makes no sound until it is resumed. Read on
  // the output thread only.
  bool Held() const { return controls_->paused.load() && !controls_->stopping.load() && fadeLevel_ == 0; }
  // Starting this voice cuts off every voice before it on its output.
  bool CutsOthers() const { return controls_->cutsOthers; }
  // Clip frames rendered so far, pauses not counted.
  uint64_t FramesPlayed() const { return framesPlayed_; }

  // Where the output's mixer last placed this voice: which of its sums, and the
  // sum's frame just after the voice's last. The mixer's own, on the output thread.
  struct MixPlace {
    unsigned rate = 0;  // the rate the voice is mixed at in the render under way
    uint64_t sum = 0;   // 0: none yet
    uint64_t end = 0;
  };
  MixPlace place;

 private:
  Voice(std::shared_ptr<VoiceFeed> feed, size_t reader, std::shared_ptr<VoiceControls> controls);

  // Takes the feed's next block; false when none is ready (the feed is behind,
  // or the clip has ended and the voice with it). A block of another format is
  // taken, and false returned, so the frames of the new format start a render of their own.
  bool NextBlock();
  size_t Waiting() const { return block_->frames - blockAt_; }
  void SetRamp(unsigned rate);
  // The frames a stop fades over: the sound's own fade when longer than the ramp.
  unsigned StopFrames() const;
  // Adds chunk frames from the block, gliding the gains and the fade.
  void MixFrames(float* out, size_t chunk, bool silentWanted);

  std::shared_ptr<VoiceFeed> feed_;
  const size_t reader_;
  std::shared_ptr<VoiceControls> controls_;
  std::unique_ptr<DecodedBlock> block_;  // the block being played, copied out of the ring
  uint32_t blockAt_ = 0;                 // its next unplayed frame
  unsigned rate_, channels_;             // the format of the frames given next
  float step_ = 0;                       // ramp change per frame
  unsigned rampFrames_ = 1;              // frames of a whole ramp
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
};

}  // namespace kivora::audio

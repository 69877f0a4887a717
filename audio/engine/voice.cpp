#include "audio/engine/voice.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/dsp/resampler.h"
#include "audio/dsp/voice_envelope.h"

namespace kivora::audio {
namespace {

float Toward(float value, float target, float step) {
  if (value < target) return std::min(target, value + step);
  return std::max(target, value - step);
}

bool Convertible(unsigned rate) { return rate >= Resampler::kMinRate && rate <= Resampler::kMaxRate; }

}  // namespace

std::unique_ptr<Voice> Voice::Create(std::shared_ptr<VoiceFeed> feed, size_t reader,
                                     std::shared_ptr<VoiceControls> controls) {
  if (!feed->HasSound() || !controls || !Convertible(feed->FirstRate()) || feed->FirstChannels() == 0) return nullptr;
  return std::unique_ptr<Voice>(new Voice(std::move(feed), reader, std::move(controls)));
}

Voice::Voice(std::shared_ptr<VoiceFeed> feed, size_t reader, std::shared_ptr<VoiceControls> controls)
    : feed_(std::move(feed)),
      reader_(reader),
      controls_(std::move(controls)),
      block_(std::make_unique_for_overwrite<DecodedBlock>()),
      rate_(feed_->FirstRate()),
      channels_(feed_->FirstChannels()) {
  block_->frames = 0;
  live_ = reader_ == 0;  // the monitor's reader
  if (live_) controls_->liveVoices.fetch_add(1);
  SetRamp(rate_);
  fadeLevel_ = fadeSpan_;
}

Voice::~Voice() {
  if (live_) controls_->liveVoices.fetch_sub(1);
  feed_->ReaderDone(reader_);
}

unsigned Voice::StopFrames() const {
  const long frames = std::lround(controls_->stopFadeSeconds * rate_);
  return std::max(rampFrames_, static_cast<unsigned>(std::max(0L, frames)));
}

void Voice::SetRamp(unsigned rate) {
  rampFrames_ = static_cast<unsigned>(std::max(1L, std::lround(kRampSeconds * rate)));
  step_ = static_cast<float>(1.0 / std::max(1.0, kRampSeconds * rate));
  const unsigned span = stopSeen_ ? StopFrames() : rampFrames_;
  // A fade under way goes on from the same level.
  fadeLevel_ = static_cast<unsigned>((uint64_t{fadeLevel_} * span + fadeSpan_ / 2) / fadeSpan_);
  fadeSpan_ = span;
}

void Voice::RejoinFeed() {
  if (ended_ || feed_->Attached(reader_)) return;
  feed_->Attach(reader_);
  // What is left of the block in hand belongs to where the sound was; it fades in from where it is.
  blockAt_ = block_->frames;
  fadeLevel_ = 0;
}

bool Voice::NextBlock() {
  if (!feed_->Read(reader_, *block_)) {
    block_->frames = 0;
    blockAt_ = 0;
    if (feed_->Drained(reader_)) {
      End();
    } else {
      // The feeder is behind (a stalled disk): silence now, the sound goes on when it catches up.
      ++starvations_;
    }
    return false;
  }
  feed_->Release(reader_);
  blockAt_ = 0;
  if (block_->rate == rate_ && block_->channels == channels_) return true;
  // The clip changed format part-way: its frames from here on go where frames of the new rate go.
  if (!Convertible(block_->rate)) {
    End();
    return false;
  }
  const bool sameRate = block_->rate == rate_;
  rate_ = block_->rate;
  channels_ = block_->channels;
  SetRamp(rate_);
  return sameRate;
}

void Voice::MixFrames(float* out, size_t chunk, bool silentWanted) {
  const unsigned channels = channels_;
  const float* source = &block_->samples[size_t{blockAt_} * channels];
  const float targetLeft = controls_->targetLeft.load(), targetRight = controls_->targetRight.load();
  if (!silentWanted && fadeLevel_ == fadeSpan_ && gainLeft_ == targetLeft && gainRight_ == targetRight) {
    // Steady: the same gains for every frame, as the gliding loop below gives them at full fade.
    const float left = gainLeft_, right = gainRight_;
    if (channels == 2) {
      for (size_t i = 0; i < chunk; ++i) {
        out[i * 2] += source[i * 2] * left;
        out[i * 2 + 1] += source[i * 2 + 1] * right;
      }
    } else {
      for (size_t i = 0; i < chunk; ++i) {
        out[i * 2] += source[i] * left;
        out[i * 2 + 1] += source[i] * right;
      }
    }
    return;
  }
  for (size_t i = 0; i < chunk; ++i) {
    gainLeft_ = Toward(gainLeft_, targetLeft, step_);
    gainRight_ = Toward(gainRight_, targetRight, step_);
    // Fading out, a frame is heard at the level it starts at; fading in, at the one it reaches.
    if (!silentWanted && fadeLevel_ < fadeSpan_) ++fadeLevel_;
    const float linear = static_cast<float>(fadeLevel_) / static_cast<float>(fadeSpan_);
    // A long stop fade follows the same curve as the sound's own fades.
    const float fade = fadeSpan_ > rampFrames_ ? FadeCurve(linear) : linear;
    if (silentWanted) --fadeLevel_;
    const float left = source[i * channels];
    const float right = channels == 2 ? source[i * channels + 1] : left;
    out[i * 2] += left * gainLeft_ * fade;
    out[i * 2 + 1] += right * gainRight_ * fade;
  }
}

size_t Voice::MixInto(float* mix, size_t frames) {
  if (ended_) return 0;
  if (!std::exchange(rendered_, true)) {
    // The volume set between open and play is where the sound starts, not a glide.
    gainLeft_ = controls_->targetLeft.load();
    gainRight_ = controls_->targetRight.load();
  }
  size_t done = 0;
  while (done < frames) {
    const bool stopping = controls_->stopping.load();
    const bool silentWanted = stopping || controls_->paused.load();
    if (stopping && !std::exchange(stopSeen_, true)) {
      // A stop fades over the sound's own fade out when that is longer, from the level it is at.
      const unsigned span = StopFrames();
      fadeLevel_ = static_cast<unsigned>((uint64_t{fadeLevel_} * span + fadeSpan_ / 2) / fadeSpan_);
      fadeSpan_ = span;
    }
    if (silentWanted && fadeLevel_ == 0) {
      // A paused voice holds its place; a stopped one is finished.
      if (stopping) End();
      return done;
    }
    if (Waiting() == 0 && !NextBlock()) return done;
    size_t chunk = std::min<size_t>(frames - done, Waiting());
    // While fading out, take no more than the fade needs, so a pause resumes
    // exactly at the frame after the last one heard.
    if (silentWanted) chunk = std::min<size_t>(chunk, fadeLevel_);
    MixFrames(mix + done * 2, chunk, silentWanted);
    blockAt_ += static_cast<uint32_t>(chunk);
    done += chunk;
    framesPlayed_ += chunk;
  }
  return done;
}

void Voice::End() {
  ended_ = true;
  if (std::exchange(live_, false)) controls_->liveVoices.fetch_sub(1);
  // Once every output's voice has ended, the feeder lets the decoder and its file go at once.
  feed_->ReaderDone(reader_);
}

}  // namespace kivora::audio

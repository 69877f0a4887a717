#include "audio/engine/voice.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "audio/dsp/voice_envelope.h"

namespace kivora::audio {
namespace {

// Output frames converted per pull, and the most one render step asks for: with
// both bounded, ready_ keeps the room it was given and never allocates.
constexpr size_t kPullFrames = 1024;
constexpr size_t kMixChunkFrames = 2048;

float Toward(float value, float target, float step) {
  if (value < target) return std::min(target, value + step);
  return std::max(target, value - step);
}

}  // namespace

std::unique_ptr<Voice> Voice::Create(std::shared_ptr<VoiceFeed> feed, unsigned outputRate, size_t reader,
                                     std::shared_ptr<VoiceControls> controls) {
  if (!feed->HasSound() || !controls) return nullptr;
  auto resampler = Resampler::Create(feed->FirstRate(), outputRate, feed->FirstChannels());
  if (!resampler) return nullptr;
  return std::unique_ptr<Voice>(new Voice(std::move(feed), std::move(resampler), reader, std::move(controls), outputRate));
}

Voice::Voice(std::shared_ptr<VoiceFeed> feed, std::unique_ptr<Resampler> resampler, size_t reader,
             std::shared_ptr<VoiceControls> controls, unsigned outputRate)
    : feed_(std::move(feed)),
      reader_(reader),
      controls_(std::move(controls)),
      block_(std::make_unique_for_overwrite<DecodedBlock>()),
      resampler_(std::move(resampler)),
      inRate_(feed_->FirstRate()),
      inChannels_(feed_->FirstChannels()),
      outputRate_(outputRate) {
  live_ = reader_ == 0;  // the monitor's reader
  if (live_) controls_->liveVoices.fetch_add(1);
  SetRamp(outputRate);
  fadeLevel_ = fadeSpan_;
  ready_.reserve((kMixChunkFrames + kPullFrames) * DecodedBlock::kMaxChannels);
}

Voice::~Voice() {
  if (live_) controls_->liveVoices.fetch_sub(1);
  feed_->ReaderDone(reader_);
}

unsigned Voice::StopFrames() const {
  const long frames = std::lround(controls_->stopFadeSeconds * outputRate_);
  return std::max(rampFrames_, static_cast<unsigned>(std::max(0L, frames)));
}

void Voice::SetRamp(unsigned outputRate) {
  rampFrames_ = static_cast<unsigned>(std::max(1L, std::lround(kRampSeconds * outputRate)));
  step_ = static_cast<float>(1.0 / std::max(1.0, kRampSeconds * outputRate));
  const unsigned span = stopSeen_ ? StopFrames() : rampFrames_;
  // A fade under way goes on from the same level.
  fadeLevel_ = static_cast<unsigned>((uint64_t{fadeLevel_} * span + fadeSpan_ / 2) / fadeSpan_);
  fadeSpan_ = span;
}

void Voice::AttachTo(unsigned outputRate) {
  if (outputRate == outputRate_) return;
  auto resampler = Resampler::Create(inRate_, outputRate, inChannels_);
  if (!resampler) {
    End();
    return;
  }
  // What the old converter held back is lost with it: a few frames, at a change of device.
  resampler_ = std::move(resampler);
  ready_.clear();
  readyAt_ = 0;
  outputRate_ = outputRate;
  SetRamp(outputRate);
}

void Voice::RejoinFeed() {
  if (ended_ || feed_->Attached(reader_)) return;
  feed_->Attach(reader_);
  // What waits converted belongs to where the sound was; it fades in from where it is.
  ready_.clear();
  readyAt_ = 0;
  fadeLevel_ = 0;
}

bool Voice::Refill(size_t wanted) {
  size_t waiting = Waiting();
  if (waiting >= wanted) return true;
  // Move what is left to the front, then convert more behind it.
  ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_ * resampler_->Channels()));
  readyAt_ = 0;
  while (waiting < wanted) {
    const unsigned channels = resampler_->Channels();
    const size_t at = ready_.size();
    ready_.resize(at + kPullFrames * channels);
    const size_t got = resampler_->Pull(&ready_[at], kPullFrames);
    ready_.resize(at + got * channels);
    waiting += got;
    if (got > 0) continue;
    if (clipDone_) return waiting > 0;
    if (formatChanging_ && waiting > 0) return true;  // the old format's last frames play first
    const DecodedBlock* block = feed_->Read(reader_, *block_) ? block_.get() : nullptr;
    if (!block) {
      if (!feed_->Drained(reader_)) {
        // The feeder is behind (a stalled disk): silence now, the sound goes on when it catches up.
        ++starvations_;
        return true;
      }
      clipDone_ = true;
      resampler_->Finish();
      continue;
    }
    if (block->rate != inRate_ || block->channels != inChannels_) {
      // The clip changed format part-way: the converter gives its last frames,
      // then one for the new format takes over (a rare allocation here).
      if (!formatChanging_) {
        formatChanging_ = true;
        resampler_->Finish();
        continue;
      }
      auto next = Resampler::Create(block->rate, outputRate_, block->channels);
      if (!next) return waiting > 0;
      resampler_ = std::move(next);
      inRate_ = block->rate;
      inChannels_ = block->channels;
      formatChanging_ = false;
      continue;
    }
    resampler_->Push(std::span<const float>(block->samples, size_t{block->frames} * block->channels));
    feed_->Release(reader_);
  }
  return true;
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
    size_t chunk = std::min(frames - done, kMixChunkFrames);
    // While fading out, take no more than the fade needs, so a pause resumes
    // exactly at the frame after the last one heard.
    if (silentWanted) chunk = std::min<size_t>(chunk, fadeLevel_);
    if (!Refill(chunk)) {
      End();
      return done;
    }
    chunk = std::min(chunk, Waiting());
    if (chunk == 0) return done;  // the feed is behind
    const unsigned channels = resampler_->Channels();
    const float targetLeft = controls_->targetLeft.load(), targetRight = controls_->targetRight.load();
    const float* source = &ready_[readyAt_ * channels];
    float* out = mix + done * 2;
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
    readyAt_ += chunk;
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

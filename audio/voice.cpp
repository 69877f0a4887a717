#include "audio/voice.h"

#include <algorithm>
#include <cmath>

namespace kivora::audio {
namespace {

constexpr size_t kPullFrames = 1024;

float Toward(float value, float target, float step) {
  if (value < target) return std::min(target, value + step);
  return std::max(target, value - step);
}

}  // namespace

std::unique_ptr<Voice> Voice::Create(std::unique_ptr<PcmDecoder> decoder, unsigned outputRate) {
  auto resampler = Resampler::Create(decoder->SampleRate(), outputRate, decoder->Channels());
  if (!resampler) return nullptr;
  return std::unique_ptr<Voice>(new Voice(std::move(decoder), std::move(resampler), outputRate));
}

Voice::Voice(std::unique_ptr<PcmDecoder> decoder, std::unique_ptr<Resampler> resampler, unsigned outputRate)
    : decoder_(std::move(decoder)),
      resampler_(std::move(resampler)),
      step_(static_cast<float>(1.0 / std::max(1.0, kRampSeconds * outputRate))),
      rampFrames_(static_cast<unsigned>(std::max(1L, std::lround(kRampSeconds * outputRate)))),
      fadeLevel_(rampFrames_) {}

void Voice::Prime(size_t frames) {
  // A clip that yields no sound at all has ended before it began: the engine leaves it to the fallback.
  if (!Refill(frames)) ended_ = true;
}

void Voice::SetGain(float left, float right) {
  targetLeft_.store(std::clamp(left, 0.0f, 1.0f));
  targetRight_.store(std::clamp(right, 0.0f, 1.0f));
}

bool Voice::Refill(size_t wanted) {
  const unsigned channels = resampler_->Channels();
  size_t waiting = ready_.size() / channels - readyAt_;
  if (waiting >= wanted) return true;
  // Move what is left to the front, then convert more behind it.
  ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_ * channels));
  readyAt_ = 0;
  while (waiting < wanted) {
    const size_t at = ready_.size();
    ready_.resize(at + kPullFrames * channels);
    const size_t got = resampler_->Pull(&ready_[at], kPullFrames);
    ready_.resize(at + got * channels);
    waiting += got;
    if (got > 0) continue;
    if (decoderDone_) return waiting > 0;
    decoded_.clear();
    if (decoder_->DecodeMore(decoded_)) {
      resampler_->Push(decoded_);
    } else {
      decoderDone_ = true;
      resampler_->Finish();
    }
  }
  return true;
}

void Voice::MixInto(float* mix, size_t frames) {
  if (ended_) return;
  if (!rendered_.exchange(true)) {
    // The volume set between open and play is where the sound starts, not a glide.
    gainLeft_ = targetLeft_.load();
    gainRight_ = targetRight_.load();
  }
  const unsigned channels = resampler_->Channels();
  size_t done = 0;
  while (done < frames) {
    const bool stopping = stopping_.load();
    const bool silentWanted = stopping || paused_.load();
    if (silentWanted && fadeLevel_ == 0) {
      // A paused voice holds its place; a stopped one is finished.
      if (stopping) ended_ = true;
      return;
    }
    size_t chunk = frames - done;
    // While fading out, take no more than the fade needs, so a pause resumes
    // exactly at the frame after the last one heard.
    if (silentWanted) chunk = std::min<size_t>(chunk, fadeLevel_);
    if (!Refill(chunk)) {
      ended_ = true;
      return;
    }
    chunk = std::min(chunk, ready_.size() / channels - readyAt_);
    const float targetLeft = targetLeft_.load(), targetRight = targetRight_.load();
    const float* source = &ready_[readyAt_ * channels];
    float* out = mix + done * 2;
    for (size_t i = 0; i < chunk; ++i) {
      gainLeft_ = Toward(gainLeft_, targetLeft, step_);
      gainRight_ = Toward(gainRight_, targetRight, step_);
      // Fading out, a frame is heard at the level it starts at; fading in, at the one it reaches.
      if (!silentWanted && fadeLevel_ < rampFrames_) ++fadeLevel_;
      const float fade = static_cast<float>(fadeLevel_) / static_cast<float>(rampFrames_);
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
}

}  // namespace kivora::audio

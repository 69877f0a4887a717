#include "audio/engine/voice_mixer.h"

#include <algorithm>

namespace kivora::audio {
namespace {

// Output frames a sum converts per round: the input they take stays within
// what the converter holds without allocating.
constexpr size_t kRoundFrames = 1024;
constexpr size_t kMostRoundFrames = 4096;
// Sums kept without allocating: a clip rate or two is the rule.
constexpr size_t kSumRoom = 8;

}  // namespace

VoiceMixer::VoiceMixer() {
  sums_.reserve(kSumRoom);
  converted_.resize(kMostRoundFrames * 2);
}

void VoiceMixer::SetOutputRate(unsigned rate) {
  if (rate == outputRate_) return;
  outputRate_ = rate;
  // The voices of the old sums join the new ones from their next frame.
  sums_.clear();
}

VoiceMixer::Sum* VoiceMixer::SumFor(unsigned rate) {
  for (Sum& sum : sums_) {
    if (sum.rate == rate) return &sum;
  }
  auto converter = Resampler::Create(rate, outputRate_, 2);
  if (!converter) return nullptr;
  Sum& sum = sums_.emplace_back();
  sum.id = nextSumId_++;
  sum.rate = rate;
  sum.converter = std::move(converter);
  return &sum;
}

size_t VoiceMixer::Mix(std::span<const std::shared_ptr<Voice>> voices, float* mix, size_t frames) {
  size_t produced = 0;
  // Each voice is mixed once, at the rate it has as the render starts: one whose
  // clip changes rate part-way goes on at its new rate in the next render.
  for (const auto& voice : voices) voice->place.rate = voice->Ended() ? 0 : voice->Rate();
  for (const auto& voice : voices) {
    if (voice->place.rate == outputRate_) produced = std::max(produced, voice->MixInto(mix, frames));
  }
  for (const auto& voice : voices) {
    if (voice->place.rate == 0 || voice->place.rate == outputRate_ || SumFor(voice->place.rate)) continue;
    // A rate this output cannot be converted from or to: the voice cannot play here.
    voice->End();
    voice->place.rate = 0;
  }
  for (Sum& sum : sums_) produced = std::max(produced, MixSum(sum, voices, mix, frames));
  return produced;
}

size_t VoiceMixer::MixSum(Sum& sum, std::span<const std::shared_ptr<Voice>> voices, float* mix, size_t frames) {
  Resampler& converter = *sum.converter;
  const auto ringing = [&] { return sum.appended < sum.soundEnd + converter.Reach(); };
  const bool hasVoices =
      std::ranges::any_of(voices, [&](const std::shared_ptr<Voice>& voice) { return voice->place.rate == sum.rate; });
  if (!hasVoices && !ringing()) return 0;
  const size_t roundMost = std::clamp<size_t>(kRoundFrames * outputRate_ / sum.rate, 1, kMostRoundFrames);
  size_t done = 0;
  while (done < frames) {
    const size_t want = std::min(frames - done, roundMost);
    const size_t input = converter.InputNeededFor(want);
    // The frames appended that no output has been centred on yet, then the new ones.
    const uint64_t regionStart = sum.appended - converter.PendingFrames();
    const uint64_t regionEnd = sum.appended + input;
    float* region = converter.AppendSilence(input);
    uint64_t givenEnd = 0;
    bool behind = false;
    for (const auto& voice : voices) {
      if (voice->place.rate != sum.rate) continue;
      // A voice that played on in this sum goes on after its last frame; one
      // new to it, or one that was behind or held, from the next output's frame.
      const uint64_t start = voice->place.sum == sum.id ? std::max(regionStart, voice->place.end) : regionStart;
      if (start >= regionEnd) continue;
      const size_t asked = static_cast<size_t>(regionEnd - start);
      const size_t given = voice->MixInto(region + (start - regionStart) * 2, asked);
      if (given < asked && !voice->Ended() && !voice->Held()) behind = true;
      if (given == 0) continue;
      voice->place.sum = sum.id;
      voice->place.end = start + given;
      givenEnd = std::max(givenEnd, voice->place.end);
    }
    sum.soundEnd = std::max(sum.soundEnd, givenEnd);
    // What the voices gave is converted, and silence after it while the last
    // sound still reaches outputs to come. A voice that is behind holds the sum
    // where it is: it goes on from there, as the device plays on from what it holds.
    uint64_t keepEnd = std::max(givenEnd, sum.appended);
    if (givenEnd < regionEnd && !behind && ringing()) keepEnd = regionEnd;
    converter.DropLast(static_cast<size_t>(regionEnd - keepEnd));
    sum.appended = keepEnd;
    const size_t got = converter.Pull(converted_.data(), want);
    float* out = mix + done * 2;
    for (size_t i = 0; i < got * 2; ++i) out[i] += converted_[i];
    done += got;
    if (got < want) break;
  }
  // Played out: the next voice starts the sum afresh, with nothing ahead of its first frame.
  if (done < frames && !ringing()) converter.Reset();
  return done;
}

}  // namespace kivora::audio

#include "remote/clip_length.h"

#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame_reader.h"
#include "audio/decode/wav_header.h"

namespace kivora::remote {
namespace {

int64_t Milliseconds(uint64_t frames, unsigned rate) {
  return rate == 0 ? 0 : static_cast<int64_t>(frames * 1000 / rate);
}

std::optional<int64_t> WavLength(audio::ByteSource& source) {
  const auto layout = audio::ParseWavHeader(source);
  if (!layout) return std::nullopt;
  const uint64_t frameBytes = uint64_t{layout->channels} * (layout->bitsPerSample / 8);
  if (frameBytes == 0) return std::nullopt;
  return Milliseconds(layout->dataBytes / frameBytes, layout->sampleRate);
}

std::optional<int64_t> Mp3Length(audio::ByteSource& source) {
  audio::Mp3FrameReader reader(source);
  std::optional<audio::Mp3Frame> first = reader.Next();
  if (!first) return std::nullopt;
  const unsigned rate = first->header.sampleRate, samplesPerFrame = first->header.samplesPerFrame;
  const audio::GaplessTrim trim = audio::TrimFor(first->info, samplesPerFrame);
  if (trim.playable) return Milliseconds(*trim.playable, rate);
  // No count in an info frame: every frame's samples, at the rate each frame has.
  uint64_t microseconds = 0;
  if (!first->info) microseconds += uint64_t{samplesPerFrame} * 1'000'000 / rate;
  while (std::optional<audio::Mp3Frame> frame = reader.Next()) {
    if (frame->info) continue;
    microseconds += uint64_t{frame->header.samplesPerFrame} * 1'000'000 / frame->header.sampleRate;
  }
  const uint64_t skipped = trim.leadingSkip * 1'000'000 / rate;
  return static_cast<int64_t>((microseconds > skipped ? microseconds - skipped : 0) / 1000);
}

}  // namespace

std::optional<int64_t> ClipLengthMs(audio::ByteSource& source) {
  if (auto length = WavLength(source)) return length;
  if (!source.Seek(0)) return std::nullopt;
  return Mp3Length(source);
}

}  // namespace kivora::remote

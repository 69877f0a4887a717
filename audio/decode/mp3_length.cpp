#include "audio/decode/mp3_length.h"

#include <algorithm>
#include <array>
#include <vector>

#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame_reader.h"

namespace kivora::audio {
namespace {

// An ID3v1 tag: 128 bytes at the very end of a file, after the audio.
constexpr uint64_t kId3v1Bytes = 128;

// A run of frames that one info frame (or none) describes, as the trimmer keeps it.
struct Segment {
  uint64_t firstFrame = 0;  // the audio frames fed before it
  GaplessTrim trim;
  std::optional<uint32_t> countedFrames;
  uint64_t frames = 0;
};

// The frames the trimmer keeps of a codec output of audioFrames * samplesPerFrame,
// as gapless_trimmer.cpp takes them: each segment from its first frame's output
// to the next one's, less its leading skip, cut at its playable count unless it
// holds more frames than its info frame counts.
uint64_t KeptFrames(const std::vector<Segment>& segments, uint64_t audioFrames, unsigned samplesPerFrame) {
  uint64_t kept = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& segment = segments[i];
    const uint64_t end = (i + 1 < segments.size() ? segments[i + 1].firstFrame : audioFrames) * samplesPerFrame;
    const uint64_t length = end - segment.firstFrame * samplesPerFrame;
    uint64_t keeps = length > segment.trim.leadingSkip ? length - segment.trim.leadingSkip : 0;
    const bool outlasts = segment.countedFrames && segment.frames > *segment.countedFrames;
    if (segment.trim.playable && !outlasts) keeps = std::min(keeps, *segment.trim.playable);
    kept += keeps;
  }
  return kept;
}

// Whether bytes can hold frames frames of format: each no shorter than at the
// lowest bit rate the version has and no longer than at the highest. A count
// an editor zeroed, or one far from the bytes, is no count to trust.
bool Plausible(uint64_t frames, uint64_t bytes, const Mp3FrameHeader& format) {
  const bool mpeg1 = format.mpegVersion == 1;
  const uint64_t lowestKbps = mpeg1 ? 32 : 8, highestKbps = mpeg1 ? 320 : 160;
  const uint64_t perKbps = uint64_t{format.samplesPerFrame} * 1000 / 8;  // bytes per frame per kbit/s, times the rate
  return frames * lowestKbps * perKbps / format.sampleRate <= bytes &&
         bytes <= frames * (highestKbps * perKbps / format.sampleRate + 1);
}

bool EndsWithId3v1(ByteSource& source, uint64_t size) {
  std::array<uint8_t, 3> tag{};
  return size >= kId3v1Bytes && source.Seek(size - kId3v1Bytes) && ReadFully(source, tag) == tag.size() &&
         tag == std::array<uint8_t, 3>{'T', 'A', 'G'};
}

// Every frame from the one given on, each info frame beginning a segment.
std::optional<uint64_t> CountFrames(Mp3FrameReader& reader, std::optional<Mp3Frame> frame) {
  const Mp3FrameHeader format = frame->header;
  std::vector<Segment> segments(1);
  uint64_t audioFrames = 0;
  for (; frame; frame = reader.Next()) {
    if (!SameFormat(frame->header, format)) return std::nullopt;
    if (frame->info) {
      const Segment segment{audioFrames, TrimFor(frame->info, format.samplesPerFrame), frame->info->audioFrames, 0};
      if (segments.back().frames == 0) segments.back() = segment;
      else segments.push_back(segment);
      continue;
    }
    ++audioFrames;
    ++segments.back().frames;
  }
  return KeptFrames(segments, audioFrames, format.samplesPerFrame);
}

}  // namespace

std::optional<uint64_t> Mp3DecodedFrames(ByteSource& source) {
  if (!source.Seek(0)) return std::nullopt;
  Mp3FrameReader reader(source);
  auto frame = reader.Next();
  if (!frame) return std::nullopt;
  // An encoder's info frame counts the frames and bytes of the stream it heads:
  // when the stream reaches exactly to the file's end (or its ID3v1 tag), the
  // file is as the encoder wrote it, and the count holds.
  if (frame->info && frame->info->audioFrames && frame->info->streamBytes &&
      Plausible(uint64_t{*frame->info->audioFrames} + 1, *frame->info->streamBytes, frame->header)) {
    const XingInfo info = *frame->info;
    const uint64_t streamEnd = frame->offset + *info.streamBytes;
    const auto size = source.Size();
    if (size && (streamEnd == *size || (streamEnd + kId3v1Bytes == *size && EndsWithId3v1(source, *size)))) {
      const unsigned perFrame = frame->header.samplesPerFrame;
      const std::vector<Segment> whole{{0, TrimFor(info, perFrame), info.audioFrames, *info.audioFrames}};
      return KeptFrames(whole, *info.audioFrames, perFrame);
    }
    // The tag's test moved the read position: the frames are read on from where the reader was.
    if (!source.Seek(reader.SourcePosition())) return std::nullopt;
  }
  return CountFrames(reader, std::move(frame));
}

std::optional<uint64_t> Mp3DecodedFramesByScan(ByteSource& source) {
  if (!source.Seek(0)) return std::nullopt;
  Mp3FrameReader reader(source);
  auto frame = reader.Next();
  if (!frame) return std::nullopt;
  return CountFrames(reader, std::move(frame));
}

}  // namespace kivora::audio

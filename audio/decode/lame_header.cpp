#include "audio/decode/lame_header.h"

#include <cstring>

namespace kivora::audio {
namespace {

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t at) {
  return (static_cast<uint32_t>(bytes[at]) << 24) | (static_cast<uint32_t>(bytes[at + 1]) << 16) |
         (static_cast<uint32_t>(bytes[at + 2]) << 8) | bytes[at + 3];
}

bool HasTextAt(std::span<const uint8_t> bytes, size_t at, const char* text) {
  const size_t length = std::strlen(text);
  return at + length <= bytes.size() && std::memcmp(bytes.data() + at, text, length) == 0;
}

constexpr uint32_t kFramesFlag = 0x1;
constexpr uint32_t kBytesFlag = 0x2;
constexpr uint32_t kTocFlag = 0x4;
constexpr uint32_t kQualityFlag = 0x8;
constexpr size_t kTocBytes = 100;
// Within the LAME tag: the encoder version string, then fields up to the
// 12-bit delay and padding pair.
constexpr size_t kLameDelayOffset = 21;

}  // namespace

std::optional<XingInfo> ParseXingFrame(std::span<const uint8_t> frame, const Mp3FrameHeader& header) {
  if (header.layer != 3) return std::nullopt;
  // The tag sits where the frame's audio data would start.
  size_t at = 4 + header.sideInfoBytes;
  if (frame.size() > header.frameBytes) frame = frame.first(header.frameBytes);
  if (!HasTextAt(frame, at, "Xing") && !HasTextAt(frame, at, "Info")) return std::nullopt;
  at += 4;
  if (at + 4 > frame.size()) return std::nullopt;
  const uint32_t flags = BigEndian32(frame, at);
  at += 4;
  XingInfo info;
  if (flags & kFramesFlag) {
    if (at + 4 > frame.size()) return std::nullopt;
    info.audioFrames = BigEndian32(frame, at);
    at += 4;
  }
  if (flags & kBytesFlag) {
    if (at + 4 > frame.size()) return std::nullopt;
    info.streamBytes = BigEndian32(frame, at);
    at += 4;
  }
  if (flags & kTocFlag) at += kTocBytes;
  if (flags & kQualityFlag) at += 4;
  // The LAME tag follows; other encoders write their own name or nothing.
  if ((HasTextAt(frame, at, "LAME") || HasTextAt(frame, at, "Lavc") || HasTextAt(frame, at, "Lavf")) &&
      at + kLameDelayOffset + 3 <= frame.size()) {
    const size_t delayAt = at + kLameDelayOffset;
    info.hasLameTag = true;
    info.encoderDelay = (static_cast<unsigned>(frame[delayAt]) << 4) | (frame[delayAt + 1] >> 4);
    info.encoderPadding = ((static_cast<unsigned>(frame[delayAt + 1]) & 0x0F) << 8) | frame[delayAt + 2];
  }
  return info;
}

GaplessTrim TrimFor(const std::optional<XingInfo>& info, unsigned samplesPerFrame) {
  GaplessTrim trim;
  if (!info || !info->hasLameTag) return trim;
  trim.leadingSkip = info->encoderDelay + kLayer3DecoderDelay;
  if (info->audioFrames) {
    const uint64_t encoded = static_cast<uint64_t>(*info->audioFrames) * samplesPerFrame;
    const uint64_t added = static_cast<uint64_t>(info->encoderDelay) + info->encoderPadding;
    trim.playable = encoded > added ? encoded - added : 0;
  }
  return trim;
}

}  // namespace kivora::audio

#include "audio/decode/mp3_frame.h"

#include <array>

namespace kivora::audio {
namespace {

// Kilobits per second by bitrate index; index 0 (free format) and 15 are not used.
constexpr std::array<unsigned, 16> kMpeg1Layer3Kbps = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<unsigned, 16> kMpeg1Layer2Kbps = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::array<unsigned, 16> kMpeg1Layer1Kbps = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::array<unsigned, 16> kMpeg2Layer1Kbps = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::array<unsigned, 16> kMpeg2Layer23Kbps = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<unsigned, 3> kMpeg1Rates = {44100, 48000, 32000};

}  // namespace

std::optional<Mp3FrameHeader> ParseMp3FrameHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4) return std::nullopt;
  if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
  const unsigned versionBits = (bytes[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
  const unsigned layerBits = (bytes[1] >> 1) & 3;    // 0: reserved, 1: III, 2: II, 3: I
  const bool hasCrc = (bytes[1] & 1) == 0;
  const unsigned bitrateIndex = bytes[2] >> 4;
  const unsigned rateIndex = (bytes[2] >> 2) & 3;
  const unsigned padding = (bytes[2] >> 1) & 1;
  const unsigned channelMode = bytes[3] >> 6;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
    return std::nullopt;
  }
  Mp3FrameHeader header;
  header.mpegVersion = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  header.layer = 4 - static_cast<int>(layerBits);
  const bool mpeg1 = header.mpegVersion == 1;
  const unsigned rateDivisor = mpeg1 ? 1 : header.mpegVersion == 2 ? 2 : 4;
  header.sampleRate = kMpeg1Rates[rateIndex] / rateDivisor;
  header.channels = channelMode == 3 ? 1 : 2;
  switch (header.layer) {
    case 1: header.bitrateKbps = (mpeg1 ? kMpeg1Layer1Kbps : kMpeg2Layer1Kbps)[bitrateIndex]; break;
    case 2: header.bitrateKbps = (mpeg1 ? kMpeg1Layer2Kbps : kMpeg2Layer23Kbps)[bitrateIndex]; break;
    default: header.bitrateKbps = (mpeg1 ? kMpeg1Layer3Kbps : kMpeg2Layer23Kbps)[bitrateIndex]; break;
  }
  const unsigned bitsPerSecond = header.bitrateKbps * 1000;
  if (header.layer == 1) {
    header.samplesPerFrame = 384;
    header.frameBytes = (12 * bitsPerSecond / header.sampleRate + padding) * 4;
  } else {
    header.samplesPerFrame = (header.layer == 3 && !mpeg1) ? 576 : 1152;
    header.frameBytes = header.samplesPerFrame / 8 * bitsPerSecond / header.sampleRate + padding;
  }
  if (header.layer == 3) {
    const size_t sideInfo = mpeg1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
    header.sideInfoBytes = sideInfo + (hasCrc ? 2 : 0);
  }
  return header;
}

uint64_t Id3v2TagLength(std::span<const uint8_t> bytes) {
  if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
  // The size is four 7-bit bytes ("syncsafe"); a set high bit means this is no tag.
  uint64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;
    body = (body << 7) | bytes[i];
  }
  const bool hasFooter = (bytes[5] & 0x10) != 0;
  return 10 + body + (hasFooter ? 10 : 0);
}

std::optional<size_t> FindLayer3Audio(std::span<const uint8_t> bytes, size_t from, size_t searchLimit,
                                      int confirmFrames) {
  if (from >= bytes.size()) return std::nullopt;
  const size_t end = bytes.size() - from > searchLimit ? from + searchLimit : bytes.size();
  for (size_t offset = from; offset < end; ++offset) {
    const auto first = ParseMp3FrameHeader(bytes.subspan(offset));
    if (!first || first->layer != 3) continue;
    size_t next = offset + first->frameBytes;
    bool confirmed = next == bytes.size();
    for (int i = 0; i < confirmFrames && next < bytes.size(); ++i) {
      const auto header = ParseMp3FrameHeader(bytes.subspan(next));
      if (!header || header->layer != 3 || header->mpegVersion != first->mpegVersion ||
          header->sampleRate != first->sampleRate) {
        confirmed = false;
        break;
      }
      confirmed = true;
      next += header->frameBytes;
    }
    if (confirmed) return offset;
  }
  return std::nullopt;
}

}  // namespace kivora::audio

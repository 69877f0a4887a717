#include "audio/decode/wav_header.h"

#include "audio/decode/riff_bytes.h"
#include "audio/decode/wave_chunks.h"

namespace kivora::audio {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr unsigned kMaxChannels = 2;

// Fills the sample format from a "fmt " chunk body; false for a format not played here.
bool ReadFormat(std::span<const uint8_t> body, WavLayout& layout) {
  if (body.size() < 16) return false;
  uint16_t tag = Little16(body, 0);
  layout.channels = Little16(body, 2);
  layout.sampleRate = Little32(body, 4);
  const uint16_t blockAlign = Little16(body, 12);
  layout.bitsPerSample = Little16(body, 14);
  if (tag == kFormatExtensible) {
    // The first two bytes of the sub-format GUID carry the plain format tag.
    if (body.size() < 26) return false;
    tag = Little16(body, 24);
  }
  if (tag == kFormatPcm) {
    layout.kind = WavSampleKind::Int;
    if (layout.bitsPerSample != 8 && layout.bitsPerSample != 16 && layout.bitsPerSample != 24 &&
        layout.bitsPerSample != 32) {
      return false;
    }
  } else if (tag == kFormatFloat) {
    layout.kind = WavSampleKind::Float;
    if (layout.bitsPerSample != 32) return false;
  } else {
    return false;
  }
  return layout.channels >= 1 && layout.channels <= kMaxChannels && layout.sampleRate >= 1000 &&
         layout.sampleRate <= 384000 && blockAlign == layout.channels * layout.bitsPerSample / 8;
}

}  // namespace

std::optional<WavLayout> ParseWavHeader(ByteSource& source) {
  const auto chunks = FindWaveChunks(source);
  WavLayout layout;
  if (!chunks || !chunks->dataOffset || !ReadFormat(chunks->format, layout)) return std::nullopt;
  layout.dataOffset = *chunks->dataOffset;
  layout.dataBytes = chunks->dataBytes;
  return layout;
}

std::optional<WavLayout> ParseWavHeader(std::span<const uint8_t> bytes) {
  MemoryByteSource source(bytes);
  return ParseWavHeader(source);
}

}  // namespace kivora::audio

// The RIFF/WAVE header of a PCM file: sample format and where the samples lie.
// Pure code over the first bytes of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kivora::audio {

enum class WavSampleKind { Int, Float };

struct WavLayout {
  unsigned sampleRate = 0;
  unsigned channels = 0;
  unsigned bitsPerSample = 0;  // 8, 16, 24 or 32 for Int; 32 for Float
  WavSampleKind kind = WavSampleKind::Int;
  uint64_t dataOffset = 0;  // from the start of the file
  uint64_t dataBytes = 0;   // as the data chunk declares it; may run past a truncated file's end
};

// The layout of the WAVE file whose first bytes are head, when it holds plain
// PCM or 32-bit float samples that this program plays itself. Nothing for any
// other file, for compressed WAVE formats, and when the data chunk does not
// start within head.
std::optional<WavLayout> ParseWavHeader(std::span<const uint8_t> head);

}  // namespace kivora::audio

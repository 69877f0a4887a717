// The RIFF/WAVE header of a PCM file: sample format and where the samples lie.
// Pure code over the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "audio/decode/pcm_decoder.h"

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

// The layout of the WAVE file behind source, when it holds plain PCM or 32-bit
// float samples that this program plays itself. Nothing for any other file,
// for compressed WAVE formats, and when no data chunk follows the format
// within the file. Leaves the source's position anywhere.
std::optional<WavLayout> ParseWavHeader(ByteSource& source);

// The same for a file held whole in bytes.
std::optional<WavLayout> ParseWavHeader(std::span<const uint8_t> bytes);

}  // namespace kivora::audio

// The RIFF/WAVE header of a sound file: how its samples are coded and where
// they lie. Pure code over the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

enum class WavEncoding {
  Int,       // PCM, 8 to 32 bits a sample
  Float,     // 32-bit IEEE float
  MuLaw,     // G.711, 8 bits a sample
  ALaw,      // G.711, 8 bits a sample
  ImaAdpcm,  // the codecs below code blocks of frames, decoded by the system's codec
  MsAdpcm,
  Gsm610,
};

// Whether the system's codec decodes this encoding, a block at a time.
bool BlockCoded(WavEncoding encoding);

struct WavLayout {
  WavEncoding encoding = WavEncoding::Int;
  unsigned sampleRate = 0;
  unsigned channels = 0;       // 1 to 8 (1 or 2 for the block-coded encodings)
  unsigned bitsPerSample = 0;  // 8, 16, 24 or 32 for Int; 32 for Float; 8 for G.711; as declared for the rest
  unsigned blockAlign = 0;     // bytes of one block: one frame, except for the block-coded encodings
  unsigned framesPerBlock = 1;
  // The speakers of the channels in order, as WAVE_FORMAT_EXTENSIBLE declares
  // them; 0 when the file does not say.
  uint32_t channelMask = 0;
  // How many frames the whole blocks of the data hold as sound, when a fact
  // chunk says so and agrees with the data's size: the last block is then cut.
  std::optional<uint64_t> soundFrames;
  // For the block-coded encodings, the format the codec is handed (a
  // WAVEFORMATEX and the coding's own fields, their size field true to them),
  // made from the file's and completed where a writer left a field out.
  std::vector<uint8_t> format;
  uint64_t dataOffset = 0;  // from the start of the file
  uint64_t dataBytes = 0;   // as the data chunk declares it; may run past a truncated file's end
};

// The layout of the WAVE file behind source, when it holds samples that this
// program decodes, by its own code or the system's codecs. Nothing for any
// other file, for a format whose fields contradict each other, and when no
// data chunk follows the format within the file. Leaves the source's position anywhere.
std::optional<WavLayout> ParseWavHeader(ByteSource& source);

// The same for a file held whole in bytes.
std::optional<WavLayout> ParseWavHeader(std::span<const uint8_t> bytes);

// What a format chunk's body is: one this program decodes; one it does not
// know whose fields look sane (left to the system's player); or nonsense,
// including a format this program knows whose fields contradict each other.
enum class FormatVerdict { Decoded, Foreign, Broken };
FormatVerdict JudgeWaveFormat(std::span<const uint8_t> body);

}  // namespace kivora::audio

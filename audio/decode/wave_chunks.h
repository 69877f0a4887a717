// Where the format and the samples of a RIFF/WAVE file are: its chunks walked
// header by header through the file, seeking past each body, so a data chunk
// behind any amount of metadata (bext, iXML, JUNK, LIST) is found without
// reading that metadata. Pure code over a ByteSource.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

struct WaveChunks {
  // The first bytes of the last "fmt " chunk before the data (as many as a
  // format is read from); empty when none came before it.
  std::vector<uint8_t> format;
  // The data chunk's body: where it starts, and its size as declared (which may
  // run past the end of a file cut short). Nothing when the file holds no data
  // chunk whose header is whole.
  std::optional<uint64_t> dataOffset;
  uint64_t dataBytes = 0;
  // The frame count of the last "fact" chunk before the data, which compressed
  // formats carry: their last block may hold fewer frames than a block can.
  std::optional<uint32_t> factFrames;
};

// The most bytes of a format chunk anything reads: WAVE_FORMAT_EXTENSIBLE's 40,
// or an MS ADPCM format with its coefficient table (50 bytes for the usual 7
// pairs), with room for a writer's own longer table.
inline constexpr size_t kWaveFormatBytes = 1024;

// The chunks of the file behind source, read from its start; nothing when it
// does not start with a RIFF/WAVE header. The walk ends at the first data chunk,
// or where a chunk header or the part of a format chunk read runs past the
// end of the file.
std::optional<WaveChunks> FindWaveChunks(ByteSource& source);

}  // namespace kivora::audio

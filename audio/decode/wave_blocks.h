// The whole blocks of a block-coded WAVE file's data chunk (ADPCM, GSM), a few
// at a time, and how many of the frames they decode to are sound: a fact
// chunk's count ends the sound within the last block. Pure code over a ByteSource.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/decode/pcm_decoder.h"
#include "audio/decode/wav_header.h"

namespace kivora::audio {

class WaveBlocks {
 public:
  // source: read from the start of the data chunk on.
  WaveBlocks(ByteSource& source, const WavLayout& layout);

  // Replaces bytes with up to most whole blocks; returns how many came. 0 at
  // the end of the data, and where the file ends inside a block.
  size_t Next(std::vector<uint8_t>& bytes, size_t most);

  // Of frames just decoded, how many are sound, counted against the frames
  // kept before them.
  size_t Keep(size_t frames);

 private:
  ByteSource& source_;
  unsigned blockBytes_;
  uint64_t blocksLeft_;
  uint64_t framesLeft_;
};

}  // namespace kivora::audio

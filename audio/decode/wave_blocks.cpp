#include "audio/decode/wave_blocks.h"

#include <algorithm>

namespace kivora::audio {

WaveBlocks::WaveBlocks(ByteSource& source, const WavLayout& layout)
    : source_(source),
      blockBytes_(layout.blockAlign),
      blocksLeft_(layout.dataBytes / layout.blockAlign),
      framesLeft_(layout.soundFrames.value_or(blocksLeft_ * layout.framesPerBlock)) {}

size_t WaveBlocks::Next(std::vector<uint8_t>& bytes, size_t most) {
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(most, blocksLeft_));
  bytes.resize(wanted * blockBytes_);
  const size_t blocks = ReadFully(source_, bytes) / blockBytes_;
  bytes.resize(blocks * blockBytes_);
  blocksLeft_ = blocks < wanted ? 0 : blocksLeft_ - blocks;
  return blocks;
}

size_t WaveBlocks::Keep(size_t frames) {
  const size_t kept = static_cast<size_t>(std::min<uint64_t>(frames, framesLeft_));
  framesLeft_ -= kept;
  return kept;
}

}  // namespace kivora::audio

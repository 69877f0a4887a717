#include "audio/decode/pcm_decoder.h"

#include <algorithm>
#include <cstring>

namespace kivora::audio {

size_t MemoryByteSource::Read(std::span<uint8_t> destination) {
  const size_t count = std::min(destination.size(), bytes_.size() - position_);
  if (count > 0) std::memcpy(destination.data(), bytes_.data() + position_, count);
  position_ += count;
  return count;
}

bool MemoryByteSource::Seek(uint64_t offset) {
  if (offset > bytes_.size()) return false;
  position_ = static_cast<size_t>(offset);
  return true;
}

size_t ReadFully(ByteSource& source, std::span<uint8_t> destination) {
  size_t total = 0;
  while (total < destination.size()) {
    const size_t got = source.Read(destination.subspan(total));
    if (got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace kivora::audio

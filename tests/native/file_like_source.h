// A file's bytes as the program reads them from disk: a seek past the end
// succeeds and a read there gives nothing (SetFilePointerEx and ReadFile),
// where MemoryByteSource refuses the seek. The fuzz targets read each input
// both ways and want the same answer.
#pragma once

#include <algorithm>
#include <cstring>
#include <span>

#include "audio/decode/pcm_decoder.h"

class FileLikeSource final : public kivora::audio::ByteSource {
 public:
  explicit FileLikeSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Read(std::span<uint8_t> destination) override {
    if (position_ >= bytes_.size()) return 0;
    const size_t count = std::min<uint64_t>(destination.size(), bytes_.size() - position_);
    std::memcpy(destination.data(), bytes_.data() + position_, count);
    position_ += count;
    return count;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  std::optional<uint64_t> Size() const override { return bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  uint64_t position_ = 0;
};

// Bytes from memory that stall once, for a given time, when reading first
// reaches a given offset: a drive waking up part-way through a clip.
#pragma once

#include <windows.h>

#include <atomic>

#include "audio/decode/pcm_decoder.h"

namespace kivora::testing {

class StallingByteSource final : public audio::ByteSource {
 public:
  StallingByteSource(std::span<const uint8_t> bytes, size_t stallAt, DWORD stallMs)
      : inner_(bytes), stallAt_(stallAt), stallMs_(stallMs) {}
  size_t Read(std::span<uint8_t> destination) override {
    if (!stalled_ && position_ + destination.size() > stallAt_) {
      stalled_ = true;
      Sleep(stallMs_);
    }
    const size_t got = inner_.Read(destination);
    position_ += got;
    return got;
  }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return inner_.Seek(offset);
  }
  bool Stalled() const { return stalled_; }

 private:
  audio::MemoryByteSource inner_;
  size_t stallAt_;
  DWORD stallMs_;
  size_t position_ = 0;
  std::atomic<bool> stalled_{false};
};

}  // namespace kivora::testing

// Decoded samples on their way from the thread that decodes a clip to the one
// that plays it: a fixed ring of blocks, one writer and one reader, with no lock
// and no allocation after it is made. Pure code, no device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kivora::audio {

struct DecodedBlock {
  static constexpr uint32_t kFrames = 1024;
  static constexpr unsigned kMaxChannels = 2;
  unsigned rate;      // the clip's format when these frames were decoded
  unsigned channels;
  uint32_t frames;
  float samples[kFrames * kMaxChannels];  // interleaved
};

class DecodedRing {
 public:
  // The blocks are left unwritten: a click pays for the few it fills, not for clearing them all.
  explicit DecodedRing(size_t blocks)
      : count_(blocks < 2 ? 2 : blocks), blocks_(std::make_unique_for_overwrite<DecodedBlock[]>(count_)) {}

  // The writer's side: the next free block to fill, or nothing while the ring is full.
  DecodedBlock* Free() {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == count_) return nullptr;
    return &blocks_[head % count_];
  }
  // Hands the block that Free gave over to the reader.
  void Publish() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  // The reader's side: the oldest block not yet used up, or nothing.
  const DecodedBlock* Oldest() const {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (head_.load(std::memory_order_acquire) == tail) return nullptr;
    return &blocks_[tail % count_];
  }
  // Gives the block that Oldest gave back to the writer.
  void Release() { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

  size_t Capacity() const { return count_; }

 private:
  size_t count_;
  std::unique_ptr<DecodedBlock[]> blocks_;
  std::atomic<size_t> head_{0};  // blocks published, written by the writer only
  std::atomic<size_t> tail_{0};  // blocks released, written by the reader only
};

}  // namespace kivora::audio

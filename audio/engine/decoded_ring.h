// Decoded samples on their way from the thread that decodes a clip to the
// threads that play it: a fixed ring of blocks with one writer and a reader per
// output, each reader with a cursor of its own, so every output plays every
// block once at its own pace. No lock and no allocation after it is made.
//
// The writer is held back only by readers that are attached and keeping up: a
// reader whose output is down is detached, and one that falls more than the lag
// limit behind the leading reader no longer counts. A reader the writer overran
// finds out when it reads (each block carries the number it was written as) and
// goes on from the leader's position, as does one that attaches again.
// Threads: one writer thread (the feeder, or the preparing thread before it),
// one thread per reader. Pure code, no device.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
  static constexpr size_t kMaxReaders = 4;
  using ReaderMask = unsigned;  // bit r: reader r starts attached

  // The blocks are left unwritten: a click pays for the few it fills, not for
  // clearing them all. lagLimit: blocks a reader may trail the leader by and
  // still hold the writer back.
  DecodedRing(size_t blocks, ReaderMask attached, size_t lagLimit)
      : count_(std::max<size_t>(blocks, 2)),
        lagLimit_(std::min(lagLimit, count_ - 1)),
        blocks_(std::make_unique_for_overwrite<DecodedBlock[]>(count_)),
        written_(std::make_unique<std::atomic<uint64_t>[]>(count_)) {
    for (size_t i = 0; i < count_; ++i) written_[i].store(kNever, std::memory_order_relaxed);
    for (size_t r = 0; r < kMaxReaders; ++r) readers_[r].attached.store((attached >> r) & 1u, std::memory_order_relaxed);
  }

  // The writer's side: the next block to fill, or nothing while a reader that
  // counts still needs the oldest one.
  DecodedBlock* Free() {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    if (head - Floor() >= count_) return nullptr;
    // Marked as being written before a byte changes, so a reader overrun meanwhile can tell.
    written_[head % count_].store(kWriting, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    return &blocks_[head % count_];
  }
  // Hands the block that Free gave over to the readers.
  void Publish() {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    written_[head % count_].store(head, std::memory_order_release);
    head_.store(head + 1, std::memory_order_release);
  }
  // Blocks published so far, and how many of them lie ahead of the leading reader.
  uint64_t Published() const { return head_.load(std::memory_order_acquire); }
  uint64_t AheadOfLeader() const {
    const uint64_t head = head_.load(std::memory_order_acquire), leader = leader_.load(std::memory_order_acquire);
    return head > leader ? head - leader : 0;
  }

  // Reader r's side. Copies its next block into copy; false when none is ready.
  bool Read(size_t r, DecodedBlock& copy) {
    Reader& reader = readers_[r];
    for (int attempt = 0; attempt < 4; ++attempt) {
      const uint64_t tail = reader.tail.load(std::memory_order_relaxed);
      if (head_.load(std::memory_order_acquire) <= tail) return false;
      const std::atomic<uint64_t>& mark = written_[tail % count_];
      if (mark.load(std::memory_order_acquire) == tail) {
        const DecodedBlock& block = blocks_[tail % count_];
        copy.rate = block.rate;
        copy.channels = std::clamp(block.channels, 1u, DecodedBlock::kMaxChannels);
        copy.frames = std::min(block.frames, DecodedBlock::kFrames);
        std::memcpy(copy.samples, block.samples, size_t{copy.frames} * copy.channels * sizeof(float));
        std::atomic_thread_fence(std::memory_order_acquire);
        if (mark.load(std::memory_order_relaxed) == tail) return true;
      }
      // The writer has moved past this reader: it goes on where the leader is.
      reader.tail.store(std::max(tail + 1, leader_.load(std::memory_order_acquire)), std::memory_order_release);
      overruns_.fetch_add(1, std::memory_order_relaxed);
    }
    return false;
  }
  // Reader r is done with the block Read gave.
  void Release(size_t r) {
    const uint64_t next = readers_[r].tail.load(std::memory_order_relaxed) + 1;
    readers_[r].tail.store(next, std::memory_order_release);
    uint64_t leader = leader_.load(std::memory_order_relaxed);
    while (leader < next && !leader_.compare_exchange_weak(leader, next, std::memory_order_release)) {
    }
  }
  // Reader r counts again, from the leader's position (where the sound is now).
  void Attach(size_t r) {
    readers_[r].tail.store(std::max(readers_[r].tail.load(std::memory_order_relaxed),
                                    leader_.load(std::memory_order_acquire)),
                           std::memory_order_release);
    readers_[r].attached.store(true, std::memory_order_release);
  }
  // Reader r no longer holds the writer back.
  void Detach(size_t r) { readers_[r].attached.store(false, std::memory_order_release); }
  bool Attached(size_t r) const { return readers_[r].attached.load(std::memory_order_acquire); }
  // Reader r has read every block published so far.
  bool CaughtUp(size_t r) const {
    return readers_[r].tail.load(std::memory_order_acquire) >= head_.load(std::memory_order_acquire);
  }

  size_t Capacity() const { return count_; }
  // Times a reader found the writer had moved past it.
  uint64_t Overruns() const { return overruns_.load(std::memory_order_relaxed); }

 private:
  static constexpr uint64_t kNever = UINT64_MAX;
  static constexpr uint64_t kWriting = UINT64_MAX - 1;

  struct Reader {
    std::atomic<uint64_t> tail{0};  // the next block to read
    std::atomic<bool> attached{false};
  };

  // The oldest block a reader that counts may still read: attached readers within
  // the lag limit of the leader; with none, the leader's own position.
  uint64_t Floor() const {
    const uint64_t leader = leader_.load(std::memory_order_acquire);
    uint64_t floor = UINT64_MAX;
    for (const Reader& reader : readers_) {
      if (!reader.attached.load(std::memory_order_acquire)) continue;
      const uint64_t tail = reader.tail.load(std::memory_order_acquire);
      if (tail + lagLimit_ >= leader) floor = std::min(floor, tail);
    }
    return floor == UINT64_MAX ? leader : floor;
  }

  const size_t count_;
  const size_t lagLimit_;
  std::unique_ptr<DecodedBlock[]> blocks_;
  std::unique_ptr<std::atomic<uint64_t>[]> written_;  // the block number each slot holds, or kWriting
  std::array<Reader, kMaxReaders> readers_;
  std::atomic<uint64_t> head_{0};    // blocks published, written by the writer only
  std::atomic<uint64_t> leader_{0};  // the furthest any reader has read
  std::atomic<uint64_t> overruns_{0};
};

}  // namespace kivora::audio

// A clip's decoder and the ring its samples wait in until each output has played
// them. The thread that prepares the clip fills the first blocks; from then on the
// engine's feeder keeps the ring full, and the threads that play the clip (one per
// output, each with a reader of its own) only read it, so a slow disk or codec
// never holds up a sound device. Pure code, no device.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/engine/converter_tables.h"
#include "audio/engine/decoded_ring.h"
#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

class VoiceFeed {
 public:
  // How far ahead of the sound the ring reaches: longer than any stall of a disk
  // that is awake.
  static constexpr double kAheadSeconds = 0.5;

  // readers: how many voices will read the feed; attached: those that start
  // holding the writer back (outputs that are up now). tables, when given, are
  // told of every rate the clip turns out to have, before its samples are handed on.
  explicit VoiceFeed(std::unique_ptr<PcmDecoder> decoder, size_t readers = 1, DecodedRing::ReaderMask attached = 1,
                     std::shared_ptr<ConverterTables> tables = nullptr);

  // The writer's side (one thread at a time). Decodes into free blocks until the
  // ring is full, the clip has ended, or maxBlocks were filled. The decoder is
  // let go as soon as the clip has ended.
  void Fill(size_t maxBlocks = SIZE_MAX);
  // The blocks that hold a fifth of the look-ahead: what the feeder fills a ring
  // by at one look, so that a click's new clip is decoded in steps rather than in
  // one burst that competes with the window for the processor.
  size_t StepBlocks() const { return std::max<size_t>(1, aheadBlocks_ / 5); }
  // What the feeder fills at one look: a step, or all the look-ahead at once
  // while less than half of it is decoded (a busy machine woke the feeder late,
  // or an output with a large buffer took the first blocks at once).
  size_t BlocksWanted() const {
    const uint64_t ahead = ring_.AheadOfLeader();
    return ahead * 2 < aheadBlocks_ ? aheadBlocks_ - static_cast<size_t>(ahead) : StepBlocks();
  }
  // Lets the decoder go (and the file it reads) before the clip has ended.
  void Close();
  bool DecodingDone() const { return decodingDone_.load(std::memory_order_acquire); }
  // Some sound has been decoded.
  bool HasSound() const { return ring_.Published() > 0; }
  // The clip's format at its start; 0 until the first block is decoded.
  unsigned FirstRate() const { return firstRate_.load(std::memory_order_acquire); }
  unsigned FirstChannels() const { return firstChannels_.load(std::memory_order_acquire); }

  // Reader r's side: copies its next block into copy (false while none is ready),
  // then releases it once used.
  bool Read(size_t r, DecodedBlock& copy) { return ring_.Read(r, copy); }
  void Release(size_t r) { ring_.Release(r); }
  void Attach(size_t r) { ring_.Attach(r); }
  void Detach(size_t r) { ring_.Detach(r); }
  bool Attached(size_t r) const { return ring_.Attached(r); }
  // Every frame of the clip has been read by reader r.
  bool Drained(size_t r) const { return DecodingDone() && ring_.CaughtUp(r); }
  // Reader r is done with the clip; once every reader is, nothing more is decoded.
  void ReaderDone(size_t r);
  // No reader needs the clip any more.
  void Abandon() { abandoned_.store(true, std::memory_order_release); }
  bool Abandoned() const { return abandoned_.load(std::memory_order_acquire); }
  uint64_t Overruns() const { return ring_.Overruns(); }

 private:
  // Takes the decoder's next frames into decoded_; false at the clip's end.
  bool DecodeMore();

  std::unique_ptr<PcmDecoder> decoder_;
  std::shared_ptr<ConverterTables> tables_;
  unsigned tabledRate_ = 0;  // the last rate tables_ was told of
  size_t aheadBlocks_;
  DecodedRing ring_;
  std::vector<float> decoded_;  // the last DecodeMore's frames not yet in a block
  size_t decodedAt_ = 0;        // the next of them, in samples
  unsigned decodedRate_ = 0, decodedChannels_ = 0;
  int emptyDecodes_ = 0;  // DecodeMore calls in a row that gave no frame
  std::atomic<unsigned> firstRate_{0}, firstChannels_{0};
  std::atomic<unsigned> readersLeft_;
  std::atomic<unsigned> readersDone_{0};  // bit r: reader r is done
  std::atomic<bool> decodingDone_{false};
  std::atomic<bool> abandoned_{false};
};

}  // namespace kivora::audio

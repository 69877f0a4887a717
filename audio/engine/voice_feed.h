// A clip's decoder and the ring its samples wait in until they are played. The
// thread that prepares the clip fills the first blocks; from then on the engine's
// feeder keeps the ring full, and the thread that plays the clip only reads it,
// so a slow disk or codec never holds up the sound device. Pure code, no device.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/engine/decoded_ring.h"
#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

class VoiceFeed {
 public:
  // How far ahead of the sound the ring reaches: longer than any stall of a disk
  // that is awake.
  static constexpr double kAheadSeconds = 0.5;

  explicit VoiceFeed(std::unique_ptr<PcmDecoder> decoder);

  // The writer's side (one thread at a time). Decodes into free blocks until the
  // ring is full, the clip has ended, or maxBlocks were filled. The decoder is
  // let go as soon as the clip has ended.
  void Fill(size_t maxBlocks = SIZE_MAX);
  // The blocks that hold a fifth of the ring's time: what the feeder fills a
  // ring by at one look, so that a click's new clip is decoded in steps rather
  // than in one burst that competes with the window for the processor.
  size_t StepBlocks() const { return std::max<size_t>(1, ring_.Capacity() / 5); }
  // Lets the decoder go (and the file it reads) before the clip has ended.
  void Close();
  bool DecodingDone() const { return decodingDone_.load(std::memory_order_acquire); }

  // The reader's side.
  const DecodedBlock* Oldest() const { return ring_.Oldest(); }
  void Release() { ring_.Release(); }
  // Every frame of the clip has been read.
  bool Drained() const { return DecodingDone() && !ring_.Oldest(); }
  // The voice is done with the clip: nothing more need be decoded.
  void Abandon() { abandoned_.store(true, std::memory_order_release); }
  bool Abandoned() const { return abandoned_.load(std::memory_order_acquire); }

 private:
  // Takes the decoder's next frames into decoded_; false at the clip's end.
  bool DecodeMore();

  std::unique_ptr<PcmDecoder> decoder_;
  DecodedRing ring_;
  std::vector<float> decoded_;  // the last DecodeMore's frames not yet in a block
  size_t decodedAt_ = 0;        // the next of them, in samples
  unsigned decodedRate_ = 0, decodedChannels_ = 0;
  int emptyDecodes_ = 0;  // DecodeMore calls in a row that gave no frame
  std::atomic<bool> decodingDone_{false};
  std::atomic<bool> abandoned_{false};
};

}  // namespace kivora::audio

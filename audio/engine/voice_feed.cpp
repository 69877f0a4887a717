#include "audio/engine/voice_feed.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kivora::audio {
namespace {

constexpr int kMaxEmptyDecodes = 64;

size_t BlocksAhead(unsigned rate) {
  const double frames = VoiceFeed::kAheadSeconds * std::max(rate, 1000u);
  return static_cast<size_t>(std::ceil(frames / DecodedBlock::kFrames)) + 1;
}

}  // namespace

// The ring holds the look-ahead and half as much again: room for a reader that
// trails the leader by up to that half (another device's clock, a thread held up)
// while the leader still has its whole look-ahead.
VoiceFeed::VoiceFeed(std::unique_ptr<PcmDecoder> decoder, size_t readers, DecodedRing::ReaderMask attached,
                     std::shared_ptr<ConverterTables> tables)
    : decoder_(std::move(decoder)),
      tables_(std::move(tables)),
      aheadBlocks_(BlocksAhead(decoder_->SampleRate())),
      ring_(aheadBlocks_ + aheadBlocks_ / 2, attached, aheadBlocks_ / 2),
      readersLeft_(static_cast<unsigned>(std::clamp<size_t>(readers, 1, DecodedRing::kMaxReaders))) {}

void VoiceFeed::ReaderDone(size_t r) {
  ring_.Detach(r);
  // Each reader counts once, however often its voice says it is done.
  if (readersDone_.fetch_or(1u << r) & (1u << r)) return;
  if (readersLeft_.fetch_sub(1) == 1) Abandon();
}

void VoiceFeed::Fill(size_t maxBlocks) {
  for (size_t filled = 0; filled < maxBlocks && decoder_; ++filled) {
    DecodedBlock* block = ring_.Free();
    if (!block) return;
    block->frames = 0;
    bool ended = false;
    while (block->frames < DecodedBlock::kFrames) {
      if (decodedAt_ == decoded_.size() && !DecodeMore()) {
        ended = true;
        break;
      }
      if (block->frames == 0) {
        block->rate = decodedRate_;
        block->channels = decodedChannels_;
        // The outputs' converters for a new rate are made here, never on their device threads.
        if (tables_ && decodedRate_ != tabledRate_) tables_->ForClipRate(decodedRate_);
        tabledRate_ = decodedRate_;
        if (firstRate_.load(std::memory_order_relaxed) == 0) {
          firstChannels_.store(decodedChannels_, std::memory_order_relaxed);
          firstRate_.store(decodedRate_, std::memory_order_release);
        }
      } else if (block->rate != decodedRate_ || block->channels != decodedChannels_) {
        break;  // the new format starts a block of its own
      }
      const size_t frames = std::min<size_t>(DecodedBlock::kFrames - block->frames,
                                             (decoded_.size() - decodedAt_) / decodedChannels_);
      std::memcpy(&block->samples[block->frames * block->channels], &decoded_[decodedAt_],
                  frames * decodedChannels_ * sizeof(float));
      block->frames += static_cast<uint32_t>(frames);
      decodedAt_ += frames * decodedChannels_;
    }
    // The last block is handed over before the end is told, so the reader never
    // takes the clip for finished with frames still to come.
    if (block->frames > 0) ring_.Publish();
    if (ended) Close();
  }
}

bool VoiceFeed::DecodeMore() {
  while (decoder_) {
    decoded_.clear();
    decodedAt_ = 0;
    // A decoder that keeps returning nothing has nothing more to give.
    if (!decoder_->DecodeMore(decoded_) || (decoded_.empty() && ++emptyDecodes_ > kMaxEmptyDecodes)) return false;
    // Read after every call: a clip's format may change part-way.
    decodedRate_ = decoder_->SampleRate();
    decodedChannels_ = std::clamp(decoder_->Channels(), 1u, DecodedBlock::kMaxChannels);
    decoded_.resize(decoded_.size() - decoded_.size() % decodedChannels_);
    if (decoded_.empty()) continue;
    emptyDecodes_ = 0;
    return true;
  }
  return false;
}

void VoiceFeed::Close() {
  decoder_.reset();
  decoded_ = {};
  decodedAt_ = 0;
  decodingDone_.store(true, std::memory_order_release);
}

}  // namespace kivora::audio

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

VoiceFeed::VoiceFeed(std::unique_ptr<PcmDecoder> decoder)
    : decoder_(std::move(decoder)), ring_(BlocksAhead(decoder_->SampleRate())) {}

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

// Plays PCM WAVE files: reads the samples of the data chunk a block at a time
// and turns them into floats. Pure code over a ByteSource.
#pragma once

#include <memory>

#include "audio/decode/pcm_decoder.h"
#include "audio/decode/wav_header.h"

namespace kivora::audio {

class WavDecoder final : public PcmDecoder {
 public:
  // Nothing when source holds no WAVE file this decoder plays.
  static std::unique_ptr<WavDecoder> Open(std::unique_ptr<ByteSource> source);

  unsigned SampleRate() const override { return layout_.sampleRate; }
  unsigned Channels() const override { return layout_.channels; }
  bool DecodeMore(std::vector<float>& samples) override;

 private:
  WavDecoder(std::unique_ptr<ByteSource> source, const WavLayout& layout);

  std::unique_ptr<ByteSource> source_;
  WavLayout layout_;
  uint64_t bytesLeft_;
  std::vector<uint8_t> block_;
};

}  // namespace kivora::audio

// Plays WAVE files whose samples this program decodes itself (PCM, 32-bit
// float, μ-law and A-law): reads the data chunk a block at a time, turns it
// into floats, and folds 3 to 8 channels into stereo. Pure code over a ByteSource.
#pragma once

#include <memory>
#include <optional>

#include "audio/decode/pcm_decoder.h"
#include "audio/decode/stereo_downmix.h"
#include "audio/decode/wav_header.h"

namespace kivora::audio {

class WavDecoder final : public PcmDecoder {
 public:
  // The magnitude a float file's samples are held within: far above any real
  // file's peak, so a file louder than full scale keeps its level, and below
  // what squaring in the loudness meter or the gains could overflow.
  static constexpr float kFloatLimit = 64.0f;

  // Nothing when source holds no WAVE file this decoder plays.
  static std::unique_ptr<WavDecoder> Open(std::unique_ptr<ByteSource> source);
  // The same for a header already read; the source's position is anywhere.
  static std::unique_ptr<WavDecoder> Open(std::unique_ptr<ByteSource> source, const WavLayout& layout);

  unsigned SampleRate() const override { return layout_.sampleRate; }
  unsigned Channels() const override { return downmix_ ? 2 : layout_.channels; }
  bool DecodeMore(std::vector<float>& samples) override;
  // The whole frames of the data chunk that lie within the file.
  std::optional<uint64_t> TotalFrames() override;

 private:
  WavDecoder(std::unique_ptr<ByteSource> source, const WavLayout& layout);

  std::unique_ptr<ByteSource> source_;
  WavLayout layout_;
  std::optional<StereoDownmix> downmix_;
  uint64_t bytesLeft_;
  std::vector<uint8_t> block_;
  std::vector<float> unfolded_;
};

}  // namespace kivora::audio

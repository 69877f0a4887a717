// WAVE files whose samples the system's codecs decode (the Audio Compression
// Manager's IMA ADPCM, MS ADPCM and GSM 6.10 codecs, present on every Windows):
// whole blocks of the data chunk go to a codec stream of the file's own format,
// and come back as 16-bit samples. A format the codec refuses (under Wine, a
// rate outside its short list) gives no decoder.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <memory>

#include "audio/decode/pcm_decoder.h"
#include "audio/decode/wave_blocks.h"
#include "audio/decode/wav_header.h"

namespace kivora::audio {

// Owned by the thread that decodes the clip.
class AcmWaveDecoder final : public PcmDecoder {
 public:
  // layout: a block-coded format, as ParseWavHeader read it from source.
  static std::unique_ptr<AcmWaveDecoder> Open(std::unique_ptr<ByteSource> source, const WavLayout& layout);
  ~AcmWaveDecoder() override;
  AcmWaveDecoder(const AcmWaveDecoder&) = delete;
  AcmWaveDecoder& operator=(const AcmWaveDecoder&) = delete;

  unsigned SampleRate() const override { return layout_.sampleRate; }
  unsigned Channels() const override { return layout_.channels; }
  bool DecodeMore(std::vector<float>& samples) override;

 private:
  AcmWaveDecoder(std::unique_ptr<ByteSource> source, const WavLayout& layout);
  bool Start();
  // Converts the blocks in input_; appends what the codec gives. False when it fails.
  bool Convert(size_t bytes, std::vector<float>& samples);

  std::unique_ptr<ByteSource> source_;
  WavLayout layout_;
  WaveBlocks blocks_;
  size_t blocksPerStep_;
  HACMSTREAM stream_ = nullptr;
  bool prepared_ = false;
  bool started_ = false;
  bool ended_ = false;
  // Their sizes are fixed once the header is prepared: it points into them.
  std::vector<uint8_t> input_;
  std::vector<uint8_t> output_;
  ACMSTREAMHEADER convert_{};
};

}  // namespace kivora::audio

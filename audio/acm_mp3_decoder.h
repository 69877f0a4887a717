// MP3 decoding through the system's own Layer III codec (the Audio Compression
// Manager, present on every Windows and in Wine). Opening a codec stream costs
// milliseconds, so streams are kept in a pool and reused from clip to clip:
// the first conversion of each clip tells the codec to start afresh.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/lame_header.h"
#include "audio/pcm_decoder.h"

namespace kivora::audio {

class AcmStreamPool {
 public:
  AcmStreamPool() = default;
  ~AcmStreamPool();
  AcmStreamPool(const AcmStreamPool&) = delete;
  AcmStreamPool& operator=(const AcmStreamPool&) = delete;

  // An idle stream decoding the format of header, opened now when none waits.
  // Nothing when the codec refuses the format.
  HACMSTREAM Acquire(const Mp3FrameHeader& header);
  // Gives a stream back for the next clip of the same rate and channels.
  void Release(HACMSTREAM stream, const Mp3FrameHeader& header);
  // Opens count streams for header's format ahead of the first click.
  void Warm(const Mp3FrameHeader& header, int count);

 private:
  struct Idle {
    unsigned sampleRate;
    unsigned channels;
    HACMSTREAM stream;
  };
  // A cut holds two streams at once (the sound fading out and the new one): two
  // kept idle serve every click; each further one would hold its decoder's
  // buffers for nothing.
  static constexpr size_t kMaxIdle = 2;
  std::mutex mutex_;
  std::vector<Idle> idle_;
};

class AcmMp3Decoder final : public PcmDecoder {
 public:
  // Nothing when source holds no Layer III stream or the codec refuses it.
  static std::unique_ptr<AcmMp3Decoder> Open(std::unique_ptr<ByteSource> source, AcmStreamPool& pool);
  ~AcmMp3Decoder() override;

  unsigned SampleRate() const override { return header_.sampleRate; }
  unsigned Channels() const override { return header_.channels; }
  bool DecodeMore(std::vector<float>& samples) override;

 private:
  AcmMp3Decoder(std::unique_ptr<ByteSource> source, AcmStreamPool& pool, HACMSTREAM stream,
                const Mp3FrameHeader& header, const GaplessTrim& trim, std::vector<uint8_t> pending);
  // Appends the decoded 16-bit frames of output, less what the trim cuts.
  void KeepTrimmed(const int16_t* output, size_t frames, std::vector<float>& samples);

  std::unique_ptr<ByteSource> source_;
  AcmStreamPool& pool_;
  HACMSTREAM stream_;
  Mp3FrameHeader header_;
  GaplessTrim trim_;
  uint64_t decodedFrames_ = 0;  // codec output so far, trimmed part included
  uint64_t keptFrames_ = 0;
  bool started_ = false;
  bool sourceDone_ = false;
  bool prepared_ = false;
  std::vector<uint8_t> input_;  // fixed size; the prepared header points into it
  size_t inputUsed_ = 0;
  std::vector<uint8_t> output_;
  ACMSTREAMHEADER convert_{};
};

}  // namespace kivora::audio

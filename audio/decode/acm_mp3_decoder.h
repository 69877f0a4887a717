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
#include <optional>
#include <vector>

#include "audio/decode/gapless_trimmer.h"
#include "audio/decode/mp3_frame_reader.h"
#include "audio/decode/pcm_decoder.h"

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

// Feeds the codec whole frames, one format per codec stream: a change of rate
// or channels part-way gives the rest a stream of its own, and the decoder then
// reports the new format. Info frames are read, not decoded, wherever they are.
class AcmMp3Decoder final : public PcmDecoder {
 public:
  // Nothing when source holds no Layer III stream or the codec refuses it.
  static std::unique_ptr<AcmMp3Decoder> Open(std::unique_ptr<ByteSource> source, AcmStreamPool& pool);
  ~AcmMp3Decoder() override;

  unsigned SampleRate() const override { return format_.sampleRate; }
  unsigned Channels() const override { return format_.channels; }
  bool DecodeMore(std::vector<float>& samples) override;
  // From the info frame, or by reading every frame's header (mp3_length.h).
  std::optional<uint64_t> TotalFrames() override;

 private:
  AcmMp3Decoder(std::unique_ptr<ByteSource> source, AcmStreamPool& pool);
  // Takes a codec stream for format's frames. False when the codec refuses it.
  bool Begin(const Mp3FrameHeader& format);
  // Gives the codec stream back.
  void End();
  // Moves the next frames of the stream's format into input_; returns their bytes.
  size_t Gather();
  // Converts input's first bytes, then takes all the codec still holds. False
  // when the codec fails.
  bool Convert(size_t bytes, bool last, std::vector<float>& samples);

  std::unique_ptr<ByteSource> source_;
  Mp3FrameReader reader_;
  AcmStreamPool& pool_;
  HACMSTREAM stream_ = nullptr;
  Mp3FrameHeader format_;
  std::optional<GaplessTrimmer> trimmer_;
  std::optional<Mp3Frame> next_;  // read and not yet fed
  bool fileEnded_ = false;
  bool started_ = false;  // the stream has had its first conversion
  bool prepared_ = false;
  std::vector<uint8_t> input_;  // fixed size: the prepared header points into it
  std::vector<uint8_t> output_;
  std::vector<float> decoded_;
  ACMSTREAMHEADER convert_{};
};

}  // namespace kivora::audio

// What the sound engine plays from: a clip decoded step by step into float
// samples at the clip's own rate, and the bytes a decoder reads, from a file
// or from memory. Interfaces only, so pure decoders and tests need no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kivora::audio {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to destination.size() bytes from the current position; returns
  // how many came (0 at the end or on a read error).
  virtual size_t Read(std::span<uint8_t> destination) = 0;
  // Moves the read position to offset from the start; false when it cannot.
  virtual bool Seek(uint64_t offset) = 0;
  // The bytes there are in all, when the source can tell.
  virtual std::optional<uint64_t> Size() const { return std::nullopt; }
};

// The bytes of a clip that lives in memory for as long as the source does.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t Read(std::span<uint8_t> destination) override;
  bool Seek(uint64_t offset) override;
  std::optional<uint64_t> Size() const override { return bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

// Reads as many bytes as come, up to destination.size(), over repeated reads.
size_t ReadFully(ByteSource& source, std::span<uint8_t> destination);

// A clip's format may change part-way (an MP3 made of two files joined): the
// frames one DecodeMore call appends share one format, the one SampleRate() and
// Channels() give when it returns. Read them again after every call.
class PcmDecoder {
 public:
  virtual ~PcmDecoder() = default;
  virtual unsigned SampleRate() const = 0;
  virtual unsigned Channels() const = 0;  // 1 or 2: a file of more channels comes folded into stereo
  // Appends the next whole interleaved frames to samples. Samples of integer
  // and compressed formats lie in -1..1. A float file's keep their level, above
  // full scale too (finite, within +-64), and so may a sum of folded channels:
  // what turns them down or clips them comes after the decoder. False once
  // the clip has ended (or cannot be decoded further); then nothing was added.
  // False on the first call when the clip holds no sound at all.
  virtual bool DecodeMore(std::vector<float>& samples) = 0;
  // The frames DecodeMore gives in all, when the decoder can tell without
  // decoding: from the file's header, or by reading its frames' headers.
  // Nothing when it cannot, or when the clip's format changes part-way. Ask it
  // before the first DecodeMore.
  virtual std::optional<uint64_t> TotalFrames() { return std::nullopt; }
};

}  // namespace kivora::audio

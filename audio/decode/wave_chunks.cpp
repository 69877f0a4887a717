#include "audio/decode/wave_chunks.h"

#include <algorithm>
#include <span>

#include "audio/decode/riff_bytes.h"

namespace kivora::audio {
namespace {

constexpr size_t kRiffHeaderBytes = 12;
constexpr size_t kChunkHeaderBytes = 8;
// Chunk headers are read a window at a time: a file of many small chunks costs
// one read per window, one of large chunks one seek and read per chunk.
constexpr size_t kWindowBytes = 4096;

// The bytes of source around an offset, read a window at a time.
class Window {
 public:
  explicit Window(ByteSource& source) : source_(source) {}

  // The bytes from offset on that are in the window after reading at most
  // one more; fewer than wanted (maybe none) only where the file ends first.
  std::span<const uint8_t> At(uint64_t offset, size_t wanted) {
    if (offset < start_ || offset - start_ + wanted > bytes_.size()) {
      bytes_.resize(std::max(kWindowBytes, wanted));
      start_ = offset;
      bytes_.resize(source_.Seek(offset) ? ReadFully(source_, bytes_) : 0);
    }
    const size_t from = static_cast<size_t>(offset - start_);
    return std::span<const uint8_t>(bytes_).subspan(from, std::min(wanted, bytes_.size() - from));
  }

 private:
  ByteSource& source_;
  std::vector<uint8_t> bytes_;
  uint64_t start_ = 0;
};

}  // namespace

std::optional<WaveChunks> FindWaveChunks(ByteSource& source) {
  Window window(source);
  const auto riff = window.At(0, kRiffHeaderBytes);
  if (!IdIs(riff, 0, "RIFF") || !IdIs(riff, 8, "WAVE")) return std::nullopt;
  WaveChunks chunks;
  uint64_t at = kRiffHeaderBytes;
  for (;;) {
    const auto header = window.At(at, kChunkHeaderBytes);
    if (header.size() < kChunkHeaderBytes) return chunks;
    const uint32_t size = Little32(header, 4);
    const uint64_t body = at + kChunkHeaderBytes;
    if (IdIs(header, 0, "data")) {
      chunks.dataOffset = body;
      chunks.dataBytes = size;
      return chunks;
    }
    if (IdIs(header, 0, "fmt ")) {
      const size_t wanted = std::min<size_t>(size, kWaveFormatBytes);
      const auto format = window.At(body, wanted);
      if (format.size() < wanted) return chunks;
      chunks.format.assign(format.begin(), format.end());
    }
    if (IdIs(header, 0, "fact") && size >= 4) {
      const auto fact = window.At(body, 4);
      if (fact.size() < 4) return chunks;
      chunks.factFrames = Little32(fact, 0);
    }
    // Bodies are padded to an even length; the pad byte is not in the size.
    at = body + size + (size & 1);
  }
}

}  // namespace kivora::audio

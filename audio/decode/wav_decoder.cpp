#include "audio/decode/wav_decoder.h"

#include <algorithm>
#include <cstring>

#include "audio/decode/g711.h"

namespace kivora::audio {
namespace {

constexpr size_t kFramesPerBlock = 4096;

float FloatSample(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  // NaN carries no sound; neither it nor an infinity may reach the mix.
  if (value != value) return 0.0f;
  if (value > WavDecoder::kFloatLimit) return WavDecoder::kFloatLimit;
  if (value < -WavDecoder::kFloatLimit) return -WavDecoder::kFloatLimit;
  return value;
}

float SampleAt(const uint8_t* bytes, const WavLayout& layout) {
  switch (layout.encoding) {
    case WavEncoding::MuLaw: return MuLawSample(bytes[0]);
    case WavEncoding::ALaw: return ALawSample(bytes[0]);
    default: break;
  }
  switch (layout.bitsPerSample) {
    case 8: return (static_cast<int>(bytes[0]) - 128) / 128.0f;
    case 16: return static_cast<int16_t>(bytes[0] | (bytes[1] << 8)) / 32768.0f;
    case 24: {
      const int32_t value = static_cast<int32_t>((static_cast<uint32_t>(bytes[0]) << 8) |
                                                 (static_cast<uint32_t>(bytes[1]) << 16) |
                                                 (static_cast<uint32_t>(bytes[2]) << 24));
      return static_cast<float>(value / 2147483648.0);
    }
    default: {
      const uint32_t bits = bytes[0] | (static_cast<uint32_t>(bytes[1]) << 8) | (static_cast<uint32_t>(bytes[2]) << 16) |
                            (static_cast<uint32_t>(bytes[3]) << 24);
      if (layout.encoding == WavEncoding::Float) return FloatSample(bits);
      return static_cast<float>(static_cast<int32_t>(bits) / 2147483648.0);
    }
  }
}

}  // namespace

std::unique_ptr<WavDecoder> WavDecoder::Open(std::unique_ptr<ByteSource> source) {
  const auto layout = ParseWavHeader(*source);
  if (!layout) return nullptr;
  return Open(std::move(source), *layout);
}

std::unique_ptr<WavDecoder> WavDecoder::Open(std::unique_ptr<ByteSource> source, const WavLayout& layout) {
  if (BlockCoded(layout.encoding) || !source->Seek(layout.dataOffset)) return nullptr;
  return std::unique_ptr<WavDecoder>(new WavDecoder(std::move(source), layout));
}

WavDecoder::WavDecoder(std::unique_ptr<ByteSource> source, const WavLayout& layout)
    : source_(std::move(source)), layout_(layout), bytesLeft_(layout.dataBytes) {
  if (layout_.channels > 2) downmix_.emplace(layout_.channels, layout_.channelMask);
}

std::optional<uint64_t> WavDecoder::TotalFrames() {
  const auto size = source_->Size();
  if (!size || layout_.blockAlign == 0) return std::nullopt;
  const uint64_t inFile = *size > layout_.dataOffset ? *size - layout_.dataOffset : 0;
  return std::min(layout_.dataBytes, inFile) / layout_.blockAlign;
}

bool WavDecoder::DecodeMore(std::vector<float>& samples) {
  const size_t frameBytes = layout_.blockAlign;
  size_t want = kFramesPerBlock * frameBytes;
  if (want > bytesLeft_) want = static_cast<size_t>(bytesLeft_);
  block_.resize(want);
  const size_t got = ReadFully(*source_, block_);
  // A file cut short ends at its last whole frame.
  const size_t frames = got / frameBytes;
  bytesLeft_ = got < want ? 0 : bytesLeft_ - got;
  if (frames == 0) return false;
  const size_t sampleBytes = layout_.bitsPerSample / 8;
  const size_t count = frames * layout_.channels;
  std::vector<float>& decoded = downmix_ ? unfolded_ : samples;
  const size_t start = downmix_ ? 0 : samples.size();
  decoded.resize(start + count);
  for (size_t i = 0; i < count; ++i) decoded[start + i] = SampleAt(&block_[i * sampleBytes], layout_);
  if (downmix_) downmix_->Fold(unfolded_, samples);
  return true;
}

}  // namespace kivora::audio

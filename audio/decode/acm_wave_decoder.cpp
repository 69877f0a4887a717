#include "audio/decode/acm_wave_decoder.h"

#include <algorithm>
#include <cstring>

namespace kivora::audio {
namespace {

// About this many frames a step: the first samples come at once, and the
// samples waiting in the voice stay a fraction of a second.
constexpr size_t kFramesPerStep = 4096;
WAVEFORMATEX PcmFormat(const WavLayout& layout) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(layout.channels);
  format.nSamplesPerSec = layout.sampleRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(layout.channels * 2);
  format.nAvgBytesPerSec = layout.sampleRate * format.nBlockAlign;
  return format;
}

}  // namespace

std::unique_ptr<AcmWaveDecoder> AcmWaveDecoder::Open(std::unique_ptr<ByteSource> source, const WavLayout& layout) {
  if (!BlockCoded(layout.encoding) || layout.format.size() < sizeof(WAVEFORMATEX) || !source->Seek(layout.dataOffset)) return nullptr;
  std::unique_ptr<AcmWaveDecoder> decoder(new AcmWaveDecoder(std::move(source), layout));
  if (!decoder->Start()) return nullptr;
  return decoder;
}

AcmWaveDecoder::AcmWaveDecoder(std::unique_ptr<ByteSource> source, const WavLayout& layout)
    : source_(std::move(source)),
      layout_(layout),
      blocks_(*source_, layout_),
      blocksPerStep_(std::max<size_t>(1, kFramesPerStep / layout.framesPerBlock)) {}

AcmWaveDecoder::~AcmWaveDecoder() {
  if (prepared_) {
    convert_.cbSrcLength = static_cast<DWORD>(input_.size());
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    acmStreamUnprepareHeader(stream_, &convert_, 0);
  }
  if (stream_) acmStreamClose(stream_, 0);
}

bool AcmWaveDecoder::Start() {
  std::vector<uint8_t> source = layout_.format;
  WAVEFORMATEX pcm = PcmFormat(layout_);
  if (acmStreamOpen(&stream_, nullptr, reinterpret_cast<WAVEFORMATEX*>(source.data()), &pcm, nullptr, 0, 0,
                    ACM_STREAMOPENF_NONREALTIME) != 0) {
    stream_ = nullptr;
    return false;
  }
  input_.resize(blocksPerStep_ * layout_.blockAlign);
  DWORD outputBytes = 0;
  if (acmStreamSize(stream_, static_cast<DWORD>(input_.size()), &outputBytes, ACM_STREAMSIZEF_SOURCE) != 0) {
    outputBytes = 0;
  }
  // Never less than the blocks' own frames, whatever the codec answers.
  output_.resize(std::max<size_t>(outputBytes, blocksPerStep_ * layout_.framesPerBlock * layout_.channels * 2));
  convert_.cbStruct = sizeof convert_;
  convert_.pbSrc = input_.data();
  convert_.cbSrcLength = static_cast<DWORD>(input_.size());
  convert_.pbDst = output_.data();
  convert_.cbDstLength = static_cast<DWORD>(output_.size());
  prepared_ = acmStreamPrepareHeader(stream_, &convert_, 0) == 0;
  return prepared_;
}

bool AcmWaveDecoder::DecodeMore(std::vector<float>& samples) {
  const size_t before = samples.size();
  while (!ended_ && samples.size() == before) {
    // input_ never grows past the size it was prepared with, so it stays where the header points.
    const size_t blocks = blocks_.Next(input_, blocksPerStep_);
    if (blocks == 0 || !Convert(blocks * layout_.blockAlign, samples)) ended_ = true;
  }
  return samples.size() > before;
}

bool AcmWaveDecoder::Convert(size_t bytes, std::vector<float>& samples) {
  // A codec may take fewer blocks than it is given: what it leaves moves to
  // the front, where the prepared header points.
  while (bytes > 0) {
    convert_.cbSrcLength = static_cast<DWORD>(bytes);
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    convert_.cbSrcLengthUsed = 0;
    convert_.cbDstLengthUsed = 0;
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    if (!started_) flags |= ACM_STREAMCONVERTF_START;
    if (acmStreamConvert(stream_, &convert_, flags) != 0) return false;
    started_ = true;
    const size_t used = std::min<size_t>(convert_.cbSrcLengthUsed, bytes);
    const size_t frames = std::min<size_t>(convert_.cbDstLengthUsed, output_.size()) / (layout_.channels * 2);
    if (used == 0 && frames == 0) return false;
    std::memmove(input_.data(), input_.data() + used, bytes - used);
    bytes -= used;
    const size_t kept = blocks_.Keep(frames);
    const auto* pcm = reinterpret_cast<const int16_t*>(output_.data());
    const size_t start = samples.size();
    samples.resize(start + kept * layout_.channels);
    for (size_t i = 0; i < kept * layout_.channels; ++i) samples[start + i] = pcm[i] / 32768.0f;
    if (kept < frames) return false;  // the sound ended inside this block
  }
  return true;
}

}  // namespace kivora::audio

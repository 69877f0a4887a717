#include "audio/decode/acm_mp3_decoder.h"

#include <algorithm>
#include <cstring>

#include "audio/decode/mp3_frame.h"
#include "audio/decode/mp3_length.h"

namespace kivora::audio {
namespace {

// A few frames per conversion: small enough that the first samples come at
// once, large enough that the codec is not called per frame.
constexpr size_t kBatchFrames = 8;
constexpr size_t kInputBytes = 4096;
// The codec is drained call by call, so its output need hold only a little:
// two frames of the largest kind, stereo.
constexpr size_t kOutputBytes = 2 * 1152 * 2 * sizeof(int16_t);
constexpr uint16_t kCodecDelay = 1393;  // what the format structure conventionally declares

MPEGLAYER3WAVEFORMAT SourceFormat(const Mp3FrameHeader& header) {
  MPEGLAYER3WAVEFORMAT format{};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = static_cast<WORD>(header.channels);
  format.wfx.nSamplesPerSec = header.sampleRate;
  format.wfx.nAvgBytesPerSec = header.bitrateKbps * 1000 / 8;
  format.wfx.nBlockAlign = 1;
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  format.nBlockSize = static_cast<WORD>(header.frameBytes);
  format.nFramesPerBlock = 1;
  format.nCodecDelay = kCodecDelay;
  return format;
}

WAVEFORMATEX PcmFormat(const Mp3FrameHeader& header) {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(header.channels);
  format.nSamplesPerSec = header.sampleRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(header.channels * 2);
  format.nAvgBytesPerSec = header.sampleRate * format.nBlockAlign;
  return format;
}

HACMSTREAM OpenStream(const Mp3FrameHeader& header) {
  MPEGLAYER3WAVEFORMAT source = SourceFormat(header);
  WAVEFORMATEX pcm = PcmFormat(header);
  HACMSTREAM stream = nullptr;
  if (acmStreamOpen(&stream, nullptr, &source.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    return nullptr;
  }
  return stream;
}

}  // namespace

AcmStreamPool::~AcmStreamPool() {
  for (const Idle& idle : idle_) acmStreamClose(idle.stream, 0);
}

HACMSTREAM AcmStreamPool::Acquire(const Mp3FrameHeader& header) {
  {
    std::lock_guard lock(mutex_);
    const auto match = std::ranges::find_if(idle_, [&](const Idle& idle) {
      return idle.sampleRate == header.sampleRate && idle.channels == header.channels;
    });
    if (match != idle_.end()) {
      const HACMSTREAM stream = match->stream;
      idle_.erase(match);
      return stream;
    }
  }
  return OpenStream(header);
}

void AcmStreamPool::Release(HACMSTREAM stream, const Mp3FrameHeader& header) {
  {
    std::lock_guard lock(mutex_);
    if (idle_.size() < kMaxIdle) {
      idle_.push_back({header.sampleRate, header.channels, stream});
      return;
    }
  }
  acmStreamClose(stream, 0);
}

void AcmStreamPool::Warm(const Mp3FrameHeader& header, int count) {
  for (int i = 0; i < count; ++i) {
    if (const HACMSTREAM stream = OpenStream(header)) Release(stream, header);
  }
}

std::unique_ptr<AcmMp3Decoder> AcmMp3Decoder::Open(std::unique_ptr<ByteSource> source, AcmStreamPool& pool) {
  std::unique_ptr<AcmMp3Decoder> decoder(new AcmMp3Decoder(std::move(source), pool));
  decoder->next_ = decoder->reader_.Next();
  if (!decoder->next_ || !decoder->Begin(decoder->next_->header)) return nullptr;
  return decoder;
}

AcmMp3Decoder::AcmMp3Decoder(std::unique_ptr<ByteSource> source, AcmStreamPool& pool)
    : source_(std::move(source)),
      reader_(*source_),
      pool_(pool),
      input_(kInputBytes),
      output_(kOutputBytes) {}

AcmMp3Decoder::~AcmMp3Decoder() { End(); }

bool AcmMp3Decoder::Begin(const Mp3FrameHeader& format) {
  stream_ = pool_.Acquire(format);
  if (!stream_) return false;
  format_ = format;
  trimmer_.emplace(format.samplesPerFrame, format.channels);
  started_ = false;
  convert_ = ACMSTREAMHEADER{};
  convert_.cbStruct = sizeof convert_;
  convert_.pbSrc = input_.data();
  convert_.cbSrcLength = static_cast<DWORD>(input_.size());
  convert_.pbDst = output_.data();
  convert_.cbDstLength = static_cast<DWORD>(output_.size());
  prepared_ = acmStreamPrepareHeader(stream_, &convert_, 0) == 0;
  if (!prepared_) End();
  return prepared_;
}

void AcmMp3Decoder::End() {
  if (!stream_) return;
  if (prepared_) {
    convert_.cbSrcLength = static_cast<DWORD>(input_.size());
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    acmStreamUnprepareHeader(stream_, &convert_, 0);
    prepared_ = false;
  }
  pool_.Release(stream_, format_);
  stream_ = nullptr;
}

bool AcmMp3Decoder::DecodeMore(std::vector<float>& samples) {
  const size_t before = samples.size();
  while (samples.size() == before) {
    // The format changed: the frames that follow need a codec stream of their own.
    if (!stream_ && (!next_ || !Begin(next_->header))) return false;
    const size_t bytes = Gather();
    const bool streamEnds = fileEnded_ || (next_ && !SameFormat(next_->header, format_));
    if ((bytes > 0 || streamEnds) && !Convert(bytes, streamEnds, samples)) {
      fileEnded_ = true;
      next_.reset();
    } else if (!streamEnds) {
      continue;
    }
    trimmer_->Finish(samples);
    End();
    if (fileEnded_) return samples.size() > before;
  }
  return true;
}

std::optional<uint64_t> AcmMp3Decoder::TotalFrames() {
  const auto total = Mp3DecodedFrames(*source_);
  // The frames are read on from where the decoder's reader left the source.
  if (!source_->Seek(reader_.SourcePosition())) return std::nullopt;
  return total;
}

size_t AcmMp3Decoder::Gather() {
  // The click waits for the first conversion: two frames give the first buffer.
  // Later ones take a few frames each, so the decoded samples waiting in the
  // voice stay a fraction of a second.
  const size_t most = started_ ? kBatchFrames : 2;
  size_t bytes = 0;
  for (size_t frames = 0; frames < most;) {
    if (!next_) next_ = reader_.Next();
    if (!next_) {
      fileEnded_ = true;
      break;
    }
    if (!SameFormat(next_->header, format_)) break;
    // An encoder's info frame carries no sound, in mid-stream as at the start:
    // it begins a segment with its own delay and padding.
    if (next_->info) {
      trimmer_->BeginSegment(*next_->info);
      next_.reset();
      continue;
    }
    if (bytes + next_->bytes.size() > input_.size()) break;
    std::memcpy(input_.data() + bytes, next_->bytes.data(), next_->bytes.size());
    bytes += next_->bytes.size();
    ++frames;
    trimmer_->FrameFed();
    next_.reset();
  }
  return bytes;
}

bool AcmMp3Decoder::Convert(size_t bytes, bool last, std::vector<float>& samples) {
  // Wine's codec takes all the input it is given and keeps the frames that do
  // not fit the output; others take less. Either way, convert until neither
  // input is taken nor output given.
  for (;;) {
    convert_.cbSrcLength = static_cast<DWORD>(bytes);
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    convert_.cbSrcLengthUsed = 0;
    convert_.cbDstLengthUsed = 0;
    // The codec is told of the end only with the last of the input, or it would drop what follows.
    DWORD flags = last ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
    if (!started_) flags |= ACM_STREAMCONVERTF_START;
    if (acmStreamConvert(stream_, &convert_, flags) != 0) return false;
    started_ = true;
    const size_t used = std::min<size_t>(convert_.cbSrcLengthUsed, bytes);
    std::memmove(input_.data(), input_.data() + used, bytes - used);
    bytes -= used;
    const size_t frames = std::min<size_t>(convert_.cbDstLengthUsed, output_.size()) / (format_.channels * 2);
    if (used == 0 && frames == 0) return true;
    const auto* pcm = reinterpret_cast<const int16_t*>(output_.data());
    decoded_.resize(frames * format_.channels);
    for (size_t i = 0; i < decoded_.size(); ++i) decoded_[i] = pcm[i] / 32768.0f;
    trimmer_->Take(decoded_, samples);
  }
}

}  // namespace kivora::audio

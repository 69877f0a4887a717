#include "audio/acm_mp3_decoder.h"

#include <algorithm>
#include <cstring>

#include "audio/mp3_frame.h"

namespace kivora::audio {
namespace {

// Enough to hold an ID3v2 header and find the first frame behind some junk.
constexpr size_t kHeadBytes = 16384;
constexpr size_t kSyncSearchBytes = 8192;
// A few frames per conversion: small enough that the first samples come at
// once, large enough that the codec is not called per frame.
constexpr size_t kInputBytes = 4096;
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

// The smallest Layer III frame of header's version and rate: at the lowest
// bitrate (32 kbit/s for MPEG 1, 8 for MPEG 2 and 2.5), without padding.
size_t SmallestFrameBytes(const Mp3FrameHeader& header) {
  const size_t lowestKbps = header.mpegVersion == 1 ? 32 : 8;
  const size_t bytes = header.samplesPerFrame / 8 * lowestKbps * 1000 / std::max(1u, header.sampleRate);
  return std::max<size_t>(bytes, 1);
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

// Where the audio starts in source: past an ID3v2 tag, at the first frame that
// the frames after it confirm. Leaves head holding the bytes from that frame on.
std::optional<Mp3FrameHeader> FindAudio(ByteSource& source, std::vector<uint8_t>& head) {
  head.resize(kHeadBytes);
  head.resize(ReadFully(source, head));
  const uint64_t tag = Id3v2TagLength(head);
  if (tag > 0) {
    if (!source.Seek(tag)) return std::nullopt;
    head.resize(kHeadBytes);
    head.resize(ReadFully(source, head));
  }
  const auto first = FindLayer3Audio(head, 0, kSyncSearchBytes);
  if (!first) return std::nullopt;
  head.erase(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(*first));
  return ParseMp3FrameHeader(head);
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
  std::vector<uint8_t> head;
  const auto header = FindAudio(*source, head);
  if (!header) return nullptr;
  // An encoder's info frame carries no sound: it is read, not decoded.
  const auto info = ParseXingFrame(head, *header);
  if (info) head.erase(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min(header->frameBytes, head.size())));
  const HACMSTREAM stream = pool.Acquire(*header);
  if (!stream) return nullptr;
  return std::unique_ptr<AcmMp3Decoder>(
      new AcmMp3Decoder(std::move(source), pool, stream, *header, TrimFor(info, header->samplesPerFrame), std::move(head)));
}

AcmMp3Decoder::AcmMp3Decoder(std::unique_ptr<ByteSource> source, AcmStreamPool& pool, HACMSTREAM stream,
                             const Mp3FrameHeader& header, const GaplessTrim& trim, std::vector<uint8_t> pending)
    : source_(std::move(source)), pool_(pool), stream_(stream), header_(header), trim_(trim) {
  // The buffer also holds what was read while looking for the first frame; a
  // conversion never takes more than kInputBytes of it.
  input_.resize(std::max(kInputBytes, pending.size()));
  std::memcpy(input_.data(), pending.data(), pending.size());
  inputUsed_ = pending.size();
  // Room for every frame one conversion's input can hold at the smallest frame size
  // the format allows, and two the codec may still hold back. Sizing it from the
  // first frame's bitrate (acmStreamSize) fits a constant-bitrate file only: a
  // variable-bitrate file's small frames overflow it, and the codec takes the whole
  // input and keeps what did not fit, which a file's end then never gives back.
  output_.resize((kInputBytes / SmallestFrameBytes(header_) + 2) * header_.samplesPerFrame * header_.channels * 2);
  convert_.cbStruct = sizeof convert_;
  convert_.pbSrc = input_.data();
  convert_.cbSrcLength = static_cast<DWORD>(input_.size());
  convert_.pbDst = output_.data();
  convert_.cbDstLength = static_cast<DWORD>(output_.size());
  prepared_ = acmStreamPrepareHeader(stream_, &convert_, 0) == 0;
}

AcmMp3Decoder::~AcmMp3Decoder() {
  if (prepared_) {
    convert_.cbSrcLength = static_cast<DWORD>(input_.size());
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    acmStreamUnprepareHeader(stream_, &convert_, 0);
  }
  pool_.Release(stream_, header_);
}

bool AcmMp3Decoder::DecodeMore(std::vector<float>& samples) {
  if (!prepared_) return false;
  const size_t before = samples.size();
  // The codec may take input without giving a frame yet: feed it until a frame comes or the file ends.
  while (samples.size() == before) {
    if (trim_.playable && keptFrames_ >= *trim_.playable) return false;
    if (!sourceDone_ && inputUsed_ < input_.size()) {
      const size_t got = ReadFully(*source_, std::span(input_).subspan(inputUsed_));
      if (got == 0) sourceDone_ = true;
      inputUsed_ += got;
    }
    if (inputUsed_ == 0) return false;
    // The click waits for the first conversion: it gets two frames, enough for the
    // first buffer. Later ones get a few frames each, so the decoded samples
    // waiting in the voice stay a fraction of a second.
    const size_t most = started_ ? kInputBytes : 2 * header_.frameBytes + 4;
    const size_t feed = std::min(inputUsed_, most);
    convert_.cbSrcLength = static_cast<DWORD>(feed);
    convert_.cbDstLength = static_cast<DWORD>(output_.size());
    convert_.cbSrcLengthUsed = 0;
    convert_.cbDstLengthUsed = 0;
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
    if (!started_) flags |= ACM_STREAMCONVERTF_START;
    // The codec is told of the end only with the last of the input, or it would drop what follows.
    if (sourceDone_ && feed == inputUsed_) flags = (flags & ~ACM_STREAMCONVERTF_BLOCKALIGN) | ACM_STREAMCONVERTF_END;
    if (acmStreamConvert(stream_, &convert_, flags) != 0) return false;
    started_ = true;
    const size_t used = std::min<size_t>(convert_.cbSrcLengthUsed, feed);
    std::memmove(input_.data(), input_.data() + used, inputUsed_ - used);
    inputUsed_ -= used;
    const size_t frames = convert_.cbDstLengthUsed / (header_.channels * 2);
    KeepTrimmed(reinterpret_cast<const int16_t*>(output_.data()), frames, samples);
    // Nothing used and nothing made: the rest is no sound the codec can read.
    if (used == 0 && frames == 0) {
      if (sourceDone_ && feed == inputUsed_) return samples.size() > before;
      if (feed == kInputBytes) return false;
    }
  }
  return true;
}

void AcmMp3Decoder::KeepTrimmed(const int16_t* output, size_t frames, std::vector<float>& samples) {
  size_t first = 0;
  if (decodedFrames_ < trim_.leadingSkip) first = static_cast<size_t>(std::min<uint64_t>(frames, trim_.leadingSkip - decodedFrames_));
  decodedFrames_ += frames;
  size_t keep = frames - first;
  if (trim_.playable) keep = static_cast<size_t>(std::min<uint64_t>(keep, *trim_.playable - keptFrames_));
  keptFrames_ += keep;
  const size_t channels = header_.channels;
  const size_t at = samples.size();
  samples.resize(at + keep * channels);
  for (size_t i = 0; i < keep * channels; ++i) samples[at + i] = output[first * channels + i] / 32768.0f;
}

}  // namespace kivora::audio

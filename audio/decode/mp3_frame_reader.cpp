#include "audio/decode/mp3_frame_reader.h"

#include <algorithm>

namespace kivora::audio {
namespace {

// The longest Layer III frame: 320 kbit/s at 32 kHz, with its padding byte.
constexpr size_t kLongestFrame = 1441;
// A frame and the two after it that confirm it.
constexpr size_t kConfirmBytes = 3 * kLongestFrame;
constexpr size_t kReadBytes = 16384;

}  // namespace

bool SameFormat(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
  return a.layer == b.layer && a.mpegVersion == b.mpegVersion && a.sampleRate == b.sampleRate &&
         a.channels == b.channels;
}

void Mp3FrameReader::Fill(size_t count) {
  if (Waiting() >= count || sourceEnded_) return;
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(at_));
  bufferStart_ += at_;
  at_ = 0;
  while (buffer_.size() < count && !sourceEnded_) {
    const size_t have = buffer_.size();
    buffer_.resize(std::max(count, have + kReadBytes));
    const size_t got = source_.Read(std::span(buffer_).subspan(have));
    buffer_.resize(have + got);
    sourceEnded_ = got == 0;
  }
}

bool Mp3FrameReader::SkipTag() {
  const uint64_t length = Id3v2TagLength(std::span(buffer_).subspan(at_));
  if (length == 0) return false;
  if (length <= Waiting()) {
    at_ += static_cast<size_t>(length);
    return true;
  }
  // A tag longer than what is buffered (pictures make them long): skip it in the
  // file when its last byte is there; a size that points past the end makes it
  // no tag, and the search for frames goes on from here.
  const uint64_t tagEnd = bufferStart_ + at_ + length;
  uint8_t last = 0;
  if (source_.Seek(tagEnd - 1) && source_.Read(std::span(&last, 1)) == 1) {
    buffer_.clear();
    at_ = 0;
    bufferStart_ = tagEnd;
    sourceEnded_ = false;
    return true;
  }
  if (!source_.Seek(bufferStart_ + buffer_.size())) sourceEnded_ = true;
  return false;
}

std::optional<Mp3Frame> Mp3FrameReader::Next() {
  Fill(kConfirmBytes);
  while (SkipTag()) Fill(kConfirmBytes);
  std::optional<Mp3FrameHeader> header;
  // The frame that follows its like needs no confirming; a first frame, one
  // after junk, or one of another format must be confirmed by the frames after it.
  if (previous_) {
    header = ParseMp3FrameHeader(std::span(buffer_).subspan(at_));
    if (header && !SameFormat(*header, *previous_)) header.reset();
  }
  for (size_t junk = 0; !header;) {
    Fill(kConfirmBytes + kReadBytes);
    const auto waiting = std::span<const uint8_t>(buffer_).subspan(at_);
    // Only where the confirming frames are buffered too, unless the file ends there.
    const size_t searchable = sourceEnded_ ? waiting.size() : waiting.size() - std::min(waiting.size(), kConfirmBytes);
    const size_t limit = std::min(searchable, kJunkLimit - junk);
    if (const auto found = FindLayer3Audio(waiting, 0, limit)) {
      at_ += *found;
      header = ParseMp3FrameHeader(std::span(buffer_).subspan(at_));
      break;
    }
    at_ += limit;
    junk += limit;
    if (junk >= kJunkLimit || (sourceEnded_ && Waiting() == 0) || limit == 0) return std::nullopt;
  }
  Fill(header->frameBytes);
  if (Waiting() < header->frameBytes) return std::nullopt;
  Mp3Frame frame{*header, std::nullopt, std::span<const uint8_t>(buffer_).subspan(at_, header->frameBytes),
                 bufferStart_ + at_};
  frame.info = ParseXingFrame(frame.bytes, *header);
  at_ += header->frameBytes;
  previous_ = header;
  return frame;
}

}  // namespace kivora::audio

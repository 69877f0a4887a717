// Splits an MP3 file into its frames, one at a time, as a decoder wants them:
// past any number of ID3v2 tags and junk before the first frame, over tags and
// junk between frames, and on across a change of format (two files joined).
// Pure code over a ByteSource, no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame.h"
#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

struct Mp3Frame {
  Mp3FrameHeader header;
  std::optional<XingInfo> info;    // set for an encoder's info frame, which carries no sound
  std::span<const uint8_t> bytes;  // the whole frame; valid until the reader's next call
  uint64_t offset = 0;             // where the frame starts in the source
};

// True when two frames can go through one codec stream: same version, rate and channels.
bool SameFormat(const Mp3FrameHeader& a, const Mp3FrameHeader& b);

class Mp3FrameReader {
 public:
  // How far junk may run before a frame (after the tags at the start, or
  // between frames) and still be passed over.
  static constexpr size_t kJunkLimit = 64 * 1024;

  explicit Mp3FrameReader(ByteSource& source) : source_(source) {}

  // The next Layer III frame, or nothing once no further frame can be found.
  // A frame cut off by the end of the file is no frame.
  std::optional<Mp3Frame> Next();
  // Where the source's read position is: past the bytes the reader has taken in.
  uint64_t SourcePosition() const { return bufferStart_ + buffer_.size(); }

 private:
  // Reads until at least count bytes wait from at_, or the source ends.
  void Fill(size_t count);
  size_t Waiting() const { return buffer_.size() - at_; }
  // Steps over the ID3v2 tag at at_, when it ends within the file.
  bool SkipTag();

  ByteSource& source_;
  std::vector<uint8_t> buffer_;
  size_t at_ = 0;            // the next unread byte in buffer_
  uint64_t bufferStart_ = 0;  // where buffer_[0] is in the source
  bool sourceEnded_ = false;
  std::optional<Mp3FrameHeader> previous_;
};

}  // namespace kivora::audio

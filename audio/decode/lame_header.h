// The Xing/Info frame an encoder puts first in an MP3 file, and the LAME tag
// inside it: how many audio frames follow, and how many samples the encoder
// added before the first real sample (delay) and after the last (padding).
// Pure code over the bytes of one frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "audio/decode/mp3_frame.h"

namespace kivora::audio {

// What a decoder adds on its own: a Layer III decoder's output lags its input
// by 528 samples plus one of the synthesis filter.
inline constexpr unsigned kLayer3DecoderDelay = 529;

struct XingInfo {
  std::optional<uint32_t> audioFrames;  // the frames after this one, when the tag counts them
  bool hasLameTag = false;
  unsigned encoderDelay = 0;  // from the LAME tag; 0 without it
  unsigned encoderPadding = 0;
  std::optional<uint32_t> streamBytes;  // the stream's bytes from this frame's first, when the tag counts them
};

// Reads the Xing or Info tag of frame (the whole frame, header first, as
// header describes it). Nothing when the frame holds no such tag: then it is
// an audio frame like any other.
std::optional<XingInfo> ParseXingFrame(std::span<const uint8_t> frame, const Mp3FrameHeader& header);

// Which decoded samples are the clip: skip the first leadingSkip samples of
// the decoder's output (per channel), then play playable samples, or all that
// come when playable is empty.
struct GaplessTrim {
  uint64_t leadingSkip = 0;
  std::optional<uint64_t> playable;
};

// The trim for a clip whose first frame was info (or no info frame at all),
// with the decoder's own delay taken off the front and put back at the end.
GaplessTrim TrimFor(const std::optional<XingInfo>& info, unsigned samplesPerFrame);

}  // namespace kivora::audio

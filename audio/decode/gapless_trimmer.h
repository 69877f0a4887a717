// Which samples of a Layer III decoder's output are the clip, when the frames
// of one codec stream come from one or more encodings (files joined end to
// end): each info frame begins a segment whose encoder delay is cut from its
// start, and whose padding is cut from its end only when the segment holds
// exactly the frames its info frame counts. A segment that outlasts its count
// (another file's frames joined on without an info frame) plays on to its end.
// Pure code, no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "audio/decode/lame_header.h"

namespace kivora::audio {

class GaplessTrimmer {
 public:
  // Output comes as interleaved frames of channels samples; each MP3 frame fed
  // gives samplesPerFrame of them.
  GaplessTrimmer(unsigned samplesPerFrame, unsigned channels);

  // The frames fed from now on form a new segment that info describes.
  void BeginSegment(const XingInfo& info);
  // One more MP3 frame has gone to the codec.
  void FrameFed();
  // Passes on the codec's next output, in order: appends to kept what is the
  // clip. Samples past a segment's counted end are held back until it is known
  // whether the segment ends there.
  void Take(std::span<const float> decoded, std::vector<float>& kept);
  // No frame follows: the last segment ends, and what was held back is settled.
  void Finish(std::vector<float>& kept);

 private:
  struct Segment {
    uint64_t start = 0;  // the output frame where its first MP3 frame's output begins
    uint64_t leadingSkip = 0;
    std::optional<uint64_t> playable;
    std::optional<uint32_t> countedFrames;
    uint64_t fedFrames = 0;
  };
  // The oldest segment's output is all taken: settles what it held back.
  void Settle(std::vector<float>& kept);

  unsigned samplesPerFrame_;
  unsigned channels_;
  // From the one whose output is being taken to the one being fed; the codec
  // may give a frame's output after the next segment has begun.
  std::deque<Segment> segments_;
  uint64_t fedFrames_ = 0;
  uint64_t position_ = 0;  // output frames taken so far
  std::vector<float> held_;
};

}  // namespace kivora::audio

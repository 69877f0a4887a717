// The arithmetic of how one sound plays, in whole frames: where a trimmed clip
// starts and ends, where a loop goes back to, and the gain of every frame under
// its fades and a stop. Positions are integers, so a trim is exact to the frame
// and a loop seam repeats and skips nothing; only gains are floats. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kivora::audio {

// Frames of rate in ms milliseconds, to the nearest frame; 0 for ms <= 0.
int64_t FramesOfMilliseconds(int64_t ms, unsigned rate);

// The amplitude factor of a level in decibels (0 dB: 1).
float GainOfDecibels(double decibels);

// Frames [first, end) of a decoded clip.
struct FrameRange {
  int64_t first = 0;
  int64_t end = 0;
  int64_t Length() const { return end - first; }
  bool operator==(const FrameRange&) const = default;
};

// What plays of a clip of totalFrames once headFrames are skipped at its start and
// tailFrames at its end; empty (at the clip's end) when they leave nothing.
FrameRange TrimmedRange(int64_t totalFrames, int64_t headFrames, int64_t tailFrames);

// The clip frame heard as a voice's played-th frame (from 0): within range,
// wrapping to its first frame after its last when the voice loops.
int64_t ClipFrameOf(int64_t played, FrameRange range, bool loop);

// A fade's gain at x (0: silent, 1: full): half a cosine, whose slope is zero at
// both ends, so neither the start nor the end of a fade is heard as a corner.
float FadeCurve(double x);

// The gain of each frame a voice plays, counted from its first frame: a fade in
// over its first frames, a fade out over its last (not while it loops), and a
// fade down to silence from wherever it is stopped. Owned by one thread.
class Envelope {
 public:
  static constexpr int64_t kUnknownLength = -1;

  // length: the frames the voice plays through once, or kUnknownLength while its
  // end is not known (the fade out then waits for SetLength).
  Envelope(int64_t fadeInFrames, int64_t fadeOutFrames, int64_t length, bool loop);

  void SetLength(int64_t length) { length_ = length; }
  int64_t Length() const { return length_; }
  bool Loops() const { return loop_; }

  // A stop at frame played: the gain goes down to silence over fadeFrames (at once
  // for 0). A second stop can only make the end come sooner.
  void StopAt(int64_t played, int64_t fadeFrames);
  bool Stopping() const { return stopEnd_ >= 0; }

  // The gain of frame played, in 0..1.
  float GainAt(int64_t played) const;
  // Nothing is left to hear from frame played on.
  bool Done(int64_t played) const;

  // Multiplies frames of interleaved samples, the first of which is frame played.
  void Apply(float* samples, size_t frames, unsigned channels, int64_t played) const;

 private:
  // Whether no fade touches frames [played, played + frames).
  bool FullOver(int64_t played, int64_t frames) const;

  int64_t fadeIn_;
  int64_t fadeOut_;
  int64_t length_;
  bool loop_;
  int64_t stopStart_ = -1, stopEnd_ = -1;  // the stop's fade, frames [start, end); -1: not stopped
};

}  // namespace kivora::audio

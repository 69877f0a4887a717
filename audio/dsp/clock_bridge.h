// The path between two devices that run on clocks of their own: a capture
// stream writes frames, a render stream reads them at its own pace. Between
// them lies a ring whose fill is held at a target by converting the rate a
// little faster or slower (FillController), so the two clocks never drift
// apart: no block is ever dropped or played twice, and the stream is never
// reopened to catch up. Pure code, no device.
//
// One writer thread (Write) and one reader thread (Read, Stats), no lock
// between them and no allocation after the bridge is made.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "audio/dsp/drift_interpolator.h"
#include "audio/dsp/fill_controller.h"

namespace kivora::audio {

// How the reader keeps its distance from the writer.
enum class FillPolicy {
  // The fill is held at the target by the devices' times, and a frame that is
  // not there when its time comes is silence in its place: the delay stays the
  // same whatever happens.
  kHeld,
  // No times and no target: the reader starts once a cushion is written, reads
  // at the nominal rate, and waits for what is late. For devices that are not
  // paced in real time (Wine's file devices), where holding a target would cut
  // the sound.
  kFree,
};

class ClockBridge {
 public:
  struct Config {
    unsigned inRate = 48000;
    unsigned outRate = 48000;
    unsigned channels = 2;
    FillPolicy policy = FillPolicy::kHeld;
    // kHeld: from a frame's capture to its first sound on the output device,
    // both devices' buffers included. kFree: the cushion written before reading starts.
    double targetSeconds = 0.040;
    // Room in the ring, in seconds of input.
    double capacitySeconds = 0.5;
    FillController::Tuning tuning{};
  };

  struct Stats {
    uint64_t framesWritten = 0;
    uint64_t framesRead = 0;        // output frames
    uint64_t silentFrames = 0;      // output frames with nothing to read, once reading had started
    uint64_t overflowFrames = 0;    // input frames the full ring had no room for
    uint64_t realignments = 0;      // times the read position was set back to its target at once
    double fillErrorSeconds = 0;    // the last measured fill less the target (kHeld)
    double correction = 0;          // the rate correction now used
  };

  // The held target for devices that hand over captureSeconds at a time and
  // keep renderSeconds queued: both, and a cushion for a capture handed over up
  // to one of its periods late, the filter's look-ahead and the loop's error.
  static double HeldTarget(double captureSeconds, double renderSeconds, unsigned inRate);

  // Channels 1..8, rates 1000..384000, times finite; nullptr otherwise.
  static std::unique_ptr<ClockBridge> Create(const Config& config);

  // Writer: interleaved frames whose first was captured at captureTime (seconds
  // on the clock both sides share). Frames that do not fit are counted and dropped.
  void Write(std::span<const float> interleaved, double captureTime);

  // Reader: `frames` output frames into out, the first of which will be heard
  // at playTime. Always writes all of them; silence before reading starts and
  // where the input is missing.
  void Read(float* out, size_t frames, double playTime);

  // The input position (in input frames) the next output frame is read at, or
  // a negative number while reading has not started.
  double ReadPosition() const;
  Stats CurrentStats() const;
  const Config& Settings() const { return config_; }

 private:
  explicit ClockBridge(const Config& config);
  // The writer's position extrapolated to `time`, or false without one yet.
  bool CapturedBy(double time, double& position) const;
  bool Start(double playTime, uint64_t head);
  void ReadFrames(float* out, size_t frames, double step, uint64_t head, uint64_t soundEnd);
  void Realign(double playTime);
  // Hands the ring up to frame `frame` back to the writer (never backwards).
  void ReleaseTo(uint64_t frame);

  Config config_;
  double nominalStep_;
  DriftInterpolator interpolator_;
  FillController controller_;
  unsigned channels_;
  uint64_t halfTaps_;

  // The ring, written by the writer only up to head_, read by the reader only
  // from tail_. Its first guardFrames_ frames are repeated past its end, so the
  // filter reads any frame's reach as one run wherever the ring wraps: the
  // reader filters straight from the ring and never copies it.
  size_t ringFrames_;
  size_t guardFrames_;
  std::unique_ptr<float[]> ring_;
  std::atomic<uint64_t> head_{0};
  std::atomic<uint64_t> tail_{0};
  std::atomic<uint64_t> overflow_{0};
  // One past the last frame written with a sample that is not zero: every frame
  // from here to head_ is silence, which the reader passes on without filtering.
  std::atomic<uint64_t> soundEnd_{0};
  // The last block's first frame and its time, published by the writer with a sequence count.
  std::atomic<uint64_t> stampSequence_{0};
  std::atomic<uint64_t> stampFrame_{0};
  std::atomic<double> stampTime_{0};

  // The reader's own.
  uint64_t released_ = 0;  // the value of tail_, which only the reader moves
  bool reading_ = false;
  uint64_t base_ = 0;      // the next output is read at base_ + fraction_
  double fraction_ = 0;
  Stats stats_;
};

}  // namespace kivora::audio

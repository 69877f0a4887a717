// Integrated loudness of a clip, fed a block of samples at a time: K-weighting,
// 400 ms blocks every 100 ms, an absolute gate at -70 LUFS and a relative gate
// 10 LU under the mean of the blocks that pass it. Memory stays the same however
// long the clip runs: gated blocks go into a fixed histogram, not a list. Also
// keeps the sample peak, which bounds the gain a clip may take. Pure code.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

class LoudnessMeter {
 public:
  // channels: 1 or 2. A mono clip plays on both output channels, so it is
  // measured as two identical channels, as it reaches the listener.
  LoudnessMeter(unsigned sampleRate, unsigned channels);

  // The frames added from now on are of another format: what was measured so far counts on.
  void SetFormat(unsigned sampleRate, unsigned channels);
  unsigned SampleRate() const { return sampleRate_; }
  unsigned Channels() const { return channels_; }

  // Interleaved frames in -1..1; any count, split anywhere.
  void Add(std::span<const float> samples);

  // LUFS; -infinity when no block passed the absolute gate (silence, or too short).
  double IntegratedLufs() const;
  // The largest absolute sample seen.
  float SamplePeak() const { return peak_; }

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
  };
  struct FilterState {
    double z1 = 0, z2 = 0;
  };
  void EndSubBlock();

  static constexpr int kBinsPerLu = 100;
  static constexpr double kLowestLufs = -70.0;
  static constexpr double kHighestLufs = 10.0;
  static constexpr size_t kBins = static_cast<size_t>((kHighestLufs - kLowestLufs) * kBinsPerLu);

  unsigned sampleRate_ = 0;
  unsigned channels_ = 1;
  double channelWeight_ = 1.0;  // a mono channel counts twice, as dual mono
  Biquad shelf_{}, highPass_{};
  std::array<FilterState, 2> shelfState_{}, highPassState_{};
  size_t subBlockFrames_ = 1;
  size_t framesInSubBlock_ = 0;
  double subBlockEnergy_ = 0;
  std::array<double, 4> lastSubBlocks_{};  // weighted mean squares of the last four 100 ms steps
  size_t subBlocksSeen_ = 0;
  // Blocks above the absolute gate, by loudness: how many, and their summed mean squares.
  std::vector<unsigned> binCounts_;
  std::vector<double> binEnergy_;
  float peak_ = 0.0f;
};

struct ClipLoudness {
  double lufs;       // -infinity: nothing measurable
  float samplePeak;
  double seconds;    // of audio measured
};
// Decodes the whole clip a step at a time and measures it; memory does not grow
// with the clip's length.
ClipLoudness MeasureDecoded(PcmDecoder& decoder);

// The gain that brings a clip measured at lufs to targetLufs, lowered so that the
// sample peak stays under ceilingDbfs. 1 when the clip has no measurable loudness.
float MatchingGain(double lufs, float samplePeak, double targetLufs, double ceilingDbfs);

}  // namespace kivora::audio

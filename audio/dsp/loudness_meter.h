// Integrated loudness of a clip, fed a block of samples at a time: K-weighting,
// 400 ms blocks every 100 ms, an absolute gate at -70 LUFS and a relative gate
// 10 LU under the mean of the blocks that pass it. Memory stays the same however
// long the clip runs: gated blocks go into a fixed histogram, not a list. A clip
// shorter than one block is measured as one block over its whole length. Also
// keeps the sample peak and the true peak (4x oversampled, by the interpolating
// filter of ITU-R BS.1770 Annex 2), which bounds the gain a clip may take. Pure code.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
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

  // Interleaved frames, full scale at 1: a louder sample (a float file's) counts
  // as it is. Any count, split anywhere.
  void Add(std::span<const float> samples);

  // LUFS; -infinity when no block passed the absolute gate (silence, or too short).
  double IntegratedLufs() const;
  // The largest absolute sample seen.
  float SamplePeak() const { return peak_; }
  // The largest absolute value of the signal between and at the samples, 4x oversampled.
  float TruePeak() const { return truePeak_; }

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
  };
  struct FilterState {
    double z1 = 0, z2 = 0;
  };
  void EndSubBlock();
  float Oversampled(unsigned channel, float sample);

  static constexpr size_t kInterpolationTaps = 12;  // per phase, four phases

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
  float truePeak_ = 0.0f;
  // The last kInterpolationTaps samples of each channel, newest at the end.
  std::array<std::array<float, kInterpolationTaps>, 2> history_{};
  // Until the first block is whole: everything seen, for a clip shorter than a block.
  double shortEnergy_ = 0.0;
  size_t shortFrames_ = 0;
};

struct ClipLoudness {
  double lufs;       // -infinity: nothing measurable
  float samplePeak;
  float truePeak;
  double seconds;    // of audio measured
};
// Decodes the whole clip a step at a time and measures it; memory does not grow
// with the clip's length. Nothing when stop turns true first (checked at every step).
std::optional<ClipLoudness> MeasureDecoded(PcmDecoder& decoder, const std::atomic<bool>* stop = nullptr);

// No clip is raised by more than this: hiss or a near-silent file would otherwise
// come out as loud as the built-in clips.
inline constexpr double kMostMatchingGainDb = 20.0;

// The gain that brings a clip measured at lufs to targetLufs, at most
// kMostMatchingGainDb, and lowered so that the true peak stays under ceilingDbtp.
// 1 when the clip has no measurable loudness or no peak.
float MatchingGain(double lufs, float truePeak, double targetLufs, double ceilingDbtp);

}  // namespace kivora::audio

// Three to eight channels folded into two, as ITU-R BS.775 folds 3/2 sound
// into stereo: each front channel into its side at full level, the centre into
// both sides and each surround into its own side at -3 dB, the LFE channel
// dropped. Pure code.
//
// The speaker of each channel comes from WAVE_FORMAT_EXTENSIBLE's channel mask
// (its set bits, lowest first, name the channels in order). A file that gives
// no mask has the usual order for its count:
//   3: L R C              4: L R Ls Rs (back)     5: L R C Ls Rs (back)
//   6: L R C LFE Ls Rs (5.1, back surrounds)      7: L R C LFE Cs Ls Rs (6.1, side surrounds)
//   8: L R C LFE Lb Rb Ls Rs (7.1: back and side surrounds)
// Every speaker of the mask, at (left, right):
//   front left, front left of centre  (1, 0)      front right, front right of centre  (0, 1)
//   front centre, back centre, top centre, top front centre, top back centre  (0.707, 0.707)
//   back left, side left, top front left, top back left  (0.707, 0)   and their right ones (0, 0.707)
//   low frequency  (0, 0)
// A channel the mask names no speaker for goes into both sides at -3 dB: its
// sound is kept. The sum may pass full scale where channels peak together; the
// gains after the decoder keep it, and only the device's final conversion clips.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kivora::audio {

class StereoDownmix {
 public:
  static constexpr unsigned kMostChannels = 8;

  // channels: 3 to 8; channelMask as the file declares it, 0 for the usual order.
  StereoDownmix(unsigned channels, uint32_t channelMask);

  // Appends the stereo frames of whole interleaved frames of the file's channels.
  void Fold(std::span<const float> frames, std::vector<float>& stereo) const;

  struct Weights {
    float left;
    float right;
  };
  Weights WeightsOf(unsigned channel) const { return weights_[channel]; }

 private:
  unsigned channels_;
  std::array<Weights, kMostChannels> weights_{};
};

}  // namespace kivora::audio

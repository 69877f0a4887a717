#include "audio/decode/stereo_downmix.h"

#include <algorithm>
#include <bit>

namespace kivora::audio {
namespace {

constexpr float kMinus3Db = 0.70710678f;

// By the bit of WAVE_FORMAT_EXTENSIBLE's channel mask, lowest first.
constexpr StereoDownmix::Weights kSpeakers[] = {
    {1, 0},                  // front left
    {0, 1},                  // front right
    {kMinus3Db, kMinus3Db},  // front centre
    {0, 0},                  // low frequency
    {kMinus3Db, 0},          // back left
    {0, kMinus3Db},          // back right
    {1, 0},                  // front left of centre
    {0, 1},                  // front right of centre
    {kMinus3Db, kMinus3Db},  // back centre
    {kMinus3Db, 0},          // side left
    {0, kMinus3Db},          // side right
    {kMinus3Db, kMinus3Db},  // top centre
    {kMinus3Db, 0},          // top front left
    {kMinus3Db, kMinus3Db},  // top front centre
    {0, kMinus3Db},          // top front right
    {kMinus3Db, 0},          // top back left
    {kMinus3Db, kMinus3Db},  // top back centre
    {0, kMinus3Db},          // top back right
};
constexpr StereoDownmix::Weights kUnplaced = {kMinus3Db, kMinus3Db};

// The usual masks for 3 to 8 channels.
constexpr uint32_t kUsualMasks[] = {0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};

}  // namespace

StereoDownmix::StereoDownmix(unsigned channels, uint32_t channelMask)
    : channels_(std::clamp(channels, 3u, kMostChannels)) {
  uint32_t mask = channelMask != 0 ? channelMask : kUsualMasks[channels_ - 3];
  for (unsigned channel = 0; channel < channels_; ++channel) {
    const int bit = mask != 0 ? std::countr_zero(mask) : -1;
    mask &= mask - 1;
    weights_[channel] = bit >= 0 && bit < static_cast<int>(std::size(kSpeakers)) ? kSpeakers[bit] : kUnplaced;
  }
}

void StereoDownmix::Fold(std::span<const float> frames, std::vector<float>& stereo) const {
  const size_t count = frames.size() / channels_;
  const size_t start = stereo.size();
  stereo.resize(start + count * 2);
  float* out = stereo.data() + start;
  for (size_t frame = 0; frame < count; ++frame) {
    const float* in = frames.data() + frame * channels_;
    float left = 0.0f;
    float right = 0.0f;
    for (unsigned channel = 0; channel < channels_; ++channel) {
      left += in[channel] * weights_[channel].left;
      right += in[channel] * weights_[channel].right;
    }
    out[frame * 2] = left;
    out[frame * 2 + 1] = right;
  }
}

}  // namespace kivora::audio

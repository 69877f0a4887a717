#include "audio/dsp/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kivora::audio {
namespace {

constexpr double kPi = 3.14159265358979323846;
// The K-weighting's two stages as analogue prototypes (a high shelf near 1.7 kHz
// of about +4 dB, then a high pass near 38 Hz), mapped to the clip's own rate by
// the bilinear transform; at 48 kHz they give the published coefficients.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;
constexpr double kRelativeGateLu = 10.0;

double Loudness(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

// The four phases of the 48-tap interpolating filter of BS.1770 Annex 2; phase 0 is
// the sample's own neighbourhood, phases 1 to 3 the points a quarter, a half and
// three quarters of the way to the next sample.
constexpr double kPhases[4][12] = {
    {0.0017089843750, 0.0109863281250, -0.0196533203125, 0.0332031250000, -0.0594482421875, 0.1373291015625,
     0.9721679687500, -0.1022949218750, 0.0476074218750, -0.0266113281250, 0.0148925781250, -0.0083007812500},
    {-0.0291748046875, 0.0292968750000, -0.0517578125000, 0.0891113281250, -0.1665039062500, 0.4650878906250,
     0.7797851562500, -0.2003173828125, 0.1015625000000, -0.0582275390625, 0.0330810546875, -0.0189208984375},
    {-0.0189208984375, 0.0330810546875, -0.0582275390625, 0.1015625000000, -0.2003173828125, 0.7797851562500,
     0.4650878906250, -0.1665039062500, 0.0891113281250, -0.0517578125000, 0.0292968750000, -0.0291748046875},
    {-0.0083007812500, 0.0148925781250, -0.0266113281250, 0.0476074218750, -0.1022949218750, 0.9721679687500,
     0.1373291015625, -0.0594482421875, 0.0332031250000, -0.0196533203125, 0.0109863281250, 0.0017089843750},
};

}  // namespace

LoudnessMeter::LoudnessMeter(unsigned sampleRate, unsigned channels)
    : binCounts_(kBins, 0), binEnergy_(kBins, 0.0) {
  SetFormat(sampleRate, channels);
}

void LoudnessMeter::SetFormat(unsigned sampleRate, unsigned channels) {
  sampleRate_ = sampleRate;
  channels_ = std::clamp(channels, 1u, 2u);
  channelWeight_ = channels_ == 1 ? 2.0 : 1.0;
  subBlockFrames_ = std::max<size_t>(1, (sampleRate + 5) / 10);
  // The filters start afresh and the step under way is dropped: a few milliseconds at a change of format.
  shelfState_ = {};
  highPassState_ = {};
  history_ = {};
  subBlockEnergy_ = 0.0;
  framesInSubBlock_ = 0;
  const double rate = std::max(1u, sampleRate);
  // A stage maps only while its frequency lies under the clip's Nyquist frequency; past it the
  // transform gives an unstable filter, and a clip that cannot hold the frequencies the stage
  // acts on passes it unchanged.
  constexpr Biquad kUnchanged{1.0, 0.0, 0.0, 0.0, 0.0};
  shelf_ = kUnchanged;
  highPass_ = kUnchanged;
  if (kShelfHz < rate / 2.0) {
    const double k = std::tan(kPi * kShelfHz / rate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / kShelfQ + k * k;
    shelf_ = {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
              2.0 * (k * k - 1.0) / a0, (1.0 - k / kShelfQ + k * k) / a0};
  }
  if (kHighPassHz < rate / 2.0) {
    const double k = std::tan(kPi * kHighPassHz / rate);
    const double a0 = 1.0 + k / kHighPassQ + k * k;
    highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
  }
}

void LoudnessMeter::Add(std::span<const float> samples) {
  const size_t frames = samples.size() / channels_;
  const float* in = samples.data();
  for (size_t frame = 0; frame < frames; ++frame) {
    double energy = 0.0;
    for (unsigned channel = 0; channel < channels_; ++channel) {
      const float sample = *in++;
      peak_ = std::max(peak_, std::fabs(sample));
      truePeak_ = std::max(truePeak_, Oversampled(channel, sample));
      // Transposed direct form II: two state values per stage and channel.
      FilterState& s = shelfState_[channel];
      const double x = sample;
      const double y1 = shelf_.b0 * x + s.z1;
      s.z1 = shelf_.b1 * x - shelf_.a1 * y1 + s.z2;
      s.z2 = shelf_.b2 * x - shelf_.a2 * y1;
      FilterState& h = highPassState_[channel];
      const double y2 = highPass_.b0 * y1 + h.z1;
      h.z1 = highPass_.b1 * y1 - highPass_.a1 * y2 + h.z2;
      h.z2 = highPass_.b2 * y1 - highPass_.a2 * y2;
      energy += y2 * y2;
    }
    subBlockEnergy_ += energy;
    if (subBlocksSeen_ < lastSubBlocks_.size()) {
      shortEnergy_ += energy;
      ++shortFrames_;
    }
    if (++framesInSubBlock_ == subBlockFrames_) EndSubBlock();
  }
}

// The largest magnitude among the sample and the three points interpolated before it.
float LoudnessMeter::Oversampled(unsigned channel, float sample) {
  std::array<float, kInterpolationTaps>& past = history_[channel];
  std::move(past.begin() + 1, past.end(), past.begin());
  past.back() = std::isfinite(sample) ? sample : 0.0f;
  float largest = std::fabs(past.back());
  for (const auto& phase : kPhases) {
    double value = 0.0;
    for (size_t tap = 0; tap < kInterpolationTaps; ++tap) value += phase[tap] * past[kInterpolationTaps - 1 - tap];
    largest = std::max(largest, static_cast<float>(std::fabs(value)));
  }
  return largest;
}

void LoudnessMeter::EndSubBlock() {
  lastSubBlocks_[subBlocksSeen_ % lastSubBlocks_.size()] =
      subBlockEnergy_ * channelWeight_ / static_cast<double>(subBlockFrames_);
  ++subBlocksSeen_;
  subBlockEnergy_ = 0.0;
  framesInSubBlock_ = 0;
  if (subBlocksSeen_ < lastSubBlocks_.size()) return;
  double sum = 0.0;
  for (double part : lastSubBlocks_) sum += part;
  const double meanSquare = sum / static_cast<double>(lastSubBlocks_.size());
  if (meanSquare <= 0.0) return;
  const double lufs = Loudness(meanSquare);
  if (!(lufs > kLowestLufs)) return;  // NaN from a broken clip is gated too
  const auto bin = static_cast<size_t>(std::min((lufs - kLowestLufs) * kBinsPerLu, double{kBins - 1}));
  ++binCounts_[bin];
  binEnergy_[bin] += meanSquare;
}

double LoudnessMeter::IntegratedLufs() const {
  double energy = 0.0;
  double count = 0.0;
  for (size_t bin = 0; bin < kBins; ++bin) {
    energy += binEnergy_[bin];
    count += binCounts_[bin];
  }
  if (count == 0.0) {
    // Shorter than a block: the whole clip is the one block, under the absolute gate.
    if (subBlocksSeen_ >= lastSubBlocks_.size() || shortFrames_ == 0 || !(shortEnergy_ > 0.0)) {
      return -std::numeric_limits<double>::infinity();
    }
    const double lufs = Loudness(shortEnergy_ * channelWeight_ / static_cast<double>(shortFrames_));
    return lufs > kLowestLufs ? lufs : -std::numeric_limits<double>::infinity();
  }
  const double gate = Loudness(energy / count) - kRelativeGateLu;
  // The bin holding the gate is counted whole: an error of at most 1/kBinsPerLu LU in one bin's blocks.
  const double fromBin = std::max(0.0, std::floor((gate - kLowestLufs) * kBinsPerLu));
  energy = 0.0;
  count = 0.0;
  for (auto bin = static_cast<size_t>(std::min<double>(fromBin, kBins - 1)); bin < kBins; ++bin) {
    energy += binEnergy_[bin];
    count += binCounts_[bin];
  }
  return Loudness(energy / count);
}

std::optional<ClipLoudness> MeasureDecoded(PcmDecoder& decoder, const std::atomic<bool>* stop) {
  LoudnessMeter meter(decoder.SampleRate(), decoder.Channels());
  std::vector<float> samples;
  double seconds = 0.0;
  while (true) {
    if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
    samples.clear();
    if (!decoder.DecodeMore(samples)) break;
    // A clip's format may change part-way (two MP3 files joined): read it after every call.
    if (decoder.SampleRate() != meter.SampleRate() || decoder.Channels() != meter.Channels()) {
      meter.SetFormat(decoder.SampleRate(), decoder.Channels());
    }
    meter.Add(samples);
    seconds += static_cast<double>(samples.size() / meter.Channels()) / std::max(1u, decoder.SampleRate());
  }
  return ClipLoudness{meter.IntegratedLufs(), meter.SamplePeak(), meter.TruePeak(), seconds};
}

float MatchingGain(double lufs, float truePeak, double targetLufs, double ceilingDbtp) {
  if (!std::isfinite(lufs) || !(truePeak > 0.0f) || !std::isfinite(truePeak)) return 1.0f;
  double gainDb = std::min(targetLufs - lufs, kMostMatchingGainDb);
  gainDb = std::min(gainDb, ceilingDbtp - 20.0 * std::log10(truePeak));
  return static_cast<float>(std::pow(10.0, gainDb / 20.0));
}

}  // namespace kivora::audio

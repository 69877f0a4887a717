#include "audio/dsp/drift_interpolator.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>

#include "audio/dsp/conversion_filter.h"

namespace kivora::audio {
namespace {

constexpr double kPi = 3.14159265358979323846;
// 16 taps a side: a voice's band kept flat to 0.8 of the lower Nyquist
// frequency, images and aliases about 70 dB down, 0.33 ms of look-ahead at 48 kHz.
constexpr int kBaseHalfTaps = 16;
constexpr double kCutoff = 0.45;  // -6 dB point, in cycles per frame of the lower rate
constexpr double kBeta = 7.0;
constexpr unsigned kMaxDownRatio = 4;

}  // namespace

DriftInterpolator::DriftInterpolator(unsigned inRate, unsigned outRate, unsigned channels) : channels_(channels) {
  const double down = std::clamp(static_cast<double>(inRate) / std::max(1u, outRate), 1.0, double{kMaxDownRatio});
  halfTaps_ = kBaseHalfTaps * static_cast<int>(std::ceil(down));
  const double cutoff = kCutoff / down;  // in cycles per input frame
  const size_t perRow = static_cast<size_t>(2 * halfTaps_);
  rows_.resize((kPhases + 1) * perRow);
  for (unsigned phase = 0; phase <= kPhases; ++phase) {
    const double fraction = static_cast<double>(phase) / kPhases;
    float* row = rows_.data() + phase * perRow;
    double sum = 0;
    std::vector<double> weights(perRow);
    for (size_t k = 0; k < perRow; ++k) {
      const double distance = static_cast<double>(k) - (halfTaps_ - 1) - fraction;
      const double arg = 2 * cutoff * distance;
      const double sinc = arg == 0.0 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
      weights[k] = sinc * KaiserWindow(distance / halfTaps_, kBeta);
      sum += weights[k];
    }
    // Each row passes a constant unchanged, so a slow voice keeps its level at any fraction.
    for (size_t k = 0; k < perRow; ++k) row[k] = static_cast<float>(weights[k] / sum);
  }
}

void DriftInterpolator::Frame(const float* at, double fraction, float* out) const {
  const size_t perRow = static_cast<size_t>(2 * halfTaps_);
  const double scaled = std::clamp(fraction, 0.0, 1.0) * kPhases;
  const unsigned below = std::min(static_cast<unsigned>(scaled), kPhases - 1);
  const float amount = static_cast<float>(scaled - below);
  const float* lower = rows_.data() + below * perRow;
  const float* upper = lower + perRow;
  const float* first = at - static_cast<size_t>(halfTaps_ - 1) * channels_;
  // The row for this fraction is blended from the two around it as the taps
  // are used, four at a time: a row has 2 * halfTaps_ taps, a multiple of 4.
  const __m128 weight = _mm_set1_ps(amount);
  if (channels_ == 2) {
    // Two sums (left, right, left, right), so each addition need not wait for the one before.
    __m128 even = _mm_setzero_ps(), odd = _mm_setzero_ps();
    for (size_t k = 0; k < perRow; k += 4) {
      const __m128 a = _mm_loadu_ps(lower + k);
      const __m128 taps = _mm_add_ps(a, _mm_mul_ps(weight, _mm_sub_ps(_mm_loadu_ps(upper + k), a)));
      even = _mm_add_ps(even, _mm_mul_ps(_mm_unpacklo_ps(taps, taps), _mm_loadu_ps(first + 2 * k)));
      odd = _mm_add_ps(odd, _mm_mul_ps(_mm_unpackhi_ps(taps, taps), _mm_loadu_ps(first + 2 * k + 4)));
    }
    __m128 sum = _mm_add_ps(even, odd);
    sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
    _mm_storel_pi(reinterpret_cast<__m64*>(out), sum);
    return;
  }
  if (channels_ == 1) {
    __m128 sum = _mm_setzero_ps();
    for (size_t k = 0; k < perRow; k += 4) {
      const __m128 a = _mm_loadu_ps(lower + k);
      const __m128 taps = _mm_add_ps(a, _mm_mul_ps(weight, _mm_sub_ps(_mm_loadu_ps(upper + k), a)));
      sum = _mm_add_ps(sum, _mm_mul_ps(taps, _mm_loadu_ps(first + k)));
    }
    sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
    sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
    *out = _mm_cvtss_f32(sum);
    return;
  }
  for (unsigned channel = 0; channel < channels_; ++channel) out[channel] = 0.0f;
  for (size_t k = 0; k < perRow; ++k) {
    const float tap = lower[k] + amount * (upper[k] - lower[k]);
    for (unsigned channel = 0; channel < channels_; ++channel) out[channel] += tap * first[k * channels_ + channel];
  }
}

}  // namespace kivora::audio

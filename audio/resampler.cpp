#include "audio/resampler.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numeric>

namespace kivora::audio {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Blackman window over [-1, 1].
double Window(double x) {
  if (x <= -1.0 || x >= 1.0) return 0.0;
  return 0.42 + 0.5 * std::cos(kPi * x) + 0.08 * std::cos(2 * kPi * x);
}

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x); }

// One output sample of a mono clip: taps coefficients of row against as many
// input samples, four at a time.
float FilterMono(const float* row, const float* in, int taps) {
  __m128 sum = _mm_setzero_ps();
  for (int tap = 0; tap < taps; tap += 4) sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(row + tap), _mm_loadu_ps(in + tap)));
  sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
  sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
  return _mm_cvtss_f32(sum);
}

// One output frame of a stereo clip: both channels in one pass over the
// interleaved input, each coefficient paired with a left and a right sample.
void FilterStereo(const float* row, const float* in, int taps, float* out) {
  __m128 sum = _mm_setzero_ps();  // left, right, left, right
  for (int tap = 0; tap < taps; tap += 4) {
    const __m128 weights = _mm_loadu_ps(row + tap);
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_unpacklo_ps(weights, weights), _mm_loadu_ps(in + 2 * tap)));
    sum = _mm_add_ps(sum, _mm_mul_ps(_mm_unpackhi_ps(weights, weights), _mm_loadu_ps(in + 2 * tap + 4)));
  }
  sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
  _mm_storel_pi(reinterpret_cast<__m64*>(out), sum);
}

}  // namespace

std::unique_ptr<Resampler> Resampler::Create(unsigned inRate, unsigned outRate, unsigned channels) {
  if (inRate == 0 || outRate == 0 || channels == 0) return nullptr;
  const unsigned divisor = std::gcd(inRate, outRate);
  const unsigned up = outRate / divisor;
  const unsigned down = inRate / divisor;
  if (up > kMaxPhases) return nullptr;
  return std::unique_ptr<Resampler>(new Resampler(up, down, channels));
}

std::shared_ptr<const std::vector<float>> Resampler::TableFor(unsigned up, unsigned down) {
  // Every clip of the same rate uses the same table: it is built at the first
  // one, off the click's path for all that follow.
  static std::mutex mutex;
  static std::map<std::pair<unsigned, unsigned>, std::shared_ptr<const std::vector<float>>> tables;
  std::lock_guard lock(mutex);
  auto& cached = tables[{up, down}];
  if (cached) return cached;
  // Below the lower of the two Nyquist frequencies, so a rate taken down does not alias.
  const double cutoff = std::min(1.0, static_cast<double>(up) / down);
  auto table = std::make_shared<std::vector<float>>(static_cast<size_t>(up) * 2 * kHalfTaps);
  for (unsigned phase = 0; phase < up; ++phase) {
    float* row = &(*table)[static_cast<size_t>(phase) * 2 * kHalfTaps];
    double sum = 0;
    for (int tap = 0; tap < 2 * kHalfTaps; ++tap) {
      // Tap t weighs input frame base - kHalfTaps + 1 + t; the output lies phase / up past base.
      const double distance = (tap - kHalfTaps + 1) - static_cast<double>(phase) / up;
      const double weight = cutoff * Sinc(cutoff * distance) * Window(distance / kHalfTaps);
      row[tap] = static_cast<float>(weight);
      sum += weight;
    }
    // Each phase passes a constant signal unchanged.
    for (int tap = 0; tap < 2 * kHalfTaps; ++tap) row[tap] = static_cast<float>(row[tap] / sum);
  }
  cached = std::move(table);
  return cached;
}

Resampler::Resampler(unsigned up, unsigned down, unsigned channels)
    : up_(up), down_(down), channels_(channels), table_(TableFor(up, down)) {
  // History of silence before the first frame, so that frame is the first output.
  in_.assign(static_cast<size_t>(kHalfTaps - 1) * channels_, 0.0f);
  base_ = kHalfTaps - 1;
}

void Resampler::Push(std::span<const float> interleaved) { in_.insert(in_.end(), interleaved.begin(), interleaved.end()); }

void Resampler::Finish() {
  if (finished_) return;
  finished_ = true;
  in_.insert(in_.end(), static_cast<size_t>(kHalfTaps) * channels_, 0.0f);
}

size_t Resampler::Pull(float* out, size_t frames) {
  static_assert((2 * kHalfTaps) % 4 == 0, "the vector paths take the taps four at a time");
  const size_t available = in_.size() / channels_;
  size_t written = 0;
  // The last tap of the next output reaches frame base_ + kHalfTaps.
  while (written < frames && base_ + kHalfTaps < available) {
    const float* row = &(*table_)[static_cast<size_t>(phase_) * 2 * kHalfTaps];
    const float* first = &in_[(base_ - kHalfTaps + 1) * channels_];
    // Most clips are stereo or mono: those take the vector paths, the rest the plain one.
    if (channels_ == 2) {
      FilterStereo(row, first, 2 * kHalfTaps, out + written * 2);
    } else if (channels_ == 1) {
      out[written] = FilterMono(row, first, 2 * kHalfTaps);
    } else {
      for (unsigned channel = 0; channel < channels_; ++channel) {
        float sum = 0;
        for (int tap = 0; tap < 2 * kHalfTaps; ++tap) sum += row[tap] * first[tap * channels_ + channel];
        out[written * channels_ + channel] = sum;
      }
    }
    ++written;
    phase_ += down_;
    base_ += phase_ / up_;
    phase_ %= up_;
  }
  // Drop input that no later output reaches, keeping the filter's history.
  const size_t keepFrom = base_ - (kHalfTaps - 1);
  if (keepFrom > 4096) {
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(keepFrom * channels_));
    base_ -= keepFrom;
  }
  return written;
}

}  // namespace kivora::audio

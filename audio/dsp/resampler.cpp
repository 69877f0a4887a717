#include "audio/dsp/resampler.h"

#include <xmmintrin.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <numeric>

namespace kivora::audio {
namespace {

// One output sample of a mono clip: taps coefficients of row against as many
// input samples, four at a time.
float FilterMono(const float* row, const float* in, int taps) {
  __m128 even = _mm_setzero_ps(), odd = _mm_setzero_ps();  // two sums, as in FilterStereo
  int tap = 0;
  for (; tap + 8 <= taps; tap += 8) {
    even = _mm_add_ps(even, _mm_mul_ps(_mm_loadu_ps(row + tap), _mm_loadu_ps(in + tap)));
    odd = _mm_add_ps(odd, _mm_mul_ps(_mm_loadu_ps(row + tap + 4), _mm_loadu_ps(in + tap + 4)));
  }
  if (tap < taps) even = _mm_add_ps(even, _mm_mul_ps(_mm_loadu_ps(row + tap), _mm_loadu_ps(in + tap)));
  __m128 sum = _mm_add_ps(even, odd);
  sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
  sum = _mm_add_ss(sum, _mm_shuffle_ps(sum, sum, 1));
  return _mm_cvtss_f32(sum);
}

// One output frame of a stereo clip: both channels in one pass over the
// interleaved input, each coefficient paired with a left and a right sample.
// Four sums (left, right, left, right) over alternate pairs of taps, so each
// addition need not wait for the one before: the loop runs at the speed of its
// loads rather than of a chain of additions.
void FilterStereo(const float* row, const float* in, int taps, float* out) {
  __m128 sums[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
  int tap = 0;
  for (; tap + 8 <= taps; tap += 8) {
    const __m128 low = _mm_loadu_ps(row + tap), high = _mm_loadu_ps(row + tap + 4);
    sums[0] = _mm_add_ps(sums[0], _mm_mul_ps(_mm_unpacklo_ps(low, low), _mm_loadu_ps(in + 2 * tap)));
    sums[1] = _mm_add_ps(sums[1], _mm_mul_ps(_mm_unpackhi_ps(low, low), _mm_loadu_ps(in + 2 * tap + 4)));
    sums[2] = _mm_add_ps(sums[2], _mm_mul_ps(_mm_unpacklo_ps(high, high), _mm_loadu_ps(in + 2 * tap + 8)));
    sums[3] = _mm_add_ps(sums[3], _mm_mul_ps(_mm_unpackhi_ps(high, high), _mm_loadu_ps(in + 2 * tap + 12)));
  }
  if (tap < taps) {  // a row's taps come four at a time: at most four are left
    const __m128 weights = _mm_loadu_ps(row + tap);
    sums[0] = _mm_add_ps(sums[0], _mm_mul_ps(_mm_unpacklo_ps(weights, weights), _mm_loadu_ps(in + 2 * tap)));
    sums[1] = _mm_add_ps(sums[1], _mm_mul_ps(_mm_unpackhi_ps(weights, weights), _mm_loadu_ps(in + 2 * tap + 4)));
  }
  __m128 sum = _mm_add_ps(_mm_add_ps(sums[0], sums[1]), _mm_add_ps(sums[2], sums[3]));
  sum = _mm_add_ps(sum, _mm_movehl_ps(sum, sum));
  _mm_storel_pi(reinterpret_cast<__m64*>(out), sum);
}

// from + (to - from) * amount, four coefficients at a time.
void BlendRows(const float* from, const float* to, float amount, int taps, float* out) {
  const __m128 weight = _mm_set1_ps(amount);
  for (int tap = 0; tap < taps; tap += 4) {
    const __m128 a = _mm_loadu_ps(from + tap);
    _mm_storeu_ps(out + tap, _mm_add_ps(a, _mm_mul_ps(weight, _mm_sub_ps(_mm_loadu_ps(to + tap), a))));
  }
}

struct FilterCache {
  std::mutex mutex;
  std::map<std::pair<uint32_t, uint32_t>, std::weak_ptr<const ConversionFilter>> filters;
};

FilterCache& Cache() {
  static FilterCache cache;
  return cache;
}

}  // namespace

std::unique_ptr<Resampler> Resampler::Create(unsigned inRate, unsigned outRate, unsigned channels) {
  const auto valid = [](unsigned rate) { return rate >= kMinRate && rate <= kMaxRate; };
  if (!valid(inRate) || !valid(outRate) || channels == 0) return nullptr;
  const unsigned divisor = std::gcd(inRate, outRate);
  return std::unique_ptr<Resampler>(new Resampler(outRate / divisor, inRate / divisor, channels));
}

std::shared_ptr<const ConversionFilter> Resampler::SharedTable(unsigned inRate, unsigned outRate) {
  const auto valid = [](unsigned rate) { return rate >= kMinRate && rate <= kMaxRate; };
  if (!valid(inRate) || !valid(outRate)) return nullptr;
  const unsigned divisor = std::gcd(inRate, outRate);
  return FilterFor(outRate / divisor, inRate / divisor);
}

std::shared_ptr<const ConversionFilter> Resampler::FilterFor(uint32_t up, uint32_t down) {
  // Every clip of the same ratio uses the same table: it is built at the first
  // one, off the click's path for those that play beside it, and freed with the last.
  // The lock is held only to look a table up or keep one: building it takes
  // milliseconds, and other threads (a click's) must not wait for that.
  FilterCache& cache = Cache();
  {
    std::lock_guard lock(cache.mutex);
    std::erase_if(cache.filters, [](const auto& entry) { return entry.second.expired(); });
    if (auto shared = cache.filters[{up, down}].lock()) return shared;
  }
  auto built = std::make_shared<const ConversionFilter>(BuildConversionFilter(up, down));
  std::lock_guard lock(cache.mutex);
  std::weak_ptr<const ConversionFilter>& slot = cache.filters[{up, down}];
  // Another thread built the same table meanwhile: one copy is kept.
  if (auto shared = slot.lock()) return shared;
  slot = built;
  return built;
}

size_t Resampler::SharedTableBytes() {
  FilterCache& cache = Cache();
  std::lock_guard lock(cache.mutex);
  size_t bytes = 0;
  for (const auto& [ratio, filter] : cache.filters) {
    if (auto shared = filter.lock()) bytes += shared->Bytes();
  }
  return bytes;
}

Resampler::Resampler(uint32_t up, uint32_t down, unsigned channels)
    : up_(up), down_(down), channels_(channels), filter_(FilterFor(up, down)), halfTaps_(filter_->halfTaps) {
  // Room for two pushes beside the filter's reach and the zeros of Finish, so
  // steady play only moves samples within the buffer.
  in_.reserve((2 * kSteadyPushFrames + 4 * halfTaps_) * channels_);
  if (filter_->interpolated) blended_.resize(static_cast<size_t>(filter_->TapsPerRow()));
  // History of silence before the first frame, so that frame is the first output.
  in_.assign((halfTaps_ - 1) * channels_, 0.0f);
  base_ = halfTaps_ - 1;
}

void Resampler::MakeRoom(size_t samples) {
  if (in_.size() + samples <= in_.capacity()) return;
  const size_t keepFrom = std::min(base_ - (halfTaps_ - 1), in_.size() / channels_);
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(keepFrom * channels_));
  base_ -= keepFrom;
}

void Resampler::Push(std::span<const float> interleaved) {
  MakeRoom(interleaved.size());
  in_.insert(in_.end(), interleaved.begin(), interleaved.end());
}

size_t Resampler::InputNeededFor(size_t frames) const {
  if (frames == 0) return 0;
  // The last of those outputs lies at base_ + (phase_ + (frames - 1) * down_) / up_; its last tap reaches halfTaps_ further.
  const uint64_t position = static_cast<uint64_t>(base_) * up_ + phase_ + static_cast<uint64_t>(frames - 1) * down_;
  const uint64_t needed = position / up_ + halfTaps_ + 1;
  const uint64_t available = in_.size() / channels_;
  return needed > available ? static_cast<size_t>(needed - available) : 0;
}

size_t Resampler::PendingFrames() const {
  const size_t next = base_ + (phase_ > 0 ? 1 : 0);
  const size_t available = in_.size() / channels_;
  return available > next ? available - next : 0;
}

float* Resampler::AppendSilence(size_t frames) {
  MakeRoom(frames * channels_);
  const size_t pending = PendingFrames();
  in_.resize(in_.size() + frames * channels_, 0.0f);
  return in_.data() + in_.size() - (pending + frames) * channels_;
}

void Resampler::DropLast(size_t frames) {
  in_.resize(in_.size() - std::min(frames, PendingFrames()) * channels_);
}

void Resampler::Reset() {
  in_.assign((halfTaps_ - 1) * channels_, 0.0f);
  base_ = halfTaps_ - 1;
  phase_ = 0;
  finished_ = false;
}

void Resampler::Finish() {
  if (finished_) return;
  finished_ = true;
  MakeRoom(halfTaps_ * channels_);
  in_.insert(in_.end(), halfTaps_ * channels_, 0.0f);
}

void Resampler::FilterFrame(const float* row, const float* first, float* out) const {
  const int taps = filter_->TapsPerRow();
  // Most clips are stereo or mono: those take the vector paths, the rest the plain one.
  if (channels_ == 2) {
    FilterStereo(row, first, taps, out);
  } else if (channels_ == 1) {
    *out = FilterMono(row, first, taps);
  } else {
    for (unsigned channel = 0; channel < channels_; ++channel) {
      float sum = 0;
      for (int tap = 0; tap < taps; ++tap) sum += row[tap] * first[static_cast<size_t>(tap) * channels_ + channel];
      out[channel] = sum;
    }
  }
}

size_t Resampler::Pull(float* out, size_t frames) {
  const ConversionFilter& filter = *filter_;
  const size_t available = in_.size() / channels_;
  // The filter reaches further than one output's step (halfTaps_ > down_ / up_
  // for any pair of rates), so base_ stays within the input it has seen.
  const uint32_t wholeStep = down_ / up_;
  const uint32_t fractionStep = down_ % up_;
  size_t written = 0;
  // The last tap of the next output reaches frame base_ + halfTaps_.
  while (written < frames && base_ + halfTaps_ < available) {
    const float* first = &in_[(base_ - halfTaps_ + 1) * channels_];
    const float* row = blended_.data();
    if (!filter.interpolated) {
      row = filter.Row(phase_);
    } else {
      const uint64_t position = static_cast<uint64_t>(phase_) * filter.phases;
      const size_t below = static_cast<size_t>(position / up_);
      const float amount = static_cast<float>(position % up_) / static_cast<float>(up_);
      BlendRows(filter.Row(below), filter.Row(below + 1), amount, filter.TapsPerRow(), blended_.data());
    }
    FilterFrame(row, first, out + written * channels_);
    ++written;
    base_ += wholeStep;
    phase_ += fractionStep;
    if (phase_ >= up_) {
      phase_ -= up_;
      ++base_;
    }
  }
  return written;
}

}  // namespace kivora::audio

#include "audio/dsp/conversion_filter.h"

#include <algorithm>
#include <cmath>

namespace kivora::audio {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Stop-band attenuation the window is designed for: 10 dB under the -90 dBc
// that images and aliases must stay below, for float rounding and the blend
// between rows.
constexpr double kAttenuationDb = 100.0;
// The pass band ends at 0.9 of the lower Nyquist frequency, the stop band
// starts at it.
constexpr double kPassBandEdge = 0.9;
// A large down-ratio widens the filter with the ratio, up to this many taps a
// row; past that the transition band widens instead, down from the stop edge.
constexpr int kMaxTapsPerRow = 4096;
// Exact rows are used while the table stays within this many coefficients and
// rows; other ratios get rows at a fixed spacing, blended.
constexpr size_t kMaxTableTaps = size_t{1} << 18;
constexpr uint32_t kMaxExactPhases = 1024;
constexpr unsigned kMaxInterpolatedPhases = 512;

// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x) {
  const double quarterSquare = x * x / 4;
  double term = 1;
  double sum = 1;
  for (int k = 1; term > sum * 1e-17; ++k) {
    term *= quarterSquare / (static_cast<double>(k) * k);
    sum += term;
  }
  return sum;
}

struct Design {
  double cutoff;     // -6 dB point, in cycles per input frame
  double halfWidth;  // the window spans input distances -halfWidth..halfWidth
  double beta;
  double windowScale;  // 1 / I0(beta)
};

Design DesignFor(uint32_t up, uint32_t down) {
  // Frequencies in cycles per input frame: the lower Nyquist frequency is 1/2
  // when taking the rate up, less when taking it down.
  const double stopEdge = 0.5 * std::min(1.0, static_cast<double>(up) / down);
  double transition = (1.0 - kPassBandEdge) * stopEdge;
  // Kaiser's estimate of the length that gives the attenuation over that transition.
  const double length = (kAttenuationDb - 7.95) / (2.285 * 2 * kPi * transition);
  const double maxHalfWidth = kMaxTapsPerRow / 2 - 1;
  double halfWidth = length / 2;
  if (halfWidth > maxHalfWidth) {
    halfWidth = maxHalfWidth;
    transition = (kAttenuationDb - 7.95) / (2.285 * 2 * kPi * 2 * halfWidth);
  }
  // Past the ratios that a device meets the band would close: keep half of it.
  const double cutoff = std::max(stopEdge - transition / 2, stopEdge / 2);
  const double beta = 0.1102 * (kAttenuationDb - 8.7);
  return {cutoff, halfWidth, beta, 1.0 / BesselI0(beta)};
}

double Tap(const Design& design, double distance) {
  // KaiserWindow, with I0(beta) worked out once for the whole table.
  const double x = distance / design.halfWidth;
  if (x <= -1.0 || x >= 1.0) return 0.0;
  const double window = BesselI0(design.beta * std::sqrt(1.0 - x * x)) * design.windowScale;
  const double arg = 2 * design.cutoff * distance;
  const double sinc = arg == 0.0 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
  return 2 * design.cutoff * sinc * window;
}

}  // namespace

double KaiserWindow(double x, double beta) {
  if (x <= -1.0 || x >= 1.0) return 0.0;
  return BesselI0(beta * std::sqrt(1.0 - x * x)) / BesselI0(beta);
}

ConversionFilter BuildConversionFilter(uint32_t up, uint32_t down) {
  ConversionFilter filter;
  if (up == down) {
    // The same rate: each frame passes as it is, with no band taken away.
    filter.halfTaps = 2;
    filter.phases = 1;
    filter.taps = {0.0f, 1.0f, 0.0f, 0.0f};
    return filter;
  }
  const Design design = DesignFor(up, down);
  // The window must fit the taps for every fraction 0 <= f <= 1: the taps
  // reach from -(halfTaps - 1) - f to halfTaps - f.
  filter.halfTaps = static_cast<int>(std::ceil(design.halfWidth)) + 1;
  filter.halfTaps += filter.halfTaps % 2;
  const size_t perRow = static_cast<size_t>(filter.TapsPerRow());
  filter.interpolated = up > kMaxExactPhases || up * perRow > kMaxTableTaps;
  filter.phases = filter.interpolated
                      ? static_cast<unsigned>(std::clamp<size_t>(kMaxTableTaps / perRow, 16, kMaxInterpolatedPhases))
                      : up;
  const size_t rows = filter.phases + (filter.interpolated ? 1 : 0);
  filter.taps.resize(rows * perRow);
  std::vector<double> weights(perRow);
  for (size_t row = 0; row < rows; ++row) {
    float* out = filter.taps.data() + row * perRow;
    // The kernel is even, so the row of fraction 1 - f is the row of f reversed.
    const size_t mirror = filter.phases - row;
    if (row > 0 && mirror < row) {
      std::reverse_copy(filter.Row(mirror), filter.Row(mirror) + perRow, out);
      continue;
    }
    const double fraction = static_cast<double>(row) / filter.phases;
    double sum = 0;
    for (size_t k = 0; k < perRow; ++k) {
      weights[k] = Tap(design, static_cast<double>(k) - (filter.halfTaps - 1) - fraction);
      sum += weights[k];
    }
    // Each row passes a constant signal unchanged.
    for (size_t k = 0; k < perRow; ++k) out[k] = static_cast<float>(weights[k] / sum);
  }
  return filter;
}

}  // namespace kivora::audio

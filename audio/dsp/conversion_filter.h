// The low-pass filter of the rate converter, laid out as rows of taps: a
// Kaiser-windowed sinc whose stop band starts at the lower of the two Nyquist
// frequencies, so neither the images of a rate taken up nor the aliases of a
// rate taken down reach the band that is kept. Pure code, no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivora::audio {

struct ConversionFilter {
  // Tap k of a row weighs input frame base - halfTaps + 1 + k, for an output
  // that lies a fraction of a frame past base. halfTaps is even, so a row's
  // 2 * halfTaps taps go four at a time.
  int halfTaps = 0;
  // Rows of the fractions 0, 1/phases, ..., and with interpolated also 1.
  unsigned phases = 0;
  // Exact: one row per phase of the reduced ratio, each output uses one row as
  // it is. Interpolated: a ratio that reduces to too many phases uses a fixed
  // count of rows and blends the two around each output's fraction.
  bool interpolated = false;
  std::vector<float> taps;

  int TapsPerRow() const { return 2 * halfTaps; }
  const float* Row(size_t row) const { return taps.data() + row * static_cast<size_t>(TapsPerRow()); }
  size_t Bytes() const { return taps.size() * sizeof(float); }
};

// The Kaiser window at x in -1..1 (0 outside), for shape beta.
double KaiserWindow(double x, double beta);

// Output steps per input step (up) and input steps per output step (down),
// the rates' ratio reduced, both nonzero.
ConversionFilter BuildConversionFilter(uint32_t up, uint32_t down);

}  // namespace kivora::audio

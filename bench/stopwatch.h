// Timing helpers shared by the benchmark programs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace kivora::bench {

// Milliseconds on the performance counter.
inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value at quantile q (0..1) of the measurements.
inline double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))];
}

inline double Median(const std::vector<double>& values) { return Quantile(values, 0.5); }

}  // namespace kivora::bench

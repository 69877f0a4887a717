#include "ui/picture_fit.h"

#include <algorithm>
#include <cstdint>

namespace kivora::ui {

FittedRect FitCentred(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return {0, 0, 0, 0};
  const std::int64_t pw = pictureWidth, ph = pictureHeight, bw = boxWidth, bh = boxHeight;
  std::int64_t width = bw, height = bh;
  // Wider than the box's aspect: the width fills the box; otherwise the height does.
  if (pw * bh >= ph * bw) {
    height = std::max<std::int64_t>(1, (ph * bw * 2 + pw) / (pw * 2));
  } else {
    width = std::max<std::int64_t>(1, (pw * bh * 2 + ph) / (ph * 2));
  }
  return {static_cast<int>((bw - width) / 2), static_cast<int>((bh - height) / 2), static_cast<int>(width),
          static_cast<int>(height)};
}

namespace {

// One axis of an area resampling: for each new position, the old positions it covers
// and how much of each (the weights of one position add up to 1).
struct Tap {
  int from;
  std::vector<double> weights;
};

std::vector<Tap> AxisTaps(int length, int toLength) {
  std::vector<Tap> taps(static_cast<size_t>(toLength));
  const double scale = static_cast<double>(length) / toLength;
  for (int to = 0; to < toLength; ++to) {
    const double start = to * scale, end = (to + 1) * scale;
    Tap& tap = taps[static_cast<size_t>(to)];
    tap.from = static_cast<int>(start);
    for (int at = tap.from; at < length && at < end; ++at) {
      const double covered = std::min<double>(end, at + 1) - std::max<double>(start, at);
      tap.weights.push_back(covered / scale);
    }
  }
  return taps;
}

}  // namespace

std::vector<std::uint32_t> ResampleByArea(std::span<const std::uint32_t> pixels, int width, int height, int toWidth,
                                          int toHeight) {
  if (width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0) return {};
  if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return {};
  const std::vector<Tap> columns = AxisTaps(width, toWidth), rows = AxisTaps(height, toHeight);
  std::vector<std::uint32_t> out(static_cast<size_t>(toWidth) * static_cast<size_t>(toHeight));
  for (int y = 0; y < toHeight; ++y) {
    const Tap& row = rows[static_cast<size_t>(y)];
    for (int x = 0; x < toWidth; ++x) {
      const Tap& column = columns[static_cast<size_t>(x)];
      double sums[4] = {0, 0, 0, 0};
      for (size_t j = 0; j < row.weights.size(); ++j) {
        const std::uint32_t* line = pixels.data() + static_cast<size_t>(row.from + static_cast<int>(j)) * width;
        for (size_t i = 0; i < column.weights.size(); ++i) {
          const std::uint32_t pixel = line[column.from + static_cast<int>(i)];
          const double weight = row.weights[j] * column.weights[i];
          for (int channel = 0; channel < 4; ++channel) sums[channel] += weight * ((pixel >> (8 * channel)) & 0xFF);
        }
      }
      std::uint32_t value = 0;
      for (int channel = 0; channel < 4; ++channel) {
        value |= static_cast<std::uint32_t>(std::clamp(sums[channel] + 0.5, 0.0, 255.0)) << (8 * channel);
      }
      out[static_cast<size_t>(y) * toWidth + x] = value;
    }
  }
  return out;
}

}  // namespace kivora::ui

#include "decor/shadow_rings.h"

#include <algorithm>

namespace kivora::decor {
namespace {

std::uint32_t Premultiply(std::uint32_t channel, std::uint32_t alpha) { return (channel * alpha + 127) / 255; }

// One premultiplied BGRA pixel of the colour at this alpha.
std::uint32_t ShadowPixel(std::uint32_t colorRef, int alpha) {
  const auto a = static_cast<std::uint32_t>(alpha);
  const std::uint32_t red = colorRef & 0xFF;
  const std::uint32_t green = (colorRef >> 8) & 0xFF;
  const std::uint32_t blue = (colorRef >> 16) & 0xFF;
  return (a << 24) | (Premultiply(red, a) << 16) | (Premultiply(green, a) << 8) | Premultiply(blue, a);
}

}  // namespace

ShadowBox ShadowAround(int left, int top, int right, int bottom, int size) {
  return {left - size, top - size, right - left + 2 * size, bottom - top + 2 * size};
}

int ShadowAlphaStep(int size) {
  if (size < 1) return 0;
  return size > 8 ? 150 / size : 100 / size;
}

int ShadowRingAlpha(int size, int ring) {
  if (ring < 1 || ring > size) return 0;
  return std::min(255, ShadowAlphaStep(size) * ring);
}

bool PaintShadowRings(std::span<std::uint32_t> pixels, int width, int height, std::uint32_t colorRef, int size) {
  if (width <= 0 || height <= 0) return false;
  if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return false;
  std::fill(pixels.begin(), pixels.end(), 0u);
  for (int ring = 1; ring <= size; ++ring) {
    const int near = ring - 1;
    const int farX = width - ring;
    const int farY = height - ring;
    if (farX < near || farY < near) break;  // the window is smaller than the band
    const std::uint32_t pixel = ShadowPixel(colorRef, ShadowRingAlpha(size, ring));
    auto row = [&](int y) { return pixels.begin() + static_cast<std::ptrdiff_t>(y) * width; };
    std::fill(row(near) + near, row(near) + farX + 1, pixel);
    std::fill(row(farY) + near, row(farY) + farX + 1, pixel);
    for (int y = near + 1; y < farY; ++y) {
      row(y)[near] = pixel;
      row(y)[farX] = pixel;
    }
  }
  return true;
}

}  // namespace kivora::decor

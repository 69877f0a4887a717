// The arithmetic of the drop shadow: where the band lies around a window and what
// its rings look like. Plain data only, so it also builds natively for sanitizers.
#pragma once

#include <cstdint>
#include <span>

namespace kivora::decor {

// A rectangle in screen pixels, as position and extent.
struct ShadowBox {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ShadowBox&, const ShadowBox&) = default;
};

// The band grows the window by `size` on every side.
ShadowBox ShadowAround(int left, int top, int right, int bottom, int size);

// Alpha added per ring: wide bands use a larger step so that they still reach a
// visible darkness at the window edge.
int ShadowAlphaStep(int size);

// Alpha of ring 1 (outermost, faintest) to ring `size` (innermost, darkest).
int ShadowRingAlpha(int size, int ring);

// Paints the rings into `pixels` (width x height, 32-bit BGRA, premultiplied as a
// per-pixel-alpha layered window wants them). `colorRef` is a Windows colour value,
// red in the lowest byte. Ring i is a one-pixel outline at inset i - 1; everything
// else, the area under the window included, stays fully transparent. Returns false
// and paints nothing when the buffer does not match the size.
bool PaintShadowRings(std::span<std::uint32_t> pixels, int width, int height, std::uint32_t colorRef, int size);

}  // namespace kivora::decor

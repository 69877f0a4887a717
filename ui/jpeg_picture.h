// JPEG pictures decoded into GDI bitmaps, in the same form as PNG ones.
#pragma once

#include <span>

#include "ui/png_picture.h"

namespace kivora::ui {

// Pictures wider or taller than this are refused, whatever the header says.
inline constexpr int kMaxJpegSide = 4096;

// Decodes a whole baseline or progressive JPEG held in memory (greyscale or
// colour) into an opaque 32-bit top-down picture. Damaged, truncated or oversized
// input, and input whose data ends before the size its header declares, gives an
// empty picture.
PngPicture DecodeJpeg(std::span<const unsigned char> jpeg) noexcept;

// Whether the bytes start like a JPEG file (start-of-image marker).
bool LooksLikeJpeg(std::span<const unsigned char> bytes) noexcept;

}  // namespace kivora::ui

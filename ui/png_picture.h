// PNG pictures decoded into GDI bitmaps for buttons and AlphaBlend.
#pragma once

#include <windows.h>

#include <span>

#include "ui/png_decode.h"

namespace kivora::ui {

// Owns a 32-bit top-down DIB section holding premultiplied BGRA pixels, the
// layout BS_BITMAP buttons and AlphaBlend (AC_SRC_ALPHA) expect. Move-only: the
// bitmap is deleted exactly once, by whichever object holds it last.
class PngPicture {
 public:
  PngPicture() = default;
  PngPicture(HBITMAP bitmap, int width, int height) noexcept;
  ~PngPicture();

  PngPicture(PngPicture&& other) noexcept;
  PngPicture& operator=(PngPicture&& other) noexcept;
  PngPicture(const PngPicture&) = delete;
  PngPicture& operator=(const PngPicture&) = delete;

  HBITMAP Handle() const noexcept { return bitmap_; }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Empty() const noexcept { return bitmap_ == nullptr; }
  explicit operator bool() const noexcept { return !Empty(); }

  // Hands the bitmap to a caller that takes over deleting it (for example a
  // control that owns its image); this object becomes empty.
  HBITMAP Release() noexcept;

 private:
  void Reset() noexcept;

  HBITMAP bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// Decodes a whole PNG file held in memory: any colour type and bit depth, with or
// without alpha or tRNS transparency, interlaced or not. Damaged, truncated or
// oversized input gives an empty picture.
PngPicture DecodePng(std::span<const unsigned char> png) noexcept;

}  // namespace kivora::ui

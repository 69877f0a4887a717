// PNG pictures decoded into GDI bitmaps for buttons and AlphaBlend.
#pragma once

#include <windows.h>

#include <span>
#include <utility>

#include "base/unique_handle.h"

#include "ui/png_decode.h"

namespace kivora::ui {

// Owns a 32-bit top-down DIB section holding premultiplied BGRA pixels, the
// layout BS_BITMAP buttons and AlphaBlend (AC_SRC_ALPHA) expect. Move-only: the
// bitmap is deleted exactly once, by whichever object holds it last.
class PngPicture {
 public:
  PngPicture() = default;
  PngPicture(HBITMAP bitmap, int width, int height) noexcept
      : bitmap_(bitmap), width_(bitmap ? width : 0), height_(bitmap ? height : 0) {}
  PngPicture(PngPicture&& other) noexcept
      : bitmap_(std::move(other.bitmap_)),
        width_(std::exchange(other.width_, 0)),
        height_(std::exchange(other.height_, 0)) {}
  PngPicture& operator=(PngPicture&& other) noexcept {
    bitmap_ = std::move(other.bitmap_);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    return *this;
  }

  HBITMAP Handle() const noexcept { return bitmap_.Get(); }
  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Empty() const noexcept { return !bitmap_; }
  explicit operator bool() const noexcept { return !Empty(); }

  // Hands the bitmap to a caller that takes over deleting it; this object becomes empty.
  HBITMAP Release() noexcept {
    width_ = height_ = 0;
    return bitmap_.Release();
  }

 private:
  Bitmap bitmap_;
  int width_ = 0;
  int height_ = 0;
};

// Decodes a whole PNG file held in memory: any colour type and bit depth, with or
// without alpha or tRNS transparency, interlaced or not. Damaged, truncated or
// oversized input gives an empty picture.
PngPicture DecodePng(std::span<const unsigned char> png) noexcept;

}  // namespace kivora::ui

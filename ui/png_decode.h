// Decoding a PNG file held in memory into 8-bit premultiplied BGRA pixels, with no
// window system involved: the caller says where the pixels go.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kivora::ui {

// Pictures wider or taller than this are refused: buttons and icons never need
// more, and a forged header must not make us allocate gigabytes.
inline constexpr int kMaxPngSide = 4096;

// Where the decoder puts the pixels. Asked once, after the header has been read
// and checked, for a top-down buffer of width × height × 4 bytes; a null answer
// stops the decode. Plain data, because libpng leaves by longjmp.
struct PngPixelTarget {
  void* context;
  unsigned char* (*allocate)(void* context, int width, int height) noexcept;
};

// Decodes a whole PNG file: any colour type and bit depth, with or without alpha
// or tRNS transparency, interlaced or not, into premultiplied BGRA rows. False for
// damaged, truncated or oversized input; the buffer may then hold part of a picture.
bool DecodePngInto(std::span<const unsigned char> png, PngPixelTarget target) noexcept;

struct PngPixels {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> bgra;  // premultiplied, top-down, width * 4 bytes a row
};

// The same decode into a buffer of its own; nothing for input DecodePngInto refuses.
std::optional<PngPixels> DecodePngPixels(std::span<const unsigned char> png) noexcept;

}  // namespace kivora::ui

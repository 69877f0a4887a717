// Builds PNG files byte by byte for the decoder tests, independently of libpng:
// zlib compresses the scanlines and computes the CRCs, everything else is
// written here, so any colour type, bit depth or damage can be produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kivora::test {

using Bytes = std::vector<unsigned char>;

enum PngColourType : uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

struct PngImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t colourType = kRgba;
  uint8_t bitDepth = 8;
  bool interlaced = false;
  std::vector<uint16_t> samples;  // row by row, each pixel's channels in file order
  Bytes palette;                  // PLTE contents; written only when not empty
  Bytes transparency;             // tRNS contents; written only when not empty
};

Bytes BuildPng(const PngImage& image);

// Offset of the length field of the first chunk of this type, or npos.
inline constexpr size_t npos = static_cast<size_t>(-1);
size_t FindChunk(std::span<const unsigned char> png, std::string_view type);

// Recomputes the CRC of the chunk whose length field is at chunkOffset.
void FixChunkCrc(Bytes& png, size_t chunkOffset);

// Rewrites the width and height in IHDR, with a matching CRC.
void SetDeclaredSize(Bytes& png, uint32_t width, uint32_t height);

}  // namespace kivora::test

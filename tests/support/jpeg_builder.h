// Encodes JPEG files with libjpeg for the decoder and banner tests, so every
// picture a test needs (size, colours, greyscale, progressive) is made on the spot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kivora::testing {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

struct JpegOptions {
  bool greyscale = false;
  bool progressive = false;
  int quality = 95;
};

std::vector<unsigned char> EncodeJpeg(int width, int height, const std::function<Rgb(int x, int y)>& pixel,
                                      JpegOptions options = {});

// Offset of the start-of-frame segment's height field (two bytes, then the
// width), or 0 when there is none; for forging the declared size.
size_t JpegSizeFieldOffset(const std::vector<unsigned char>& jpeg);
void SetJpegDeclaredSize(std::vector<unsigned char>& jpeg, int width, int height);

}  // namespace kivora::testing

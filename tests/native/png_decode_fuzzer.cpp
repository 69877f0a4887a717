// Fuzzes the PNG decoder: no input may crash it or touch memory it does not own,
// and a picture it accepts must be of an allowed size with its buffer filled to
// that size and every colour premultiplied (no channel above alpha).
// Run by hand for longer: build/native/png_decode_fuzzer -max_total_time=600 <scratch> tests/native/corpus/png_decode
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>

#include "ui/png_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<kivora::ui::PngPixels> decoded = kivora::ui::DecodePngPixels(std::span(data, size));
  if (!decoded) return 0;
  const bool sizeAllowed = decoded->width >= 1 && decoded->width <= kivora::ui::kMaxPngSide &&
                           decoded->height >= 1 && decoded->height <= kivora::ui::kMaxPngSide;
  if (!sizeAllowed || decoded->bgra.size() != size_t(decoded->width) * size_t(decoded->height) * 4) {
    std::fprintf(stderr, "png: %d x %d with %zu bytes\n", decoded->width, decoded->height, decoded->bgra.size());
    std::abort();
  }
  for (size_t i = 0; i < decoded->bgra.size(); i += 4) {
    const unsigned char alpha = decoded->bgra[i + 3];
    if (decoded->bgra[i] > alpha || decoded->bgra[i + 1] > alpha || decoded->bgra[i + 2] > alpha) {
      std::fprintf(stderr, "png: pixel %zu is not premultiplied\n", i / 4);
      std::abort();
    }
  }
  return 0;
}

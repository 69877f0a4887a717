#include "jpeg_builder.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace kivora::testing {

std::vector<unsigned char> EncodeJpeg(int width, int height, const std::function<Rgb(int x, int y)>& pixel,
                                      JpegOptions options) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);  // a failure here ends the test program, as it should
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = options.greyscale ? 1 : 3;
  info.in_color_space = options.greyscale ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * info.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgb p = pixel(x, y);
      if (options.greyscale) {
        row[x] = p.r;
      } else {
        row[x * 3] = p.r;
        row[x * 3 + 1] = p.g;
        row[x * 3 + 2] = p.b;
      }
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<unsigned char> jpeg(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return jpeg;
}

size_t JpegSizeFieldOffset(const std::vector<unsigned char>& jpeg) {
  // Segments after the start-of-image marker: FF, marker, two-byte length.
  for (size_t at = 2; at + 9 < jpeg.size();) {
    if (jpeg[at] != 0xFF) return 0;
    const unsigned char marker = jpeg[at + 1];
    if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) return at + 5;
    at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
  }
  return 0;
}

void SetJpegDeclaredSize(std::vector<unsigned char>& jpeg, int width, int height) {
  const size_t at = JpegSizeFieldOffset(jpeg);
  if (at == 0) return;
  jpeg[at] = static_cast<unsigned char>(height >> 8);
  jpeg[at + 1] = static_cast<unsigned char>(height);
  jpeg[at + 2] = static_cast<unsigned char>(width >> 8);
  jpeg[at + 3] = static_cast<unsigned char>(width);
}

}  // namespace kivora::testing

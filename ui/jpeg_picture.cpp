#include "ui/jpeg_picture.h"

#include <windows.h>

#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include "ui/dib_section.h"

namespace kivora::ui {
namespace {

// libjpeg reports through this record. A fatal error jumps back to the decode;
// a warning (data that ends early, a damaged segment) is counted, because
// libjpeg would go on and fill the missing rows with grey.
struct ErrorRecord {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  int warnings;
};

[[noreturn]] void OnJpegError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorRecord*>(info->err)->jump, 1); }

void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0) ++reinterpret_cast<ErrorRecord*>(info->err)->warnings;
}

struct DecodedBitmap {
  HBITMAP bitmap;
  int width;
  int height;
};

// The only function libjpeg can longjmp into. What lives across the setjmp is
// plain data or a raw handle released on both paths, so the jump skips no
// destructor; the bitmap is volatile because it changes after setjmp.
bool DecodeInto(const unsigned char* data, size_t size, DecodedBitmap* result) {
  jpeg_decompress_struct info{};
  ErrorRecord errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnJpegError;
  errors.manager.emit_message = OnJpegMessage;
  HBITMAP volatile bitmap = nullptr;

  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    if (bitmap) DeleteObject(bitmap);
    return false;
  }

  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxJpegSide ||
      info.image_height > kMaxJpegSide) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // libjpeg-turbo writes BGRA rows with the fourth byte 0xFF: an opaque picture.
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  if (info.output_components != 4 || info.output_width != info.image_width ||
      info.output_height != info.image_height) {
    jpeg_destroy_decompress(&info);
    return false;
  }

  void* bits = nullptr;
  bitmap = CreateTopDownDib(width, height, &bits);
  if (!bitmap || !bits) {
    jpeg_destroy_decompress(&info);
    if (bitmap) DeleteObject(bitmap);
    return false;
  }
  auto* pixels = static_cast<JSAMPLE*>(bits);
  const size_t stride = static_cast<size_t>(width) * 4;
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels + static_cast<size_t>(info.output_scanline) * stride;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) break;
  }
  const bool complete = info.output_scanline == info.output_height;
  if (complete) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);

  if (!complete || errors.warnings > 0) {
    DeleteObject(bitmap);
    return false;
  }
  *result = DecodedBitmap{bitmap, width, height};
  return true;
}

}  // namespace

bool LooksLikeJpeg(std::span<const unsigned char> bytes) noexcept {
  return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

PngPicture DecodeJpeg(std::span<const unsigned char> jpeg) noexcept {
  if (!LooksLikeJpeg(jpeg) || jpeg.size() > ULONG_MAX) return {};
  DecodedBitmap decoded{};
  if (!DecodeInto(jpeg.data(), jpeg.size(), &decoded)) return {};
  return PngPicture(decoded.bitmap, decoded.width, decoded.height);
}

}  // namespace kivora::ui

#include "ui/png_picture.h"

#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "ui/dib_section.h"

namespace kivora::ui {

PngPicture::PngPicture(HBITMAP bitmap, int width, int height) noexcept
    : bitmap_(bitmap), width_(bitmap ? width : 0), height_(bitmap ? height : 0) {}

PngPicture::~PngPicture() { Reset(); }

PngPicture::PngPicture(PngPicture&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

PngPicture& PngPicture::operator=(PngPicture&& other) noexcept {
  if (this != &other) {
    Reset();
    bitmap_ = std::exchange(other.bitmap_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
  }
  return *this;
}

HBITMAP PngPicture::Release() noexcept {
  width_ = 0;
  height_ = 0;
  return std::exchange(bitmap_, nullptr);
}

void PngPicture::Reset() noexcept {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  width_ = 0;
  height_ = 0;
}

namespace {

// No single chunk of a picture we accept comes near this; it stops a forged
// chunk length from making libpng allocate a huge buffer.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;

// Where libpng's read callback takes its bytes from.
struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t offset;
};

// What the decode hands back: plain data, so it survives a longjmp untouched.
struct DecodedBitmap {
  HBITMAP bitmap;
  void* bits;
  int width;
  int height;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->offset) png_error(png, "truncated");
  for (size_t i = 0; i < count; ++i) out[i] = reader->data[reader->offset + i];
  reader->offset += count;
}

// libpng must not return from its error handler; jumping back to DecodeInto's
// setjmp is the only way out. Messages are dropped: the caller only needs to
// know the picture is unusable.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnPngWarning(png_structp, png_const_charp) {}

// Asks libpng for 8-bit BGRA rows whatever the file holds.
void RequestBgra8(png_structp png, png_infop info) {
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (hasTrns) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_scale_16(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  if (!(colourType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
}

// The only function libpng can longjmp into. Everything alive across the setjmp
// is plain data or a raw handle released on both paths, so the jump skips no
// destructor. `result` is written only after the last libpng call, and the
// bitmap under construction is volatile because it changes after setjmp.
bool DecodeInto(const unsigned char* data, size_t size, DecodedBitmap* result) {
  MemoryReader reader{data, size, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  HBITMAP volatile bitmap = nullptr;

  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (bitmap) DeleteObject(bitmap);
    return false;
  }

  png_set_read_fn(png, &reader, ReadFromMemory);
  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  RequestBgra8(png, info);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t{width} * 4) png_error(png, "unexpected row layout");

  void* bits = nullptr;
  bitmap = CreateTopDownDib(static_cast<int>(width), static_cast<int>(height), &bits);
  if (!bitmap || !bits) png_error(png, "no memory for the bitmap");

  // Each interlace pass fills in more pixels of the rows already written, so
  // every pass reads into the bitmap's own rows.
  auto* pixels = static_cast<png_bytep>(bits);
  const size_t stride = size_t{width} * 4;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels + y * stride, nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);

  *result = DecodedBitmap{bitmap, bits, static_cast<int>(width), static_cast<int>(height)};
  return true;
}

void PremultiplyBgra(unsigned char* pixels, size_t pixelCount) {
  for (size_t i = 0; i < pixelCount; ++i) {
    unsigned char* p = pixels + i * 4;
    const unsigned alpha = p[3];
    if (alpha == 255) continue;
    for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>((p[c] * alpha + 127) / 255);
  }
}

}  // namespace

PngPicture DecodePng(std::span<const unsigned char> png) noexcept {
  constexpr size_t kSignatureBytes = 8;
  if (png.size() < kSignatureBytes || png_sig_cmp(png.data(), 0, kSignatureBytes) != 0) return {};
  DecodedBitmap decoded{};
  if (!DecodeInto(png.data(), png.size(), &decoded)) return {};
  PremultiplyBgra(static_cast<unsigned char*>(decoded.bits),
                  size_t{static_cast<unsigned>(decoded.width)} * static_cast<unsigned>(decoded.height));
  return PngPicture(decoded.bitmap, decoded.width, decoded.height);
}

}  // namespace kivora::ui

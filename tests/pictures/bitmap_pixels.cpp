#include "bitmap_pixels.h"

#include <memory>

namespace kivora::test {

std::vector<Bgra> ReadBgra(HBITMAP bitmap, int width, int height) {
  struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
  };
  std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter> dc(CreateCompatibleDC(nullptr));
  if (!dc) return {};

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<Bgra> pixels(static_cast<size_t>(width) * height);
  static_assert(sizeof(Bgra) == 4);
  if (GetDIBits(dc.get(), bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height) return {};
  return pixels;
}

}  // namespace kivora::test

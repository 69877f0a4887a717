#include "ui/png_picture.h"

#include <utility>

namespace kivora::ui {

namespace {

HBITMAP CreateTopDownDib(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// The decoder's pixels go straight into a DIB section's own rows.
struct DibTarget {
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
};

unsigned char* AllocateDib(void* context, int width, int height) noexcept {
  auto* target = static_cast<DibTarget*>(context);
  void* bits = nullptr;
  target->bitmap = CreateTopDownDib(width, height, &bits);
  if (!target->bitmap || !bits) return nullptr;
  target->width = width;
  target->height = height;
  return static_cast<unsigned char*>(bits);
}

}  // namespace

PngPicture DecodePng(std::span<const unsigned char> png) noexcept {
  DibTarget target;
  if (!DecodePngInto(png, {&target, AllocateDib})) {
    if (target.bitmap) DeleteObject(target.bitmap);
    return {};
  }
  return PngPicture(target.bitmap, target.width, target.height);
}

}  // namespace kivora::ui

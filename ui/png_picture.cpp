#include "ui/png_picture.h"

#include <utility>

#include "ui/dib_section.h"

namespace kivora::ui {

namespace {

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

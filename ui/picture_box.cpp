#include "ui/picture_box.h"

#include "base/unique_handle.h"
#include "ui/dib_section.h"
#include "ui/jpeg_picture.h"
#include "ui/picture_fit.h"

namespace kivora::ui {

PngPicture DecodePicture(std::span<const unsigned char> bytes) noexcept {
  if (LooksLikeJpeg(bytes)) return DecodeJpeg(bytes);
  return DecodePng(bytes);
}

void DrawFitted(HDC dc, const RECT& area, const PngPicture& picture) {
  if (picture.Empty()) return;
  const FittedRect fit =
      FitCentred(picture.Width(), picture.Height(), area.right - area.left, area.bottom - area.top);
  if (fit.width == 0 || fit.height == 0) return;
  MemoryDc source(dc);
  ScopedSelect selected(source.Get(), picture.Handle());
  SetStretchBltMode(dc, HALFTONE);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, area.left + fit.left, area.top + fit.top, fit.width, fit.height, source.Get(), 0, 0, picture.Width(),
             picture.Height(), blend);
}

PngPicture FittedCopy(const PngPicture& picture, int boxWidth, int boxHeight) {
  const FittedRect fit = FitCentred(picture.Width(), picture.Height(), boxWidth, boxHeight);
  DIBSECTION source{};
  if (fit.width == 0 || GetObjectW(picture.Handle(), sizeof(source), &source) != sizeof(source) ||
      !source.dsBm.bmBits) {
    return PngPicture();
  }
  const std::span<const std::uint32_t> pixels(static_cast<const std::uint32_t*>(source.dsBm.bmBits),
                                              static_cast<size_t>(picture.Width()) * picture.Height());
  const std::vector<std::uint32_t> resized =
      ResampleByArea(pixels, picture.Width(), picture.Height(), fit.width, fit.height);
  void* bits = nullptr;
  HBITMAP bitmap = resized.empty() ? nullptr : CreateTopDownDib(fit.width, fit.height, &bits);
  if (!bitmap) return PngPicture();
  std::copy(resized.begin(), resized.end(), static_cast<std::uint32_t*>(bits));
  return PngPicture(bitmap, fit.width, fit.height);
}

}  // namespace kivora::ui

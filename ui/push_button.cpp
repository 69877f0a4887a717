#include <algorithm>

#include "ui/control_kinds.h"
#include "ui/png_picture.h"

namespace kivora::ui {
namespace {

bool LeftButtonStillDown() { return (GetKeyState(VK_LBUTTON) & 0x8000) != 0; }

// A push button blits its bitmap without alpha: the picture is laid onto the
// button face first, so its transparent parts show the face, not black.
Bitmap FlattenOntoButtonFace(const PngPicture& picture) {
  if (picture.Empty()) return Bitmap();
  ScreenDc screen;
  Bitmap flat(CreateCompatibleBitmap(screen.Get(), picture.Width(), picture.Height()));
  MemoryDc target(screen.Get()), source(screen.Get());
  ScopedSelect targetBitmap(target.Get(), flat.Get());
  ScopedSelect sourceBitmap(source.Get(), picture.Handle());
  RECT area{0, 0, picture.Width(), picture.Height()};
  FillRect(target.Get(), &area, GetSysColorBrush(COLOR_BTNFACE));
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(target.Get(), 0, 0, picture.Width(), picture.Height(), source.Get(), 0, 0, picture.Width(),
             picture.Height(), blend);
  return flat;
}

}  // namespace

void PushButton::OnCommand(WORD code) {
  if (code != BN_CLICKED) return;
  if (swallowNextClick_) {
    swallowNextClick_ = false;
    return;
  }
  FireIfBound(Events().clicked);
}

LRESULT PushButton::OnLeftButtonDown(WPARAM wParam, LPARAM lParam) {
  swallowNextClick_ = false;
  return Control::OnLeftButtonDown(wParam, lParam);
}

LRESULT PushButton::OnLeftDoubleClick(WPARAM wParam, LPARAM lParam) {
  FireIfBound(Events().doubleClicked);
  // If the handler ran a modal dialog the press is over: there is no click to drop.
  if (!LeftButtonStillDown()) return 0;
  swallowNextClick_ = true;
  return PassOn(WM_LBUTTONDBLCLK, wParam, lParam);
}

LRESULT PushButton::OnKeyDown(WPARAM wParam, LPARAM lParam) {
  swallowNextClick_ = false;
  return Control::OnKeyDown(wParam, lParam);
}

void PictureButton::SetPicture(assets::PictureSet pictures) {
  pictures_ = pictures;
  Show(assets::NearestPicture(pictures_, dpi_));
}

void PictureButton::OnDpiChanged(int dpi) {
  dpi_ = dpi;
  if (!pictures_.empty()) Show(assets::NearestPicture(pictures_, dpi_));
}

void PictureButton::Show(std::span<const unsigned char> pngBytes) {
  // The slider shows its picture again at every step of a drag: decode only on a change.
  if (shown_ && std::ranges::equal(picture_, pngBytes)) return;
  picture_.assign(pngBytes.begin(), pngBytes.end());
  Bitmap shown = FlattenOntoButtonFace(DecodePng(picture_));
  SendMessageW(Handle(), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown.Get()));
  shown_ = std::move(shown);
}

}  // namespace kivora::ui

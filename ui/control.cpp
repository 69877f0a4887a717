#include "ui/control.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/picture_box.h"
#include "ui/png_picture.h"

namespace kivora::ui {
namespace {

constexpr int kSliderMinimum = 0;
constexpr int kSliderMaximum = 100;
constexpr int kStoredPositionLimit = 32767;

// A push button blits its bitmap without alpha: the picture is laid onto the
// button face first, so its transparent parts show the face, not black.
Bitmap FlattenOntoButtonFace(const PngPicture& picture) {
  if (picture.Empty()) return Bitmap();
  HDC screen = GetDC(nullptr);
  Bitmap flat(CreateCompatibleBitmap(screen, picture.Width(), picture.Height()));
  {
    MemoryDc target(screen), source(screen);
    ScopedSelect targetBitmap(target.Get(), flat.Get());
    ScopedSelect sourceBitmap(source.Get(), picture.Handle());
    RECT area{0, 0, picture.Width(), picture.Height()};
    FillRect(target.Get(), &area, GetSysColorBrush(COLOR_BTNFACE));
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(target.Get(), 0, 0, picture.Width(), picture.Height(), source.Get(), 0, 0, picture.Width(),
               picture.Height(), blend);
  }
  ReleaseDC(nullptr, screen);
  return flat;
}

}  // namespace

Control::Control(const ControlSpec& spec, HWND handle, const int& currentPage)
    : spec_(spec), handle_(handle), currentPage_(currentPage) {}

std::wstring Control::Caption() const {
  int length = GetWindowTextLengthW(handle_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(handle_, text.data(), length + 1)));
  return text;
}

void Control::SetCaption(std::wstring_view caption) {
  SetWindowTextW(handle_, std::wstring(caption).c_str());
  InvalidateRect(handle_, nullptr, TRUE);  // owner-drawn labels repaint from the new text
}

void Control::SetVisible(bool visible) {
  visibleFlag_ = visible;
  ApplyPage();
}

void Control::ApplyPage() {
  bool onShownPage = spec_.page == kOnWindow || spec_.page == currentPage_;
  ShowWindow(handle_, (visibleFlag_ && onShownPage) ? SW_SHOWNA : SW_HIDE);
}

bool Control::Enabled() const { return IsWindowEnabled(handle_) != FALSE; }

void Control::SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }

RECT Control::Bounds() const {
  RECT rect{};
  GetWindowRect(handle_, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(handle_), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void Control::SetHeight(int height) {
  RECT rect = Bounds();
  SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Control::SliderPosition() const {
  int shown = static_cast<int>(SendMessageW(handle_, TBM_GETPOS, 0, 0));
  // The user moved the thumb since the last position set by program: the track wins.
  if (shown != std::clamp(storedSliderPosition_, kSliderMinimum, kSliderMaximum)) storedSliderPosition_ = shown;
  return storedSliderPosition_;
}

void Control::SetSliderPosition(int position) {
  storedSliderPosition_ = std::clamp(position, 0, kStoredPositionLimit);
  SendMessageW(handle_, TBM_SETPOS, TRUE, std::clamp(storedSliderPosition_, kSliderMinimum, kSliderMaximum));
}

bool Control::Checked() const { return SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Control::SetChecked(bool checked) { SendMessageW(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }

void Control::SetPicture(std::span<const unsigned char> pngBytes) {
  // The slider shows its picture again at every step of a drag: decode only on a change.
  if (pictureBitmap_ && std::ranges::equal(picture_, pngBytes)) return;
  picture_.assign(pngBytes.begin(), pngBytes.end());
  Bitmap shown = FlattenOntoButtonFace(DecodePng(picture_));
  SendMessageW(handle_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown.Get()));
  pictureBitmap_ = std::move(shown);
}

void Control::ShowImage(std::span<const unsigned char> imageBytes) {
  image_ = DecodePicture(imageBytes);
  InvalidateRect(handle_, nullptr, TRUE);
}

}  // namespace kivora::ui

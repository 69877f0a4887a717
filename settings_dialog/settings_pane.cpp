#include "settings_dialog/settings_pane.h"

#include <algorithm>
#include <cstdint>

#include "base/dpi.h"
#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr wchar_t kPaneClass[] = L"KivoraSettingsPane";
constexpr int kLineStep = 24;  // at 96 DPI

void RegisterPaneClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW paneClass{};
  paneClass.cbSize = sizeof(paneClass);
  paneClass.lpfnWndProc = procedure;
  paneClass.hInstance = instance;
  paneClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  paneClass.lpszClassName = kPaneClass;
  RegisterClassExW(&paneClass);  // fails harmlessly once it is registered
}

}  // namespace

UINT PaneDpiChangedMessage() {
  static const UINT message = RegisterWindowMessageW(L"Kivora.SettingsPane.DpiChanged");
  return message;
}

UINT PaneScrollOffsetMessage() {
  static const UINT message = RegisterWindowMessageW(L"Kivora.SettingsPane.ScrollOffset");
  return message;
}

namespace {
constexpr wchar_t kLayoutTopLeft[] = L"Kivora.Layout96.TopLeft";
constexpr wchar_t kLayoutBottomRight[] = L"Kivora.Layout96.BottomRight";

HANDLE PackedPoint(LONG x, LONG y) {
  return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(static_cast<std::uint32_t>(x)) << 32 |
                                  static_cast<std::uint32_t>(y));
}
POINT UnpackedPoint(HANDLE packed) {
  const auto bits = reinterpret_cast<ULONG_PTR>(packed);
  return {static_cast<LONG>(static_cast<std::uint32_t>(bits >> 32)), static_cast<LONG>(static_cast<std::uint32_t>(bits))};
}
}  // namespace

// Window properties, which the system removes with the window (RemoveProp is not needed
// for a property whose value is no handle).
void RememberLayout(HWND control, RECT area) {
  SetPropW(control, kLayoutTopLeft, PackedPoint(area.left, area.top));
  SetPropW(control, kLayoutBottomRight, PackedPoint(area.right, area.bottom));
}

bool LayoutOf(HWND control, RECT& area) {
  const HANDLE topLeft = GetPropW(control, kLayoutTopLeft);
  const HANDLE bottomRight = GetPropW(control, kLayoutBottomRight);
  if (!topLeft && !bottomRight) return false;
  const POINT first = UnpackedPoint(topLeft), second = UnpackedPoint(bottomRight);
  area = {first.x, first.y, second.x, second.y};
  return true;
}

SettingsPane::SettingsPane(HWND parent, RECT area, SettingsSection& section, Scroll scroll)
    : section_(section), dpi_(WindowDpi(GetAncestor(parent, GA_ROOT))), lineStep_(ScaleToDpi(kLineStep, dpi_)) {
  const RECT layout = area;
  area = ScaleToDpi(area, dpi_);
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  RegisterPaneClass(instance, PaneProc);
  // CONTROLPARENT: the dialog's Tab and arrow keys go into the pane's controls.
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | (scroll == Scroll::Vertical ? WS_VSCROLL : 0);
  CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClass, L"", style, area.left, area.top, area.right - area.left,
                  area.bottom - area.top, parent, nullptr, instance, this);
  if (hwnd_) RememberLayout(hwnd_, layout);
}

SettingsPane::~SettingsPane() {
  if (hwnd_) DestroyWindow(hwnd_);
}

int SettingsPane::Width() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return MulDiv(client.right, kBaseDpi, dpi_);
}

int SettingsPane::Height() const { return MulDiv(PixelHeight(), kBaseDpi, dpi_); }

int SettingsPane::PixelHeight() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return client.bottom;
}

HWND SettingsPane::Add(const wchar_t* windowClass, const wchar_t* text, DWORD style, RECT area) {
  const RECT layout = area;
  area = ScaleToDpi(area, dpi_);
  HWND control = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, area.left, area.top - offset_,
                                 area.right - area.left, area.bottom - area.top, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId_++)), nullptr, nullptr);
  const LRESULT font = SendMessageW(GetAncestor(hwnd_, GA_ROOT), WM_GETFONT, 0, 0);
  SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  if (control) RememberLayout(control, layout);
  return control;
}

// The pane itself has been placed for the new DPI already; its controls are placed
// after it, from their 96-DPI rectangles less the offset it keeps.
void SettingsPane::OnDpiChanged(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  contentHeight_ = ScaleToDpi(contentHeight96_, dpi);
  offset_ = std::clamp(MulDiv(offset_, dpi, dpi_), 0, std::max(0, contentHeight_ - PixelHeight()));
  wheelRemainder_ = 0;
  dpi_ = dpi;
  lineStep_ = ScaleToDpi(kLineStep, dpi_);
  if (contentHeight_ > 0) UpdateScrollBar();
}

void SettingsPane::SetContentHeight(int height) {
  contentHeight96_ = height;
  contentHeight_ = ScaleToDpi(height, dpi_);
  UpdateScrollBar();
}

void SettingsPane::UpdateScrollBar() {
  SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, contentHeight_ - 1),
                  static_cast<UINT>(PixelHeight()), offset_, 0};
  SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
}

// Wheels that turn in notches send 120 a notch; fine wheels and touchpads send less,
// often: what is left below a pixel is kept for the next message, as long as the
// direction holds.
void SettingsPane::OnWheel(int delta) {
  UINT linesPerNotch = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
  if (linesPerNotch == WHEEL_PAGESCROLL) return OnScroll(delta > 0 ? SB_PAGEUP : SB_PAGEDOWN);
  if ((wheelRemainder_ > 0) != (delta > 0)) wheelRemainder_ = 0;
  wheelRemainder_ += delta * static_cast<int>(linesPerNotch) * lineStep_;
  const int pixels = wheelRemainder_ / WHEEL_DELTA;
  wheelRemainder_ -= pixels * WHEEL_DELTA;
  if (pixels != 0) ScrollTo(offset_ - pixels);
}

void SettingsPane::ScrollIntoView(HWND control) {
  RECT area{};
  GetWindowRect(control, &area);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&area), 2);
  if (area.top < 0) ScrollTo(offset_ + area.top);
  else if (area.bottom > PixelHeight()) ScrollTo(offset_ + area.bottom - PixelHeight());
}

void SettingsPane::ScrollTo(int offset) {
  offset = std::clamp(offset, 0, std::max(0, contentHeight_ - PixelHeight()));
  if (offset == offset_) return;
  // Each control is moved by hand: the system's scrolling of children moves only those
  // it finds in the scrolled area, and not always at once.
  const int by = offset_ - offset;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT area{};
    GetWindowRect(child, &area);
    MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&area), 2);
    SetWindowPos(child, nullptr, area.left, area.top + by, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  offset_ = offset;
  SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, offset_, 0};
  SetScrollInfo(hwnd_, SB_VERT, &info, TRUE);
}

void SettingsPane::OnScroll(WORD request) {
  SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
  GetScrollInfo(hwnd_, SB_VERT, &info);
  switch (request) {
    case SB_LINEUP: ScrollTo(offset_ - lineStep_); break;
    case SB_LINEDOWN: ScrollTo(offset_ + lineStep_); break;
    case SB_PAGEUP: ScrollTo(offset_ - PixelHeight()); break;
    case SB_PAGEDOWN: ScrollTo(offset_ + PixelHeight()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollTo(info.nTrackPos); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(contentHeight_); break;
    default: break;
  }
}

// The dialog answers WM_CTLCOLORSTATIC with the brush of its own background,
// skinned or not, so the pane looks like part of it.
void SettingsPane::OnEraseBackground(HDC dc) {
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetAncestor(hwnd_, GA_ROOT), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd_)));
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT SettingsPane::OnColour(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT brush = SendMessageW(GetAncestor(hwnd_, GA_ROOT), message, wParam, lParam);
  const auto dc = reinterpret_cast<HDC>(wParam);
  if (const std::optional<COLORREF> colour = section_.TextColour(reinterpret_cast<HWND>(lParam))) {
    SetTextColor(dc, *colour);
  }
  return brush ? brush : reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK SettingsPane::PaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<SettingsPane*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<SettingsPane*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return GuardWindowProcedure([&] { return self->HandleMessage(message, wParam, lParam); },
                              [&] { return DefWindowProcW(hwnd, message, wParam, lParam); });
}

LRESULT SettingsPane::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PaneDpiChangedMessage()) {
    OnDpiChanged(static_cast<int>(wParam));
    return 0;
  }
  if (message == PaneScrollOffsetMessage()) return offset_;
  switch (message) {
    case WM_COMMAND:
      if (lParam) section_.OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: return OnColour(message, wParam, lParam);
    case WM_ERASEBKGND: OnEraseBackground(reinterpret_cast<HDC>(wParam)); return 1;
    case WM_VSCROLL: OnScroll(LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: OnWheel(GET_WHEEL_DELTA_WPARAM(wParam)); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace kivora

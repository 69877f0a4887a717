#include "ui/control.h"

#include <commctrl.h>

namespace kivora::ui {

void FireIfBound(const Handler& handler) {
  if (handler) handler();
}

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

LRESULT Control::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: return OnLeftButtonDown(wParam, lParam);
    case WM_LBUTTONDBLCLK: return OnLeftDoubleClick(wParam, lParam);
    case WM_RBUTTONDOWN: return OnRightButtonDown(wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(wParam, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(wParam, lParam);
    case WM_MOUSELEAVE: return OnMouseLeave(wParam, lParam);
    default: return PassOn(message, wParam, lParam);
  }
}

LRESULT Control::OnLeftButtonDown(WPARAM wParam, LPARAM lParam) {
  FireIfBound(events_.leftPressed);
  return PassOn(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT Control::OnLeftDoubleClick(WPARAM wParam, LPARAM lParam) {
  FireIfBound(events_.doubleClicked);
  return PassOn(WM_LBUTTONDBLCLK, wParam, lParam);
}

LRESULT Control::OnRightButtonDown(WPARAM wParam, LPARAM lParam) {
  FireIfBound(events_.rightPressed);
  return PassOn(WM_RBUTTONDOWN, wParam, lParam);
}

LRESULT Control::OnKeyDown(WPARAM wParam, LPARAM lParam) { return PassOn(WM_KEYDOWN, wParam, lParam); }
LRESULT Control::OnSetCursor(WPARAM wParam, LPARAM lParam) { return PassOn(WM_SETCURSOR, wParam, lParam); }
LRESULT Control::OnMouseMove(WPARAM wParam, LPARAM lParam) { return PassOn(WM_MOUSEMOVE, wParam, lParam); }
LRESULT Control::OnMouseLeave(WPARAM wParam, LPARAM lParam) { return PassOn(WM_MOUSELEAVE, wParam, lParam); }

LRESULT Control::PassOn(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(handle_, message, wParam, lParam);
}

}  // namespace kivora::ui

// Pixels at a display's DPI. Every size in the program is given at 96 DPI (100 %)
// and multiplied out here. Header-only: the skin library, a DLL of its own, uses it
// too.
#pragma once

#include <windows.h>

namespace kivora {

inline constexpr int kBaseDpi = USER_DEFAULT_SCREEN_DPI;

// value (at 96 DPI) at dpi, rounded to the nearest pixel.
inline int ScaleToDpi(int value, int dpi) { return MulDiv(value, dpi, kBaseDpi); }

inline RECT ScaleToDpi(RECT area, int dpi) {
  return {ScaleToDpi(area.left, dpi), ScaleToDpi(area.top, dpi), ScaleToDpi(area.right, dpi),
          ScaleToDpi(area.bottom, dpi)};
}

// The DPI the screen had when the process started.
inline int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

// The DPI of the monitor a window is on. GetDpiForWindow is looked up rather than
// imported: Windows before 10 (1607) has no such export, and there every window is
// at the system DPI.
inline int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const int dpi = getDpiForWindow && window ? static_cast<int>(getDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

// The outer rectangle for a client rectangle, with the frame and title bar of dpi
// (AdjustWindowRectExForDpi, looked up like GetDpiForWindow; before Windows 10 the
// frame of the system's DPI).
inline void AdjustWindowRectForDpi(RECT& area, DWORD style, DWORD exStyle, int dpi) {
  using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (!adjust || !adjust(&area, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&area, style, FALSE, exStyle);
  }
}

}  // namespace kivora

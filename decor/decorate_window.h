// The start-up step that dresses the main window: its skin first, then its shadow.
#pragma once

#include <windows.h>

namespace kivora::decor {

inline constexpr COLORREF kMainShadowColor = RGB(128, 128, 128);
inline constexpr int kMainShadowSize = 6;

void DecorateMainWindow(HWND window, COLORREF shadowColor = kMainShadowColor, int shadowSize = kMainShadowSize);

}  // namespace kivora::decor

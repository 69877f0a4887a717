// The start-up steps that dress the main window: its skin, put on before the window
// first shows, and its shadow, added once the window is up (a shadow drawn for a
// window about to show is drawn and shown before that window, and delays it).
#pragma once

#include <windows.h>

namespace kivora::decor {

inline constexpr COLORREF kMainShadowColor = RGB(128, 128, 128);
inline constexpr int kMainShadowSize = 6;

// Puts the built-in skin on the titled windows the program has made on this thread.
void SkinProgramWindows();
// The same skin on one more window of the program, such as a dialog, and its controls.
void SkinWindow(HWND window);
void AddMainWindowShadow(HWND window, COLORREF shadowColor = kMainShadowColor, int shadowSize = kMainShadowSize);

}  // namespace kivora::decor

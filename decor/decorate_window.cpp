#include "decor/decorate_window.h"

#include "decor/window_shadow.h"

namespace kivora::decor {

void DecorateMainWindow(HWND window, COLORREF shadowColor, int shadowSize) {
  SetWindowShadow(window, shadowColor, shadowSize);
}

}  // namespace kivora::decor

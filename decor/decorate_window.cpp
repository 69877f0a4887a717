#include "decor/decorate_window.h"

#include "assets/skin.h"
#include "decor/skin_binding.h"
#include "decor/window_shadow.h"

namespace kivora::decor {

void DecorateMainWindow(HWND window, COLORREF shadowColor, int shadowSize) {
  AttachSkin(assets::SkinData());
  SetWindowShadow(window, shadowColor, shadowSize);
}

}  // namespace kivora::decor

#include "decor/decorate_window.h"

#include "assets/skin.h"
#include "decor/skin_binding.h"
#include "decor/window_shadow.h"

namespace kivora::decor {

void SkinProgramWindows() { AttachSkin(assets::SkinData()); }

void SkinWindow(HWND window) { AttachSkin(assets::SkinData(), window); }

void AddMainWindowShadow(HWND window, COLORREF shadowColor, int shadowSize) {
  SetWindowShadow(window, shadowColor, shadowSize);
}

}  // namespace kivora::decor

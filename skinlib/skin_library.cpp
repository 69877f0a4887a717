// The skin library's one export. Kivora loads this DLL from memory and calls it once
// per window it decorates.
#include <windows.h>

#include "skinlib/skin_format.h"
#include "skinlib/skin_window.h"

namespace {

struct ThreadWindows {
  const kivora::skin::Palette* palette;
  int skinned;
};

// Top-level windows of the program itself (its own window classes) that carry a title bar.
BOOL CALLBACK SkinIfProgramWindow(HWND window, LPARAM context) {
  auto* windows = reinterpret_cast<ThreadWindows*>(context);
  const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrW(window, GCLP_HMODULE));
  if (module == GetModuleHandleW(nullptr) && (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION &&
      kivora::skin::SkinWindow(window, *windows->palette)) {
    ++windows->skinned;
  }
  return TRUE;
}

}  // namespace

// skin, skinSize: the skin data. window: the window to skin, or null for every
// titled window the program has made on the calling thread. options and reserved
// must be 0. Returns 1 when a window was skinned, 0 when the data is refused or no
// window was found; a refused skin changes nothing.
extern "C" __declspec(dllexport) int SkinH_AttachRes(const unsigned char* skin, int skinSize, HWND window, int options,
                                                     int reserved) {
  if (!skin || skinSize <= 0 || options != 0 || reserved != 0) return 0;
  const auto palette = kivora::skin::ReadSkin({skin, static_cast<size_t>(skinSize)});
  if (!palette) return 0;
  if (window) return kivora::skin::SkinWindow(window, *palette) ? 1 : 0;
  ThreadWindows windows{&*palette, 0};
  EnumThreadWindows(GetCurrentThreadId(), SkinIfProgramWindow, reinterpret_cast<LPARAM>(&windows));
  return windows.skinned > 0 ? 1 : 0;
}

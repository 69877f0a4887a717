// Restyles a window and its controls with a palette: the frame and title bar,
// flat push buttons with hover and pressed states, the check box, the tab strip,
// the slider and the labels. Each control keeps its own behaviour; only painting
// is taken over, through a subclass in front of the control's procedure.
#pragma once

#include <windows.h>

#include "skinlib/skin_format.h"

namespace kivora::skin {

// Skins `window` and every control on it; returns whether it was taken. A window
// skinned before takes the new palette.
bool SkinWindow(HWND window, const Palette& palette);

}  // namespace kivora::skin

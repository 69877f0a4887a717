// Draws the skin's look: flat push buttons with hover and pressed states, the check
// box, the tab strip, the slider, the labels and the frame with its title bar.
// Only the look; when to paint is the skinned window's business.
#pragma once

#include <windows.h>

#include "skinlib/skin_state.h"

namespace kivora::skin {

// Answers a control's WM_PAINT with the skin's look of it in its present state.
void PaintControl(HWND control, const ControlSkin& skin);

// Draws an owner-drawn label; false for an item the skin leaves to its owner.
bool PaintLabel(const DRAWITEMSTRUCT& item, const WindowSkin& skin);

// The title bar and frame in the caption colour, with the icon, title and the
// minimise and close marks where the system keeps their buttons.
void PaintFrame(HWND window, WindowSkin& skin);

}  // namespace kivora::skin

// Bringing the window back from the notification area.
#pragma once

#include <windows.h>

namespace kivora::ui {

// Where a window of this size sits centred on a screen of that size (integer halves).
POINT CentredPosition(SIZE screen, SIZE window);

// Shows the window, restores it when minimised or maximised, and moves it to the
// middle of the screen without changing its size, z-order or activation.
void ShowAndCentre(HWND window);

}  // namespace kivora::ui

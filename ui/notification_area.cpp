#include "ui/notification_area.h"

namespace kivora::ui {

POINT CentredPosition(SIZE screen, SIZE window) { return {(screen.cx - window.cx) / 2, (screen.cy - window.cy) / 2}; }

void ShowAndCentre(HWND window) {
  ShowWindow(window, SW_SHOWNA);
  if (IsIconic(window) || IsZoomed(window)) ShowWindow(window, SW_RESTORE);
  RECT bounds{};
  GetWindowRect(window, &bounds);
  SIZE size{bounds.right - bounds.left, bounds.bottom - bounds.top};
  POINT target = CentredPosition({GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, size);
  if (target.x != bounds.left || target.y != bounds.top) {
    SetWindowPos(window, nullptr, target.x, target.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace kivora::ui

#include "ui/control_kinds.h"

namespace kivora::ui {

LRESULT TabControl::OnLeftButtonDown(WPARAM wParam, LPARAM lParam) {
  FireIfBound(Events().leftPressed);
  const LRESULT result = PassOn(WM_LBUTTONDOWN, wParam, lParam);
  FireIfBound(Events().clicked);
  return result;
}

LRESULT TabControl::OnLeftDoubleClick(WPARAM wParam, LPARAM lParam) {
  FireIfBound(Events().doubleClicked);
  const LRESULT result = PassOn(WM_LBUTTONDBLCLK, wParam, lParam);
  FireIfBound(Events().clicked);
  return result;
}

}  // namespace kivora::ui

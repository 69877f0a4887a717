#include "ui/popup_menu.h"

#include <string>

namespace kivora::ui {
namespace {

constexpr UINT kFirstItemId = 100;
constexpr int kPointerOffset = 3;
constexpr int kNotificationAreaOffset = 5;

}  // namespace

PopupMenu::PopupMenu() : menu_(CreatePopupMenu()) {
  UINT id = kFirstItemId;
  for (std::wstring_view caption : kMenuItemCaptions) {
    AppendMenuW(menu_.Get(), MF_STRING, id++, std::wstring(caption).c_str());
  }
}

int PopupMenu::ShowAtPointer(HWND owner) const {
  POINT pointer{};
  GetCursorPos(&pointer);
  return Track(owner, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
               {pointer.x + kPointerOffset, pointer.y + kPointerOffset});
}

int PopupMenu::ShowFromNotificationArea(HWND owner) const {
  POINT pointer{};
  GetCursorPos(&pointer);
  SetForegroundWindow(owner);
  int chosen = Track(owner, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                     {pointer.x - kNotificationAreaOffset, pointer.y - kNotificationAreaOffset});
  PostMessageW(owner, WM_NULL, 0, 0);
  return chosen;
}

int PopupMenu::Track(HWND owner, UINT flags, POINT at) const {
  UINT id = static_cast<UINT>(TrackPopupMenu(menu_.Get(), flags | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr));
  if (id < kFirstItemId || id >= kFirstItemId + kMenuItemCaptions.size()) return -1;
  return static_cast<int>(id - kFirstItemId);
}

}  // namespace kivora::ui

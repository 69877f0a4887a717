// The program's one menu: a hidden root "菜单" whose five items are shown as a
// flat pop-up list, either at the mouse pointer or from the notification area.
#pragma once

#include <windows.h>

#include <array>
#include <string_view>

#include "base/unique_handle.h"

namespace kivora::ui {

enum class MenuItem { StopPlaying, ClearSounds, SponsorAuthor, AboutProgram, ExitProgram };

inline constexpr std::array<std::wstring_view, 5> kMenuItemCaptions = {L"停止播放", L"清空音效", L"赞助作者", L"关于程序",
                                                                      L"退出程序"};
inline constexpr std::wstring_view kMenuRootCaption = L"菜单";

class PopupMenu {
 public:
  PopupMenu();

  HMENU Handle() const { return menu_.Get(); }

  // Top-left corner 3 pixels right of and below the pointer; either button chooses.
  // Returns the chosen item, or -1 when the menu closed without a choice.
  int ShowAtPointer(HWND owner) const;

  // Right edge at the pointer's x - 5, top at y - 5; the owner comes to the foreground
  // first and gets an empty message afterwards, so a click elsewhere closes the menu.
  int ShowFromNotificationArea(HWND owner) const;

 private:
  int Track(HWND owner, UINT flags, POINT at) const;
  Menu menu_;
};

}  // namespace kivora::ui

// The main window's icon in the notification area. Mouse actions on it arrive at
// the window as kTrayCallbackMessage; the icon is removed with this object.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kivora::ui {

inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr size_t kTrayTipMaxGbkBytes = 62;
// The one icon a window puts there is known to the shell by its window and this id.
inline constexpr UINT kTrayIconId = 1;

// Operation codes of the notification-area event.
inline constexpr int kTrayLeftUp = 1;
inline constexpr int kTrayDoubleClick = 2;
inline constexpr int kTrayContextMenu = 3;

// Translates the icon's mouse message into an operation code, or 0 for one that is ignored.
int TrayOperationOf(LPARAM mouseMessage);

class TrayIcon {
 public:
  TrayIcon() = default;
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon for owner, or replaces it when it is already there. The tip is cut to
  // 62 GBK bytes. Returns false when the shell refused (Wine's tray may not be up yet).
  bool Show(HWND owner, HICON icon, std::wstring_view tip);
  void Remove();
  bool Shown() const { return owner_ != nullptr; }
  // Shows a balloon from the icon with title and text (a notice, never a box
  // that waits for the user). Before the icon is there, the balloon waits and
  // shows once the icon does. False when the shell refused it.
  bool ShowBalloon(std::wstring_view title, std::wstring_view text);
  // The text of the balloon the shell last accepted; empty when none was shown.
  const std::wstring& Balloon() const { return balloon_; }
  // The tip the shell last accepted for the icon, as cut; empty when none is shown.
  const std::wstring& Tip() const { return tip_; }
  // The shell lost every icon (it restarted): the next Show adds ours again.
  void Forget() {
    owner_ = nullptr;
    tip_.clear();
  }

 private:
  HWND owner_ = nullptr;
  std::wstring tip_;
  std::wstring balloon_;
  std::wstring pendingTitle_, pendingText_;  // a balloon waiting for the icon
};

}  // namespace kivora::ui

// The main window: created from the layout table, it owns every control and
// turns window messages into the events that handlers are bound to.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/unique_handle.h"
#include "ui/control.h"
#include "ui/control_kinds.h"
#include "ui/layout.h"
#include "ui/popup_menu.h"
#include "ui/tray_icon.h"

namespace kivora::ui {

// A message another thread may post to the window to say that something waits
// for the window's thread to take (WindowEvents::noticePosted).
inline constexpr UINT kNoticeMessage = WM_APP + 3;

struct WindowEvents {
  Handler created;               // the window and the controls in first sight exist; it is not shown yet
  Handler completed;             // the window shows, painted, and every control exists
  Handler destroying;            // while the window is destroyed, its controls still there
  Handler rightPressed;          // right button pressed on the bare client area
  std::function<void(int)> notificationArea;  // operation 1, 2 or 3
  // A system-menu command (WM_SYSCOMMAND, low four bits cleared); true: handled here,
  // false: the system's own handling follows.
  std::function<bool(UINT)> systemCommand;
  std::function<void(int)> hotkey;  // a registered hotkey was pressed: its identifier
  Handler noticePosted;             // kNoticeMessage arrived from another thread
  std::array<Handler, kMenuItemCaptions.size()> menuItems;
};

class MainWindow {
 public:
  MainWindow();
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  WindowEvents& Events() { return events_; }

  // Creates the window hidden with the controls in first sight (those on the window
  // and on the current page), raises the created event, shows and paints the window
  // centred on the screen, then builds the controls of the other pages and raises the
  // completed event. Every control exists when this returns; creating a child control
  // costs a millisecond or more under some systems, so the pages out of sight are left
  // until the window is up.
  bool Create(HINSTANCE instance);

  HWND Handle() const { return hwnd_; }
  bool Exists() const { return hwnd_ != nullptr; }

  // The control with this layout name; every name used by the program exists.
  Control& operator[](std::wstring_view name) const;
  Control* Find(std::wstring_view name) const;
  // The same control as its kind (PushButton, Slider, CheckBox, ...).
  template <typename Kind>
  Kind& As(std::wstring_view name) const {
    return dynamic_cast<Kind&>((*this)[name]);
  }
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }

  int CurrentPage() const { return currentPage_; }
  // The DPI the window is laid out for: its monitor's, as the last WM_DPICHANGED told.
  int Dpi() const { return dpi_; }
  const PopupMenu& Menu() const { return menu_; }
  TrayIcon& Tray() { return tray_; }
  // Puts the window's icon into the notification area. Wine's tray may come up
  // after the program, so a refused attempt is retried for a few seconds.
  void ShowTrayIcon(std::wstring_view tip);
  HICON LargeIcon() const { return largeIcon_.Get(); }
  HICON SmallIcon() const { return smallIcon_.Get(); }

  // Always-on-top state of the window.
  void SetAlwaysOnTop(bool onTop);
  bool AlwaysOnTop() const;
  // The user's always-on-top choice: the state the window goes back to after a
  // message box lifted it (ScopedTopmostLift).
  void SetTopmostChoice(bool onTop) { topmostChoice_ = onTop; }
  bool TopmostChoice() const { return topmostChoice_; }

  void Destroy();

  // Runs the handler bound to menu item index; -1 (nothing chosen) does nothing.
  void ChooseMenuItem(int index);

  // Runs handler from the event loop, after the message that is under way.
  void Post(Handler handler);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  enum class Batch { FirstSight, OutOfSight };
  void CreateControls(Batch batch);
  HWND CreateControl(const ControlSpec& spec, int id, HWND above);
  void OnCommand(WPARAM wParam, LPARAM lParam);
  void OnNotify(const NMHDR& header);
  void OnDestroy();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void MakeFontAndIcons(HINSTANCE instance);
  void ShowCurrentPage();
  bool DrawControl(const DRAWITEMSTRUCT& item);
  Control* ControlById(int id) const;

  HWND hwnd_ = nullptr;
  int currentPage_ = 0;
  int dpi_ = 96;
  WindowEvents events_;
  Font font_;
  Icon largeIcon_;
  Icon smallIcon_;
  PopupMenu menu_;
  TrayIcon tray_;
  std::wstring trayTip_;
  int trayAttempts_ = 0;
  bool topmostChoice_ = false;
  std::vector<std::unique_ptr<Control>> controls_;
  std::unordered_map<std::wstring_view, Control*> byName_;
  std::unordered_map<int, Control*> byId_;
  std::vector<Handler> posted_;
};

}  // namespace kivora::ui

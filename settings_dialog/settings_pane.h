// A plain child window of the settings dialog that holds controls: a section's
// page, or a scrolling area inside one. It passes its controls' commands to the
// section, paints in the dialog's (skinned) colours, and takes part in the
// dialog's Tab order. Its sections lay it out at 96 DPI: every rectangle and
// height given to it, and the width and height it tells, are in those units, and it
// scales them to the dialog's DPI.
#pragma once

#include <windows.h>

#include "settings_dialog/settings_section.h"

namespace kivora {

// What the dialog sends every pane below it (its sections' own panes too) when it
// moves to a monitor of another DPI: wParam is the new DPI.
UINT PaneDpiChangedMessage();
// What a pane answers with how far its content is scrolled, in pixels (anything
// else answers 0).
UINT PaneScrollOffsetMessage();

// Every control of the dialog keeps the rectangle it was given at 96 DPI, so each
// change of DPI places it from that rather than from the last, rounded, place.
void RememberLayout(HWND control, RECT area);
bool LayoutOf(HWND control, RECT& area);

class SettingsPane {
 public:
  enum class Scroll { None, Vertical };
  // area is in parent's client coordinates (units at 96 DPI).
  SettingsPane(HWND parent, RECT area, SettingsSection& section, Scroll scroll = Scroll::None);
  ~SettingsPane();
  SettingsPane(const SettingsPane&) = delete;
  SettingsPane& operator=(const SettingsPane&) = delete;

  HWND Handle() const { return hwnd_; }
  int Width() const;
  int Height() const;

  // A control of a system class in this pane, in the dialog's font; the pane owns it.
  HWND Add(const wchar_t* windowClass, const wchar_t* text, DWORD style, RECT area);

  // The dialog moved to a monitor of another DPI and has placed every control for it;
  // the pane's own lengths follow.
  void OnDpiChanged(int dpi);

  // Scrolling panes: how tall the content is, and bringing one control into sight.
  void SetContentHeight(int height);
  void ScrollIntoView(HWND control);

 private:
  static LRESULT CALLBACK PaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnColour(UINT message, WPARAM wParam, LPARAM lParam);
  void OnEraseBackground(HDC dc);
  void OnScroll(WORD request);
  void OnWheel(int delta);
  void UpdateScrollBar();
  int PixelHeight() const;
  void ScrollTo(int offset);

  HWND hwnd_ = nullptr;
  SettingsSection& section_;
  int dpi_;
  int lineStep_;     // pixels
  int contentHeight96_ = 0;
  int contentHeight_ = 0;  // pixels
  int offset_ = 0;         // pixels
  int wheelRemainder_ = 0;  // wheel delta times pixels per notch, not yet scrolled
  int nextId_ = 100;
};

}  // namespace kivora

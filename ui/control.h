// One control of the main window: its window handle, its layout description,
// the handlers bound to its events, and the properties every kind has. Each kind
// (control_kinds.h) handles the messages that are particular to it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ui/layout.h"

namespace kivora::ui {

using Handler = std::function<void()>;

// The events a control can raise; each holds at most one bound handler.
struct ControlEvents {
  Handler clicked;
  Handler doubleClicked;
  Handler leftPressed;
  Handler rightPressed;
  Handler changed;  // slider: every scroll notification except the end of a drag
};

void FireIfBound(const Handler& handler);

// What an owner-drawn control needs to draw itself.
struct DrawContext {
  HDC dc;
  RECT area;
  HFONT font;
};

class Control {
 public:
  // currentPage is the window's current tab page, which decides whether a page control shows.
  Control(const ControlSpec& spec, HWND handle, const int& currentPage);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const ControlSpec& Spec() const { return spec_; }
  std::wstring_view Name() const { return spec_.name; }
  HWND Handle() const { return handle_; }
  ControlEvents& Events() { return events_; }

  std::wstring Caption() const;
  void SetCaption(std::wstring_view caption);

  // The control's own visible flag; a control on a tab page shows only while its page is current.
  bool VisibleFlag() const { return visibleFlag_; }
  void SetVisible(bool visible);
  void ApplyPage();  // shows or hides the control for the current page

  bool Enabled() const;
  void SetEnabled(bool enabled);

  RECT Bounds() const;  // in the parent window's client coordinates
  void SetHeight(int height);

  // The control's subclass procedure: one handler per message.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Notifications the window passes on: WM_COMMAND codes, WM_HSCROLL codes, WM_DRAWITEM.
  virtual void OnCommand(WORD /*code*/) {}
  virtual void OnScroll(WORD /*code*/) {}
  virtual bool Draw(const DrawContext& /*context*/) { return false; }
  // The window is laid out for another DPI; the control is already placed for it.
  virtual void OnDpiChanged(int /*dpi*/) {}

 protected:
  // The default handling of every message: the hook fires the bound event, the
  // system's own procedure does the rest.
  virtual LRESULT OnLeftButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnLeftDoubleClick(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnRightButtonDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
  virtual LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
  LRESULT PassOn(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  ControlSpec spec_;
  HWND handle_;
  const int& currentPage_;
  ControlEvents events_;
  bool visibleFlag_ = true;
};

}  // namespace kivora::ui

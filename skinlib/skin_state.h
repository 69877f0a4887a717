// What the skin keeps for each window it skins and for each control on it. Each is
// made when the window is skinned and freed when the window goes.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"
#include "skinlib/back_buffer.h"
#include "skinlib/skin_format.h"

namespace kivora::skin {

// When a control's look is painted again after a message changed it.
enum class Repaint {
  None,
  Later,  // the event loop's next WM_PAINT: the control asked for one, or the skin does
  Now,    // before the outermost message returns: the control drew its own look already
};

// A skinned window could be destroyed by a message it is handling (the close box
// is pressed inside WM_NCLBUTTONUP): its skin is freed only once the outermost of
// its messages under way has returned.
struct MessagesUnderWay {
  int count = 0;
  bool windowGone = false;
};

// A top-level window: its palette and what every control on it paints with.
class WindowSkin {
 public:
  WindowSkin(const Palette& palette, int dpi) : palette_(palette), dpi_(dpi) {}

  COLORREF Color(Role role) const { return static_cast<COLORREF>(palette_[role]); }
  // A later skin brings its colours to the windows skinned before.
  void Recolour(const Palette& palette) { palette_ = palette; }
  BackBuffer& Buffer() { return buffer_; }
  // The brush that answers the controls' colour questions.
  HBRUSH BackgroundBrush();
  // The system's caption font, semibold; made at its first use and again after a
  // change of the system's settings.
  HFONT CaptionFont();
  void ForgetCaptionFont() { captionFont_.Reset(); }
  // The DPI the window is laid out for; every metric of the look is scaled to it.
  int Dpi() const { return dpi_; }
  int Scaled(int pixels) const;
  void SetDpi(int dpi);

  MessagesUnderWay underWay;

 private:
  Palette palette_;
  int dpi_;
  BackBuffer buffer_;
  Brush backgroundBrush_;
  COLORREF backgroundBrushColor_ = 0;
  Font captionFont_;
};

enum class ControlKind { PushButton, CheckBox, Tab, Slider };

// A control on a skinned window.
struct ControlSkin {
  ControlSkin(ControlKind kind, WindowSkin* window) : kind(kind), window(window) {}
  ControlKind kind;
  WindowSkin* window;  // outlives the control: children go before their window
  bool hot = false;    // under the mouse, until it leaves
  Repaint owed = Repaint::None;
  MessagesUnderWay underWay;
};

}  // namespace kivora::skin

// One control of the main window: its window handle, its layout description,
// the handlers bound to its events, and typed access to its properties.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ui/gdi_handles.h"
#include "ui/layout.h"
#include "ui/png_picture.h"

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

class Control {
 public:
  // currentPage is the window's current tab page, which decides whether a page control shows.
  Control(const ControlSpec& spec, HWND handle, const int& currentPage);
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

  // Slider position. A position set by program is kept as given (0..32767),
  // even where the thumb can only show the nearest end of the 0..100 track.
  int SliderPosition() const;
  void SetSliderPosition(int position);

  bool Checked() const;
  void SetChecked(bool checked);

  // Picture button: the image bytes it shows, and the decoded bitmap.
  std::span<const unsigned char> Picture() const { return picture_; }
  void SetPicture(std::span<const unsigned char> pngBytes);

  // Picture box: decodes JPEG or PNG bytes and shows the picture fitted into the
  // box; bytes it cannot decode (or none) leave the box empty.
  void ShowImage(std::span<const unsigned char> imageBytes);
  const PngPicture& Image() const { return image_; }

  // Hyperlink label state, for drawing.
  bool hot = false;
  bool visited = false;

  // Set by the double-click dispatch: the click that the button reports for the
  // second press of a double-click is not a click of its own.
  bool swallowNextClick = false;

 private:
  ControlSpec spec_;
  HWND handle_;
  const int& currentPage_;
  ControlEvents events_;
  bool visibleFlag_ = true;
  mutable int storedSliderPosition_ = 100;
  std::vector<unsigned char> picture_;
  Bitmap pictureBitmap_;  // the button shows it but does not own it
  PngPicture image_;      // what a picture box draws
};

}  // namespace kivora::ui

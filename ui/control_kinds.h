// The kinds of control on the main window, each with the messages and the
// properties that belong to it. MakeControl picks the kind from the layout.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "assets/pictures.h"
#include "base/unique_handle.h"
#include "ui/control.h"
#include "ui/png_picture.h"

namespace kivora::ui {

std::unique_ptr<Control> MakeControl(const ControlSpec& spec, HWND handle, const int& currentPage);

// A push button reports the second press of a double-click as one more click;
// that click belongs to the double-click and is dropped.
class PushButton : public Control {
 public:
  using Control::Control;
  void OnCommand(WORD code) override;

 protected:
  LRESULT OnLeftButtonDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnLeftDoubleClick(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;

 private:
  bool swallowNextClick_ = false;
};

// A push button showing a PNG picture, laid onto the button face: of a set drawn
// for several scales, the one drawn for the DPI nearest the window's.
class PictureButton final : public PushButton {
 public:
  using PushButton::PushButton;
  // The image bytes it shows; the bitmap is decoded only when they change.
  std::span<const unsigned char> Picture() const { return picture_; }
  void SetPicture(assets::PictureSet pictures);
  void OnDpiChanged(int dpi) override;

 private:
  void Show(std::span<const unsigned char> pngBytes);

  assets::PictureSet pictures_;
  int dpi_ = 96;
  std::vector<unsigned char> picture_;
  Bitmap shown_;  // the button shows it but does not own it
};

class CheckBox final : public Control {
 public:
  using Control::Control;
  void OnCommand(WORD code) override;
  bool Checked() const;
  void SetChecked(bool checked);
};

// A horizontal track of 0..100.
class Slider final : public Control {
 public:
  using Control::Control;
  void OnScroll(WORD code) override;
  int TrackPosition() const;
  void SetTrackPosition(int position);  // clamped to the track; fires nothing
};

// The tab control changes its page on the press; its click fires after that change.
class TabControl final : public Control {
 public:
  using Control::Control;

 protected:
  LRESULT OnLeftButtonDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnLeftDoubleClick(WPARAM wParam, LPARAM lParam) override;
};

// Text drawn by the program: black on white, one centred line or word-wrapped.
class Label : public Control {
 public:
  using Control::Control;
  bool Draw(const DrawContext& context) override;

 protected:
  virtual COLORREF TextColour() const;
};

// A label that looks and acts like a link: three colours and the hand pointer.
class HyperlinkLabel final : public Label {
 public:
  using Label::Label;
  bool Hot() const { return hot_; }
  bool Visited() const { return visited_; }

 protected:
  COLORREF TextColour() const override;
  LRESULT OnLeftButtonDown(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) override;
  LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam) override;

 private:
  bool hot_ = false;
  bool visited_ = false;
};

// The banner's box: a white area under the hand pointer, showing a picture fitted
// into it with its aspect kept and centred.
class PictureBox final : public Control {
 public:
  using Control::Control;
  bool Draw(const DrawContext& context) override;

  // Decodes JPEG or PNG bytes and shows the picture; bytes it cannot decode (or
  // none) leave the box empty.
  void ShowImage(std::span<const unsigned char> imageBytes);
  const PngPicture& Image() const { return image_; }

 private:
  PngPicture image_;
  PngPicture fitted_;  // the image resampled to the box's present size

 protected:
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam) override;
};

// The colours the program draws its labels in.
inline constexpr COLORREF kLabelText = RGB(0, 0, 0);
inline constexpr COLORREF kLabelBackground = RGB(255, 255, 255);
inline constexpr COLORREF kLinkNormal = RGB(0, 0, 255);
inline constexpr COLORREF kLinkHot = RGB(0, 120, 215);
inline constexpr COLORREF kLinkVisited = RGB(0, 136, 255);

}  // namespace kivora::ui

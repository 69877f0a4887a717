// Labels, the link label and the banner's box: controls the program draws itself.
#include "ui/control_kinds.h"
#include "ui/picture_box.h"
#include "ui/picture_fit.h"

namespace kivora::ui {
namespace {

void FillBackground(const DrawContext& context) {
  Brush background(CreateSolidBrush(kLabelBackground));
  FillRect(context.dc, &context.area, background.Get());
}

LRESULT ShowHandPointer() {
  SetCursor(LoadCursorW(nullptr, IDC_HAND));
  return TRUE;
}

}  // namespace

bool Label::Draw(const DrawContext& context) {
  FillBackground(context);
  const ControlSpec& spec = Spec();
  UINT format = DT_NOPREFIX | (spec.wordWrap ? (DT_LEFT | DT_WORDBREAK) : (DT_CENTER | DT_VCENTER | DT_SINGLELINE));
  ScopedSelect font(context.dc, context.font);
  SetTextColor(context.dc, TextColour());
  SetBkMode(context.dc, TRANSPARENT);
  std::wstring caption = Caption();
  RECT area = context.area;
  DrawTextW(context.dc, caption.c_str(), static_cast<int>(caption.size()), &area, format);
  return true;
}

COLORREF Label::TextColour() const { return kLabelText; }

COLORREF HyperlinkLabel::TextColour() const { return hot_ ? kLinkHot : (visited_ ? kLinkVisited : kLinkNormal); }

LRESULT HyperlinkLabel::OnLeftButtonDown(WPARAM wParam, LPARAM lParam) {
  FireIfBound(Events().leftPressed);
  visited_ = true;
  InvalidateRect(Handle(), nullptr, TRUE);
  return PassOn(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT HyperlinkLabel::OnSetCursor(WPARAM, LPARAM) { return ShowHandPointer(); }

LRESULT HyperlinkLabel::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  if (!hot_) {
    hot_ = true;
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
  return PassOn(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT HyperlinkLabel::OnMouseLeave(WPARAM wParam, LPARAM lParam) {
  hot_ = false;
  InvalidateRect(Handle(), nullptr, TRUE);
  return PassOn(WM_MOUSELEAVE, wParam, lParam);
}

bool PictureBox::Draw(const DrawContext& context) {
  FillBackground(context);
  const int width = context.area.right - context.area.left, height = context.area.bottom - context.area.top;
  const FittedRect fit = FitCentred(image_.Width(), image_.Height(), width, height);
  const bool resized = fit.width != image_.Width() || fit.height != image_.Height();
  if (resized && (fitted_.Width() != fit.width || fitted_.Height() != fit.height)) {
    fitted_ = FittedCopy(image_, width, height);
  }
  DrawFitted(context.dc, context.area, resized && fitted_ ? fitted_ : image_);
  return true;
}

void PictureBox::ShowImage(std::span<const unsigned char> imageBytes) {
  image_ = DecodePicture(imageBytes);
  fitted_ = PngPicture();
  InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT PictureBox::OnSetCursor(WPARAM, LPARAM) { return ShowHandPointer(); }

}  // namespace kivora::ui

#include "skinlib/skin_painter.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "base/dpi.h"
#include "base/unique_handle.h"
#include "skinlib/back_buffer.h"

namespace kivora::skin {
namespace {

constexpr int kRadius = 6;  // every length here is at 96 DPI, scaled to the window's

// Asks a control a question at its own window procedure. A message sent to a
// control first passes every subclass in front of it, and under Wine each of them
// looks its chain up in a window property, a wineserver round trip: a tenth of a
// millisecond or more per message, several messages per paint. A question changes
// nothing, so it skips the chain.
LRESULT Ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  const auto own = reinterpret_cast<WNDPROC>(GetClassLongPtrW(control, GCLP_WNDPROC));
  return own ? CallWindowProcW(own, control, message, wParam, lParam) : SendMessageW(control, message, wParam, lParam);
}

void Fill(HDC dc, const RECT& area, COLORREF color) {
  Brush brush(CreateSolidBrush(color));
  FillRect(dc, &area, brush.Get());
}

void RoundBox(HDC dc, RECT area, COLORREF fill, COLORREF border, int borderWidth, int radius) {
  Brush brush(CreateSolidBrush(fill));
  Pen pen(CreatePen(PS_INSIDEFRAME, borderWidth, border));
  ScopedSelect selectBrush(dc, brush.Get());
  ScopedSelect selectPen(dc, pen.Get());
  RoundRect(dc, area.left, area.top, area.right, area.bottom, radius, radius);
}

void Ellipse(HDC dc, int x, int y, int radius, COLORREF fill, COLORREF border, int borderWidth) {
  Brush brush(CreateSolidBrush(fill));
  Pen pen(CreatePen(PS_INSIDEFRAME, borderWidth, border));
  ScopedSelect selectBrush(dc, brush.Get());
  ScopedSelect selectPen(dc, pen.Get());
  ::Ellipse(dc, x - radius, y - radius, x + radius + 1, y + radius + 1);
}

// A control's text, asked at its own procedure.
std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(Ask(hwnd, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      Ask(hwnd, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

HFONT FontOf(HWND hwnd) {
  auto font = reinterpret_cast<HFONT>(Ask(hwnd, WM_GETFONT));
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Text in one line, centred; a caption too wide for its box is set a size smaller.
void CentredText(HDC dc, HFONT font, const std::wstring& text, RECT area, COLORREF color) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  ScopedSelect selectFont(dc, font);
  RECT measured = area;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  const UINT format = DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX;
  if (measured.right - measured.left <= area.right - area.left) {
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
    return;
  }
  LOGFONTW face{};
  GetObjectW(font, sizeof(face), &face);
  face.lfHeight = face.lfHeight * 4 / 5;
  Font smaller(CreateFontIndirectW(&face));
  ScopedSelect selectSmaller(dc, smaller.Get());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_END_ELLIPSIS);
}

void PaintPushButton(HWND hwnd, WindowSkin& skin, bool hot) {
  BufferedPaint paint(hwnd, skin.Buffer());
  HDC dc = paint.Dc();
  RECT area = paint.Area();
  Fill(dc, area, skin.Color(Role::Background));
  const bool pressed = (Ask(hwnd, BM_GETSTATE) & BST_PUSHED) != 0;
  const bool focused = GetFocus() == hwnd;
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  COLORREF face = skin.Color(Role::ButtonFace), border = skin.Color(Role::ButtonBorder), text = skin.Color(Role::Text);
  if (pressed) {
    face = border = skin.Color(Role::ButtonPressed);
    text = skin.Color(Role::ButtonPressedText);
  } else if (hot && enabled) {
    face = skin.Color(Role::ButtonHover);
    border = skin.Color(Role::Accent);
  }
  if (!enabled) text = skin.Color(Role::MutedText);
  const int inset = skin.Scaled(1);
  RECT box{area.left + inset, area.top + inset, area.right - inset, area.bottom - inset};
  RoundBox(dc, box, face, focused && !pressed ? skin.Color(Role::Accent) : border, skin.Scaled(focused ? 2 : 1),
           skin.Scaled(kRadius));

  auto picture = reinterpret_cast<HBITMAP>(Ask(hwnd, BM_GETIMAGE, IMAGE_BITMAP));
  if ((GetWindowLongW(hwnd, GWL_STYLE) & BS_BITMAP) && picture) {
    // The picture was laid on the system button face: that colour is its background.
    BITMAP info{};
    GetObjectW(picture, sizeof(info), &info);
    MemoryDc source(dc);
    ScopedSelect selectPicture(source.Get(), picture);
    const int x = (area.right - info.bmWidth) / 2, y = (area.bottom - info.bmHeight) / 2;
    TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, source.Get(), 0, 0, info.bmWidth, info.bmHeight,
                   GetSysColor(COLOR_BTNFACE));
    return;
  }
  RECT textArea{box.left + skin.Scaled(3), box.top, box.right - skin.Scaled(3), box.bottom};
  CentredText(dc, FontOf(hwnd), TextOf(hwnd), textArea, text);
}

void PaintCheckBox(HWND hwnd, WindowSkin& skin, bool hot) {
  BufferedPaint paint(hwnd, skin.Buffer());
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, skin.Color(Role::Background));
  const bool checked = Ask(hwnd, BM_GETCHECK) == BST_CHECKED;
  const bool focused = GetFocus() == hwnd;
  const int size = skin.Scaled(14), top = (area.bottom - size) / 2;
  RECT box{skin.Scaled(1), top, skin.Scaled(1) + size, top + size};
  const COLORREF border = checked || focused || hot ? skin.Color(Role::Accent) : skin.Color(Role::ButtonBorder);
  RoundBox(dc, box, checked ? skin.Color(Role::Accent) : skin.Color(Role::ButtonFace), border,
           skin.Scaled(focused ? 2 : 1), skin.Scaled(4));
  if (checked) {
    Pen pen(CreatePen(PS_SOLID, skin.Scaled(2), skin.Color(Role::ButtonPressedText)));
    ScopedSelect selectPen(dc, pen.Get());
    POINT tick[3] = {{box.left + skin.Scaled(3), top + skin.Scaled(7)},
                     {box.left + skin.Scaled(6), top + skin.Scaled(10)},
                     {box.left + skin.Scaled(11), top + skin.Scaled(4)}};
    Polyline(dc, tick, 3);
  }
  RECT textArea{box.right + skin.Scaled(5), area.top, area.right, area.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(hwnd) ? skin.Color(Role::Text) : skin.Color(Role::MutedText));
  ScopedSelect selectFont(dc, FontOf(hwnd));
  std::wstring text = TextOf(hwnd);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void PaintTab(HWND hwnd, WindowSkin& skin) {
  BufferedPaint paint(hwnd, skin.Buffer());
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, skin.Color(Role::Background));
  const int count = static_cast<int>(Ask(hwnd, TCM_GETITEMCOUNT));
  const int chosen = static_cast<int>(Ask(hwnd, TCM_GETCURSEL));
  std::vector<RECT> items(static_cast<size_t>(count > 0 ? count : 0));
  int stripBottom = 0;
  for (int i = 0; i < count; ++i) {
    RECT& item = items[static_cast<size_t>(i)];
    Ask(hwnd, TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    stripBottom = item.bottom > stripBottom ? item.bottom : stripBottom;
  }
  const int radius = skin.Scaled(kRadius);
  RECT line{area.left, stripBottom, area.right, stripBottom + skin.Scaled(1)};
  Fill(dc, line, skin.Color(Role::Track));
  HFONT font = FontOf(hwnd);
  for (int i = 0; i < count; ++i) {
    const RECT& item = items[static_cast<size_t>(i)];
    wchar_t title[64]{};
    TCITEMW query{};
    query.mask = TCIF_TEXT;
    query.pszText = title;
    query.cchTextMax = 64;
    Ask(hwnd, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&query));
    const bool isChosen = i == chosen;
    const int inset = skin.Scaled(1);
    RECT face{item.left + inset, item.top + inset, item.right - inset, stripBottom + radius};
    if (isChosen) {
      RoundBox(dc, face, skin.Color(Role::ButtonFace), skin.Color(Role::ButtonBorder), inset, radius);
      RECT bar{item.left + skin.Scaled(6), stripBottom - skin.Scaled(3), item.right - skin.Scaled(6), stripBottom};
      Fill(dc, bar, skin.Color(Role::Accent));
      RECT below{area.left, stripBottom + inset, area.right, stripBottom + radius + inset};
      Fill(dc, below, skin.Color(Role::Background));
    }
    RECT label{item.left, item.top, item.right, stripBottom - skin.Scaled(2)};
    CentredText(dc, font, title, label, isChosen ? skin.Color(Role::Text) : skin.Color(Role::MutedText));
    if (isChosen && GetFocus() == hwnd) {
      RECT ring{item.left + skin.Scaled(3), item.top + skin.Scaled(3), item.right - skin.Scaled(3),
                stripBottom - skin.Scaled(4)};
      Pen pen(CreatePen(PS_SOLID, skin.Scaled(1), skin.Color(Role::Accent)));
      ScopedSelect selectPen(dc, pen.Get());
      ScopedSelect hollow(dc, GetStockObject(NULL_BRUSH));
      RoundRect(dc, ring.left, ring.top, ring.right, ring.bottom, skin.Scaled(4), skin.Scaled(4));
    }
  }
}

void PaintSlider(HWND hwnd, WindowSkin& skin, bool hot) {
  BufferedPaint paint(hwnd, skin.Buffer());
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, skin.Color(Role::Background));
  RECT channel{}, thumb{};
  Ask(hwnd, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  Ask(hwnd, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const int middle = (area.top + area.bottom) / 2;
  const int thumbX = (thumb.left + thumb.right) / 2;
  const int half = skin.Scaled(2), line = skin.Scaled(1), round = skin.Scaled(4);
  RECT track{channel.left, middle - half, channel.right, middle + half};
  RoundBox(dc, track, skin.Color(Role::Track), skin.Color(Role::Track), line, round);
  RECT filled{channel.left, middle - half, thumbX, middle + half};
  if (filled.right > filled.left) RoundBox(dc, filled, skin.Color(Role::Accent), skin.Color(Role::Accent), line, round);
  const bool focused = GetFocus() == hwnd;
  if (focused || hot) {
    Ellipse(dc, thumbX, middle, skin.Scaled(10), skin.Color(Role::ButtonHover), skin.Color(Role::ButtonHover), line);
  }
  Ellipse(dc, thumbX, middle, skin.Scaled(7), skin.Color(Role::ButtonFace), skin.Color(Role::Accent),
          skin.Scaled(focused ? 3 : 2));
}

}  // namespace

void PaintControl(HWND control, const ControlSkin& skin) {
  switch (skin.kind) {
    case ControlKind::PushButton: PaintPushButton(control, *skin.window, skin.hot); break;
    case ControlKind::CheckBox: PaintCheckBox(control, *skin.window, skin.hot); break;
    case ControlKind::Tab: PaintTab(control, *skin.window); break;
    case ControlKind::Slider: PaintSlider(control, *skin.window, skin.hot); break;
  }
}

// Labels are owner-drawn by their window: the skin draws them in its own colours.
bool PaintLabel(const DRAWITEMSTRUCT& item, const WindowSkin& skin) {
  if (item.CtlType != ODT_STATIC) return false;
  std::wstring text = TextOf(item.hwndItem);
  if (text.empty()) return false;  // a picture box keeps its owner's drawing
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  Fill(dc, area, skin.Color(Role::Background));
  const bool isLink = (GetWindowLongW(item.hwndItem, GWL_STYLE) & SS_NOTIFY) != 0;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, isLink ? skin.Color(Role::Link) : skin.Color(Role::Text));
  ScopedSelect selectFont(dc, FontOf(item.hwndItem));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const bool manyLines = area.bottom - area.top > 2 * metrics.tmHeight;
  const UINT format = DT_NOPREFIX | (manyLines ? (DT_LEFT | DT_WORDBREAK) : (DT_CENTER | DT_VCENTER | DT_SINGLELINE));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
  return true;
}

void PaintFrame(HWND hwnd, WindowSkin& skin) {
  RECT window{}, client{};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int left = origin.x - window.left, top = origin.y - window.top;
  const int right = left + client.right, bottom = top + client.bottom;
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  ExcludeClipRect(dc, left, top, right, bottom);
  RECT whole{0, 0, width, height};
  Fill(dc, whole, skin.Color(Role::Caption));

  const int border = left;
  const int captionHeight = top - border;
  const int iconSize = skin.Scaled(16);
  auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
  if (icon) {
    DrawIconEx(dc, border + skin.Scaled(6), border + (captionHeight - iconSize) / 2, icon, iconSize, iconSize, 0,
               nullptr, DI_NORMAL);
  }
  std::wstring title(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  title.resize(static_cast<size_t>(GetWindowTextW(hwnd, title.data(), static_cast<int>(title.size()))));
  {
    ScopedSelect selectFont(dc, skin.CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin.Color(Role::CaptionText));
    RECT titleArea{border + skin.Scaled(28), border, width / 2, top};
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  // The system's button width is at the system's DPI; the window may be on a monitor of another.
  const int buttonWidth = MulDiv(GetSystemMetrics(SM_CXSIZE), skin.Dpi(), SystemDpi());
  const int centreY = border + captionHeight / 2;
  {
    Pen pen(CreatePen(PS_SOLID, skin.Scaled(2), skin.Color(Role::CaptionText)));
    ScopedSelect selectPen(dc, pen.Get());
    const int arm = skin.Scaled(5), gap = skin.Scaled(2);
    const int closeX = width - border - buttonWidth / 2 - gap;
    MoveToEx(dc, closeX - arm, centreY - arm, nullptr);
    LineTo(dc, closeX + arm, centreY + arm);
    MoveToEx(dc, closeX + arm, centreY - arm, nullptr);
    LineTo(dc, closeX - arm, centreY + arm);
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_MINIMIZEBOX) {
      const int minimiseX = closeX - buttonWidth - gap;
      const int low = centreY + skin.Scaled(4);
      MoveToEx(dc, minimiseX - arm, low, nullptr);
      LineTo(dc, minimiseX + skin.Scaled(6), low);
    }
  }
  ReleaseDC(hwnd, dc);
}

}  // namespace kivora::skin

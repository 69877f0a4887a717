#include "skinlib/skin_painter.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "skinlib/back_buffer.h"
#include "base/unique_handle.h"

namespace kivora::skin {
namespace {

constexpr int kRadius = 6;

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

void RoundBox(HDC dc, RECT area, COLORREF fill, COLORREF border, int borderWidth = 1, int radius = kRadius) {
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
  RECT box{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
  RoundBox(dc, box, face, focused && !pressed ? skin.Color(Role::Accent) : border, focused ? 2 : 1);

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
  RECT textArea{box.left + 3, box.top, box.right - 3, box.bottom};
  CentredText(dc, FontOf(hwnd), TextOf(hwnd), textArea, text);
}

void PaintCheckBox(HWND hwnd, WindowSkin& skin, bool hot) {
  BufferedPaint paint(hwnd, skin.Buffer());
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, skin.Color(Role::Background));
  const bool checked = Ask(hwnd, BM_GETCHECK) == BST_CHECKED;
  const bool focused = GetFocus() == hwnd;
  const int size = 14, top = (area.bottom - size) / 2;
  RECT box{1, top, 1 + size, top + size};
  const COLORREF border = checked || focused || hot ? skin.Color(Role::Accent) : skin.Color(Role::ButtonBorder);
  RoundBox(dc, box, checked ? skin.Color(Role::Accent) : skin.Color(Role::ButtonFace), border, focused ? 2 : 1, 4);
  if (checked) {
    Pen pen(CreatePen(PS_SOLID, 2, skin.Color(Role::ButtonPressedText)));
    ScopedSelect selectPen(dc, pen.Get());
    POINT tick[3] = {{box.left + 3, top + 7}, {box.left + 6, top + 10}, {box.left + 11, top + 4}};
    Polyline(dc, tick, 3);
  }
  RECT textArea{box.right + 5, area.top, area.right, area.bottom};
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
  RECT line{area.left, stripBottom, area.right, stripBottom + 1};
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
    RECT face{item.left + 1, item.top + 1, item.right - 1, stripBottom + kRadius};
    if (isChosen) {
      RoundBox(dc, face, skin.Color(Role::ButtonFace), skin.Color(Role::ButtonBorder));
      RECT bar{item.left + 6, stripBottom - 3, item.right - 6, stripBottom};
      Fill(dc, bar, skin.Color(Role::Accent));
      RECT below{area.left, stripBottom + 1, area.right, stripBottom + kRadius + 1};
      Fill(dc, below, skin.Color(Role::Background));
    }
    RECT label{item.left, item.top, item.right, stripBottom - 2};
    CentredText(dc, font, title, label, isChosen ? skin.Color(Role::Text) : skin.Color(Role::MutedText));
    if (isChosen && GetFocus() == hwnd) {
      RECT ring{item.left + 3, item.top + 3, item.right - 3, stripBottom - 4};
      Pen pen(CreatePen(PS_SOLID, 1, skin.Color(Role::Accent)));
      ScopedSelect selectPen(dc, pen.Get());
      ScopedSelect hollow(dc, GetStockObject(NULL_BRUSH));
      RoundRect(dc, ring.left, ring.top, ring.right, ring.bottom, 4, 4);
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
  RECT track{channel.left, middle - 2, channel.right, middle + 2};
  RoundBox(dc, track, skin.Color(Role::Track), skin.Color(Role::Track), 1, 4);
  RECT filled{channel.left, middle - 2, thumbX, middle + 2};
  if (filled.right > filled.left) RoundBox(dc, filled, skin.Color(Role::Accent), skin.Color(Role::Accent), 1, 4);
  const bool focused = GetFocus() == hwnd;
  if (focused || hot) Ellipse(dc, thumbX, middle, 10, skin.Color(Role::ButtonHover), skin.Color(Role::ButtonHover), 1);
  Ellipse(dc, thumbX, middle, 7, skin.Color(Role::ButtonFace), skin.Color(Role::Accent), focused ? 3 : 2);
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
  auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
  if (icon) DrawIconEx(dc, border + 6, border + (captionHeight - 16) / 2, icon, 16, 16, 0, nullptr, DI_NORMAL);
  std::wstring title(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  title.resize(static_cast<size_t>(GetWindowTextW(hwnd, title.data(), static_cast<int>(title.size()))));
  {
    ScopedSelect selectFont(dc, skin.CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin.Color(Role::CaptionText));
    RECT titleArea{border + 28, border, width / 2, top};
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  const int buttonWidth = GetSystemMetrics(SM_CXSIZE);
  const int centreY = border + captionHeight / 2;
  {
    Pen pen(CreatePen(PS_SOLID, 2, skin.Color(Role::CaptionText)));
    ScopedSelect selectPen(dc, pen.Get());
    const int closeX = width - border - buttonWidth / 2 - 2;
    MoveToEx(dc, closeX - 5, centreY - 5, nullptr);
    LineTo(dc, closeX + 5, centreY + 5);
    MoveToEx(dc, closeX + 5, centreY - 5, nullptr);
    LineTo(dc, closeX - 5, centreY + 5);
    if (GetWindowLongW(hwnd, GWL_STYLE) & WS_MINIMIZEBOX) {
      const int minimiseX = closeX - buttonWidth - 2;
      MoveToEx(dc, minimiseX - 5, centreY + 4, nullptr);
      LineTo(dc, minimiseX + 6, centreY + 4);
    }
  }
  ReleaseDC(hwnd, dc);
}

}  // namespace kivora::skin

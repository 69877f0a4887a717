#include "skinlib/skin_painter.h"

#include <commctrl.h>

#include <string>

namespace kivora::skin {
namespace {

constexpr UINT_PTR kSubclassId = 0x534B494E;
constexpr wchar_t kHotProperty[] = L"Kivora.Skin.Hot";
constexpr int kRadius = 6;

enum class Kind : DWORD_PTR { Frame = 1, PushButton, CheckBox, Tab, Slider };

Palette g_palette;

COLORREF Color(Role role) { return static_cast<COLORREF>(g_palette[role]); }

// Owns one GDI object for a scope.
class Gdi {
 public:
  explicit Gdi(HGDIOBJ object) : object_(object) {}
  ~Gdi() {
    if (object_) DeleteObject(object_);
  }
  Gdi(const Gdi&) = delete;
  Gdi& operator=(const Gdi&) = delete;
  HGDIOBJ Get() const { return object_; }

 private:
  HGDIOBJ object_;
};

// Selects an object into a DC for a scope.
class Select {
 public:
  Select(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Select() { SelectObject(dc_, previous_); }
  Select(const Select&) = delete;
  Select& operator=(const Select&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Paints into an off-screen bitmap and shows it in one blit, so nothing flickers.
class BufferedPaint {
 public:
  explicit BufferedPaint(HWND hwnd) : hwnd_(hwnd), target_(BeginPaint(hwnd, &paint_)) {
    GetClientRect(hwnd, &area_);
    memory_ = CreateCompatibleDC(target_);
    bitmap_ = CreateCompatibleBitmap(target_, area_.right, area_.bottom);
    previous_ = SelectObject(memory_, bitmap_);
  }
  ~BufferedPaint() {
    BitBlt(target_, 0, 0, area_.right, area_.bottom, memory_, 0, 0, SRCCOPY);
    SelectObject(memory_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(memory_);
    EndPaint(hwnd_, &paint_);
  }
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC Dc() const { return memory_; }
  const RECT& Area() const { return area_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC target_;
  RECT area_{};
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

void Fill(HDC dc, const RECT& area, COLORREF color) {
  Gdi brush(CreateSolidBrush(color));
  FillRect(dc, &area, static_cast<HBRUSH>(brush.Get()));
}

void RoundBox(HDC dc, RECT area, COLORREF fill, COLORREF border, int borderWidth = 1, int radius = kRadius) {
  Gdi brush(CreateSolidBrush(fill));
  Gdi pen(CreatePen(PS_INSIDEFRAME, borderWidth, border));
  Select selectBrush(dc, brush.Get());
  Select selectPen(dc, pen.Get());
  RoundRect(dc, area.left, area.top, area.right, area.bottom, radius, radius);
}

void Ellipse(HDC dc, int x, int y, int radius, COLORREF fill, COLORREF border, int borderWidth) {
  Gdi brush(CreateSolidBrush(fill));
  Gdi pen(CreatePen(PS_INSIDEFRAME, borderWidth, border));
  Select selectBrush(dc, brush.Get());
  Select selectPen(dc, pen.Get());
  ::Ellipse(dc, x - radius, y - radius, x + radius + 1, y + radius + 1);
}

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

HFONT FontOf(HWND hwnd) {
  auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// Text in one line, centred; a caption too wide for its box is set a size smaller.
void CentredText(HDC dc, HFONT font, const std::wstring& text, RECT area, COLORREF color) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  Select selectFont(dc, font);
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
  Gdi smaller(CreateFontIndirectW(&face));
  Select selectSmaller(dc, smaller.Get());
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_END_ELLIPSIS);
}

bool IsHot(HWND hwnd) { return GetPropW(hwnd, kHotProperty) != nullptr; }

// Hover: remembered on the control until the mouse leaves it.
void TrackHover(HWND hwnd, UINT message) {
  if (message == WM_MOUSEMOVE && !IsHot(hwnd)) {
    SetPropW(hwnd, kHotProperty, reinterpret_cast<HANDLE>(1));
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
    TrackMouseEvent(&track);
    InvalidateRect(hwnd, nullptr, FALSE);
  } else if (message == WM_MOUSELEAVE) {
    RemovePropW(hwnd, kHotProperty);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

void PaintPushButton(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  RECT area = paint.Area();
  Fill(dc, area, Color(Role::Background));
  const bool pressed = (SendMessageW(hwnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
  const bool focused = GetFocus() == hwnd;
  const bool enabled = IsWindowEnabled(hwnd) != FALSE;
  COLORREF face = Color(Role::ButtonFace), border = Color(Role::ButtonBorder), text = Color(Role::Text);
  if (pressed) {
    face = border = Color(Role::ButtonPressed);
    text = Color(Role::ButtonPressedText);
  } else if (IsHot(hwnd) && enabled) {
    face = Color(Role::ButtonHover);
    border = Color(Role::Accent);
  }
  if (!enabled) text = Color(Role::MutedText);
  RECT box{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
  RoundBox(dc, box, face, focused && !pressed ? Color(Role::Accent) : border, focused ? 2 : 1);

  auto picture = reinterpret_cast<HBITMAP>(SendMessageW(hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0));
  if ((GetWindowLongW(hwnd, GWL_STYLE) & BS_BITMAP) && picture) {
    // The picture was laid on the system button face: that colour is its background.
    BITMAP info{};
    GetObjectW(picture, sizeof(info), &info);
    HDC source = CreateCompatibleDC(dc);
    {
      Select selectPicture(source, picture);
      const int x = (area.right - info.bmWidth) / 2, y = (area.bottom - info.bmHeight) / 2;
      TransparentBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, info.bmWidth, info.bmHeight,
                     GetSysColor(COLOR_BTNFACE));
    }
    DeleteDC(source);
    return;
  }
  RECT textArea{box.left + 3, box.top, box.right - 3, box.bottom};
  CentredText(dc, FontOf(hwnd), TextOf(hwnd), textArea, text);
}

void PaintCheckBox(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, Color(Role::Background));
  const bool checked = SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const bool focused = GetFocus() == hwnd;
  const int size = 14, top = (area.bottom - size) / 2;
  RECT box{1, top, 1 + size, top + size};
  const COLORREF border = checked || focused || IsHot(hwnd) ? Color(Role::Accent) : Color(Role::ButtonBorder);
  RoundBox(dc, box, checked ? Color(Role::Accent) : Color(Role::ButtonFace), border, focused ? 2 : 1, 4);
  if (checked) {
    Gdi pen(CreatePen(PS_SOLID, 2, Color(Role::ButtonPressedText)));
    Select selectPen(dc, pen.Get());
    POINT tick[3] = {{box.left + 3, top + 7}, {box.left + 6, top + 10}, {box.left + 11, top + 4}};
    Polyline(dc, tick, 3);
  }
  RECT textArea{box.right + 5, area.top, area.right, area.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(hwnd) ? Color(Role::Text) : Color(Role::MutedText));
  Select selectFont(dc, FontOf(hwnd));
  std::wstring text = TextOf(hwnd);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void PaintTab(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, Color(Role::Background));
  const int count = static_cast<int>(SendMessageW(hwnd, TCM_GETITEMCOUNT, 0, 0));
  const int chosen = static_cast<int>(SendMessageW(hwnd, TCM_GETCURSEL, 0, 0));
  int stripBottom = 0;
  for (int i = 0; i < count; ++i) {
    RECT item{};
    SendMessageW(hwnd, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
    stripBottom = item.bottom > stripBottom ? item.bottom : stripBottom;
  }
  RECT line{area.left, stripBottom, area.right, stripBottom + 1};
  Fill(dc, line, Color(Role::Track));
  for (int i = 0; i < count; ++i) {
    RECT item{};
    SendMessageW(hwnd, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
    wchar_t title[64]{};
    TCITEMW query{};
    query.mask = TCIF_TEXT;
    query.pszText = title;
    query.cchTextMax = 64;
    SendMessageW(hwnd, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&query));
    const bool isChosen = i == chosen;
    RECT face{item.left + 1, item.top + 1, item.right - 1, stripBottom + kRadius};
    if (isChosen) {
      RoundBox(dc, face, Color(Role::ButtonFace), Color(Role::ButtonBorder));
      RECT bar{item.left + 6, stripBottom - 3, item.right - 6, stripBottom};
      Fill(dc, bar, Color(Role::Accent));
      RECT below{area.left, stripBottom + 1, area.right, stripBottom + kRadius + 1};
      Fill(dc, below, Color(Role::Background));
    }
    RECT label{item.left, item.top, item.right, stripBottom - 2};
    CentredText(dc, FontOf(hwnd), title, label, isChosen ? Color(Role::Text) : Color(Role::MutedText));
    if (isChosen && GetFocus() == hwnd) {
      RECT ring{item.left + 3, item.top + 3, item.right - 3, stripBottom - 4};
      Gdi pen(CreatePen(PS_SOLID, 1, Color(Role::Accent)));
      Select selectPen(dc, pen.Get());
      Select hollow(dc, GetStockObject(NULL_BRUSH));
      RoundRect(dc, ring.left, ring.top, ring.right, ring.bottom, 4, 4);
    }
  }
}

void PaintSlider(HWND hwnd) {
  BufferedPaint paint(hwnd);
  HDC dc = paint.Dc();
  const RECT& area = paint.Area();
  Fill(dc, area, Color(Role::Background));
  RECT channel{}, thumb{};
  SendMessageW(hwnd, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
  SendMessageW(hwnd, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const int middle = (area.top + area.bottom) / 2;
  const int thumbX = (thumb.left + thumb.right) / 2;
  RECT track{channel.left, middle - 2, channel.right, middle + 2};
  RoundBox(dc, track, Color(Role::Track), Color(Role::Track), 1, 4);
  RECT filled{channel.left, middle - 2, thumbX, middle + 2};
  if (filled.right > filled.left) RoundBox(dc, filled, Color(Role::Accent), Color(Role::Accent), 1, 4);
  const bool focused = GetFocus() == hwnd;
  if (focused || IsHot(hwnd)) Ellipse(dc, thumbX, middle, 10, Color(Role::ButtonHover), Color(Role::ButtonHover), 1);
  Ellipse(dc, thumbX, middle, 7, Color(Role::ButtonFace), Color(Role::Accent), focused ? 3 : 2);
}

// Labels are owner-drawn by their window: the skin draws them in its own colours.
bool PaintLabel(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_STATIC) return false;
  std::wstring text = TextOf(item.hwndItem);
  if (text.empty()) return false;  // a picture box keeps its owner's drawing
  HDC dc = item.hDC;
  RECT area = item.rcItem;
  Fill(dc, area, Color(Role::Background));
  const bool isLink = (GetWindowLongW(item.hwndItem, GWL_STYLE) & SS_NOTIFY) != 0;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, isLink ? Color(Role::Link) : Color(Role::Text));
  Select selectFont(dc, FontOf(item.hwndItem));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const bool manyLines = area.bottom - area.top > 2 * metrics.tmHeight;
  const UINT format = DT_NOPREFIX | (manyLines ? (DT_LEFT | DT_WORDBREAK) : (DT_CENTER | DT_VCENTER | DT_SINGLELINE));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
  return true;
}

// The title bar and frame in the caption colour, with the icon, title and the
// minimise and close marks where the system keeps their buttons.
void PaintFrame(HWND hwnd) {
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
  Fill(dc, whole, Color(Role::Caption));

  const int border = left;
  const int captionHeight = top - border;
  auto icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
  if (icon) DrawIconEx(dc, border + 6, border + (captionHeight - 16) / 2, icon, 16, 16, 0, nullptr, DI_NORMAL);
  std::wstring title = TextOf(hwnd);
  LOGFONTW face{};
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  face = metrics.lfCaptionFont;
  face.lfWeight = FW_SEMIBOLD;
  Gdi font(CreateFontIndirectW(&face));
  {
    Select selectFont(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Color(Role::CaptionText));
    RECT titleArea{border + 28, border, width / 2, top};
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &titleArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  const int buttonWidth = GetSystemMetrics(SM_CXSIZE);
  const int centreY = border + captionHeight / 2;
  Gdi pen(CreatePen(PS_SOLID, 2, Color(Role::CaptionText)));
  Select selectPen(dc, pen.Get());
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
  ReleaseDC(hwnd, dc);
}

// Answer to the controls' colour questions; made again when a skin brings another colour.
HBRUSH g_backgroundBrush = nullptr;
COLORREF g_backgroundBrushColor = 0;

HBRUSH BackgroundBrush() {
  if (!g_backgroundBrush || g_backgroundBrushColor != Color(Role::Background)) {
    if (g_backgroundBrush) DeleteObject(g_backgroundBrush);
    g_backgroundBrushColor = Color(Role::Background);
    g_backgroundBrush = CreateSolidBrush(g_backgroundBrushColor);
  }
  return g_backgroundBrush;
}

LRESULT PassAndRepaint(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
  if (IsWindow(hwnd)) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  return result;
}

BOOL CALLBACK SkinChild(HWND control, LPARAM);

LRESULT FrameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area{};
      GetClientRect(hwnd, &area);
      Fill(reinterpret_cast<HDC>(wParam), area, Color(Role::Background));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetTextColor(reinterpret_cast<HDC>(wParam), Color(Role::Text));
      SetBkColor(reinterpret_cast<HDC>(wParam), Color(Role::Background));
      return reinterpret_cast<LRESULT>(BackgroundBrush());
    case WM_DRAWITEM:
      if (PaintLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return TRUE;
      break;
    case WM_PARENTNOTIFY:
      // A control made after the skin was attached takes the skin as it is made.
      if (LOWORD(wParam) == WM_CREATE) SkinChild(reinterpret_cast<HWND>(lParam), 0);
      break;
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT:
    case WM_NCLBUTTONUP:
    case WM_NCMOUSEMOVE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      PaintFrame(hwnd);
      return message == WM_NCPAINT ? 0 : result;
    }
    default: break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT ControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, Kind kind) {
  switch (message) {
    case WM_PAINT:
      if (kind == Kind::PushButton) PaintPushButton(hwnd);
      else if (kind == Kind::CheckBox) PaintCheckBox(hwnd);
      else if (kind == Kind::Tab) PaintTab(hwnd);
      else PaintSlider(hwnd);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: TrackHover(hwnd, message); break;
    // The controls may paint their own state changes at once: paint over them.
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETIMAGE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE: return PassAndRepaint(hwnd, message, wParam, lParam);
    default: break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK SkinProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) noexcept {
  if (message == WM_NCDESTROY) {
    RemovePropW(hwnd, kHotProperty);
    RemoveWindowSubclass(hwnd, SkinProcedure, kSubclassId);
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  const auto kind = static_cast<Kind>(data);
  return kind == Kind::Frame ? FrameMessage(hwnd, message, wParam, lParam) : ControlMessage(hwnd, message, wParam, lParam, kind);
}

// The kind of skinning a child control gets, or 0 for none.
Kind KindOf(HWND control) {
  wchar_t name[64]{};
  GetClassNameW(control, name, 64);
  if (lstrcmpiW(name, WC_BUTTONW) == 0) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return Kind::PushButton;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) return Kind::CheckBox;
    return Kind{};
  }
  if (lstrcmpiW(name, WC_TABCONTROLW) == 0) return Kind::Tab;
  if (lstrcmpiW(name, TRACKBAR_CLASSW) == 0) return Kind::Slider;
  return Kind{};
}

BOOL CALLBACK SkinChild(HWND control, LPARAM) {
  if (Kind kind = KindOf(control); kind != Kind{}) {
    SetWindowSubclass(control, SkinProcedure, kSubclassId, static_cast<DWORD_PTR>(kind));
  }
  return TRUE;
}

}  // namespace

bool SkinWindow(HWND window, const Palette& palette) {
  if (!IsWindow(window)) return false;
  g_palette = palette;
  if (!SetWindowSubclass(window, SkinProcedure, kSubclassId, static_cast<DWORD_PTR>(Kind::Frame))) return false;
  EnumChildWindows(window, SkinChild, 0);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return true;
}

}  // namespace kivora::skin

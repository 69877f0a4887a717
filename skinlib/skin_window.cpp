#include "skinlib/skin_window.h"

#include <commctrl.h>

#include <algorithm>
#include <new>
#include <optional>
#include <type_traits>

#include "base/dpi.h"
#include "skinlib/skin_painter.h"
#include "skinlib/skin_state.h"

namespace kivora::skin {
namespace {

constexpr UINT_PTR kSubclassId = 0x534B494E;

// What each message does to a control's look. The controls draw their own look
// straight onto the screen for the first group, so the skin paints over it before
// the message is done. For the others the control only asks for a paint, or the
// skin does: one WM_PAINT then comes from the event loop, however many of these
// one click sends (a release alone sends BM_SETSTATE, WM_CAPTURECHANGED and
// WM_LBUTTONUP), and the click's handler runs before it.
struct RepaintRule {
  UINT message;
  Repaint repaint;
};
constexpr RepaintRule kRepaintRules[] = {
    {WM_SETFOCUS, Repaint::Now},      {WM_KILLFOCUS, Repaint::Now},        {WM_ENABLE, Repaint::Now},
    {WM_SETTEXT, Repaint::Now},       {WM_UPDATEUISTATE, Repaint::Now},    {BM_SETSTATE, Repaint::Later},
    {BM_SETCHECK, Repaint::Later},    {BM_SETIMAGE, Repaint::Later},       {WM_LBUTTONDOWN, Repaint::Later},
    {WM_LBUTTONUP, Repaint::Later},   {WM_LBUTTONDBLCLK, Repaint::Later},  {WM_KEYDOWN, Repaint::Later},
    {WM_KEYUP, Repaint::Later},       {WM_CAPTURECHANGED, Repaint::Later},
};

Repaint RepaintAfter(UINT message) {
  for (const RepaintRule& rule : kRepaintRules) {
    if (rule.message == message) return rule.repaint;
  }
  return Repaint::None;
}

// Asks a window for the skin that this copy of the library gave it (null: none).
// Each subclass answers only for its own procedure, so two copies of the library
// loaded side by side keep their skins apart.
UINT SkinQuery() {
  static const UINT message = RegisterWindowMessageW(L"Kivora.Skin.Query");
  return message;
}

bool IsSkinQueryFor(UINT message, WPARAM wParam, SUBCLASSPROC procedure) {
  return message == SkinQuery() && wParam == reinterpret_cast<WPARAM>(procedure);
}

// Counts one message of a skinned window for as long as it is under way, and
// frees the skin after the outermost message of a window that is gone.
template <typename Skin>
class UnderWay {
 public:
  explicit UnderWay(Skin& skin) : skin_(skin) { ++skin_.underWay.count; }
  ~UnderWay() {
    if (--skin_.underWay.count == 0 && skin_.underWay.windowGone) delete &skin_;
  }
  UnderWay(const UnderWay&) = delete;
  UnderWay& operator=(const UnderWay&) = delete;
  bool Outermost() const { return skin_.underWay.count == 1; }

 private:
  Skin& skin_;
};

// Hover: remembered on the control until the mouse leaves it.
void TrackHover(HWND hwnd, UINT message, ControlSkin& skin) {
  const bool hot = message == WM_MOUSEMOVE;
  if (hot == skin.hot) return;
  skin.hot = hot;
  if (hot) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
    TrackMouseEvent(&track);
  }
  skin.owed = std::max(skin.owed, Repaint::Later);
}

// Paints what the messages of the control owed, once, as its outermost message ends.
void SettleRepaint(HWND hwnd, ControlSkin& skin) {
  const Repaint owed = skin.owed;
  skin.owed = Repaint::None;
  if (owed == Repaint::Now) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  else if (owed == Repaint::Later) InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT SkinMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, ControlSkin& skin) {
  switch (message) {
    case WM_PAINT: PaintControl(hwnd, skin); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE: TrackHover(hwnd, message, skin); break;
    default: break;
  }
  const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
  skin.owed = std::max(skin.owed, RepaintAfter(message));
  return result;
}

BOOL CALLBACK SkinChild(HWND control, LPARAM window);

LRESULT SkinMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WindowSkin& skin) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area{};
      GetClientRect(hwnd, &area);
      FillRect(reinterpret_cast<HDC>(wParam), &area, skin.BackgroundBrush());
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetTextColor(reinterpret_cast<HDC>(wParam), skin.Color(Role::Text));
      SetBkColor(reinterpret_cast<HDC>(wParam), skin.Color(Role::Background));
      return reinterpret_cast<LRESULT>(skin.BackgroundBrush());
    case WM_DRAWITEM:
      if (PaintLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), skin)) return TRUE;
      break;
    case WM_SETTINGCHANGE: skin.ForgetCaptionFont(); break;
    // The DPI comes from wParam: GetDpiForWindow may still give the old one.
    case WM_DPICHANGED: skin.SetDpi(LOWORD(wParam)); break;
    case WM_PARENTNOTIFY:
      // A control made after the skin was put on takes the skin as it is made.
      if (LOWORD(wParam) == WM_CREATE) SkinChild(reinterpret_cast<HWND>(lParam), reinterpret_cast<LPARAM>(&skin));
      break;
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT:
    case WM_NCLBUTTONUP:
    case WM_NCMOUSEMOVE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      if (!skin.underWay.windowGone) PaintFrame(hwnd, skin);  // the close box may have destroyed it
      return message == WM_NCPAINT ? 0 : result;
    }
    default: break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The subclass in front of a skinned window (WindowSkin) or control (ControlSkin).
template <typename Skin>
LRESULT CALLBACK SkinProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR data) noexcept {
  auto& skin = *reinterpret_cast<Skin*>(data);
  if (IsSkinQueryFor(message, wParam, SkinProcedure<Skin>)) return reinterpret_cast<LRESULT>(&skin);
  UnderWay<Skin> underWay(skin);
  if (message == WM_NCDESTROY) {
    skin.underWay.windowGone = true;
    RemoveWindowSubclass(hwnd, SkinProcedure<Skin>, kSubclassId);
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  const LRESULT result = SkinMessage(hwnd, message, wParam, lParam, skin);
  if constexpr (std::is_same_v<Skin, ControlSkin>) {
    if (underWay.Outermost() && !skin.underWay.windowGone) SettleRepaint(hwnd, skin);
  }
  return result;
}

template <typename Skin>
Skin* SkinOf(HWND window) {
  const SUBCLASSPROC procedure = SkinProcedure<Skin>;
  return reinterpret_cast<Skin*>(SendMessageW(window, SkinQuery(), reinterpret_cast<WPARAM>(procedure), 0));
}

// The kind of skinning a child control gets, if any.
std::optional<ControlKind> KindOf(HWND control) {
  wchar_t name[64]{};
  GetClassNameW(control, name, 64);
  if (lstrcmpiW(name, WC_BUTTONW) == 0) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return ControlKind::PushButton;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) return ControlKind::CheckBox;
    return std::nullopt;
  }
  if (lstrcmpiW(name, WC_TABCONTROLW) == 0) return ControlKind::Tab;
  if (lstrcmpiW(name, TRACKBAR_CLASSW) == 0) return ControlKind::Slider;
  return std::nullopt;
}

BOOL CALLBACK SkinChild(HWND control, LPARAM window) {
  const std::optional<ControlKind> kind = KindOf(control);
  if (!kind || SkinOf<ControlSkin>(control)) return TRUE;
  auto* skin = new (std::nothrow) ControlSkin(*kind, reinterpret_cast<WindowSkin*>(window));
  if (skin && !SetWindowSubclass(control, SkinProcedure<ControlSkin>, kSubclassId, reinterpret_cast<DWORD_PTR>(skin))) {
    delete skin;
  }
  return TRUE;
}

}  // namespace

bool SkinWindow(HWND window, const Palette& palette) {
  if (!IsWindow(window)) return false;
  WindowSkin* skin = SkinOf<WindowSkin>(window);
  if (skin) {
    skin->Recolour(palette);
  } else {
    skin = new (std::nothrow) WindowSkin(palette, WindowDpi(window));
    if (!skin) return false;
    if (!SetWindowSubclass(window, SkinProcedure<WindowSkin>, kSubclassId, reinterpret_cast<DWORD_PTR>(skin))) {
      delete skin;
      return false;
    }
  }
  EnumChildWindows(window, SkinChild, reinterpret_cast<LPARAM>(skin));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return true;
}

}  // namespace kivora::skin

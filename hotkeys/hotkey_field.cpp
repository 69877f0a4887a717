#include "hotkeys/hotkey_field.h"

#include <commctrl.h>

#include <algorithm>

#include "base/dpi.h"
#include "base/unique_handle.h"

namespace kivora {
namespace {

constexpr int kFieldPadding = 5;
constexpr COLORREF kFrameColour = RGB(173, 179, 188);
constexpr COLORREF kFocusFrameColour = RGB(0, 120, 215);

// The hotkey field's modifier flags against RegisterHotKey's.
struct ModifierPair {
  BYTE field;
  std::uint32_t registered;
};
constexpr ModifierPair kModifierPairs[] = {
    {HOTKEYF_CONTROL, kModControl}, {HOTKEYF_ALT, kModAlt}, {HOTKEYF_SHIFT, kModShift}};

// Keys the field names from their extended scan code (the grey Home rather than keypad 7).
bool IsExtendedKey(std::uint32_t key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == VK_DIVIDE;
}

}  // namespace

WORD FieldValueOf(Hotkey key) {
  BYTE flags = IsExtendedKey(key.key) ? HOTKEYF_EXT : 0;
  for (const ModifierPair& pair : kModifierPairs) {
    if (key.modifiers & pair.registered) flags |= pair.field;
  }
  return MAKEWORD(static_cast<BYTE>(key.key), flags);
}

std::optional<Hotkey> HotkeyOfField(WORD value, bool winHeld) {
  if (LOBYTE(value) == 0) return std::nullopt;
  Hotkey key{winHeld ? kModWin : 0u, LOBYTE(value)};
  for (const ModifierPair& pair : kModifierPairs) {
    if (HIBYTE(value) & pair.field) key.modifiers |= pair.registered;
  }
  return key;
}

void FlattenHotkeyField(HWND field) {
  SetWindowLongW(field, GWL_EXSTYLE, GetWindowLongW(field, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
  SetWindowPos(field, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The field's text in the dialog's font, centred in its height as the captions are,
// and the caret after it.
void PaintHotkeyField(HWND field, HDC dc, const std::wstring& text) {
  RECT client{};
  GetClientRect(field, &client);
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(field), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(text == kNoKeyText ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
  RECT area = client;
  InflateRect(&area, -ScaleToDpi(kFieldPadding, WindowDpi(field)), 0);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  // A flat frame, in the accent colour while the field has the focus (two pixels wide
  // from 150 %).
  const bool focused = GetFocus() == field;
  const Brush frame(CreateSolidBrush(focused ? kFocusFrameColour : kFrameColour));
  RECT edge = client;
  const int rings = focused && WindowDpi(field) >= 144 ? 2 : 1;
  for (int ring = 0; ring < rings; ++ring) {
    FrameRect(dc, &edge, frame.Get());
    InflateRect(&edge, -1, -1);
  }
  if (focused) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE extent{};
    if (text != kNoKeyText) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SetCaretPos(std::min<int>(area.left + extent.cx, area.right), (client.bottom - metrics.tmHeight) / 2);
  }
  SelectObject(dc, oldFont);
}

}  // namespace kivora

// The system's hotkey field as Kivora's dialogs use it: its value against the
// Hotkey that RegisterHotKey takes, and its flat look (the key's text in the
// dialog's font, a thin frame in the accent colour while it has the focus).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "hotkeys/hotkey_text.h"

namespace kivora {

// What the field shows when it holds no key.
inline constexpr wchar_t kNoKeyText[] = L"无";

// HKM_SETHOTKEY's value for key (the field cannot hold Win).
WORD FieldValueOf(Hotkey key);
// The key an HKM_GETHOTKEY value holds; winHeld adds Win, which the field cannot
// hold itself. Nothing when it holds modifiers alone.
std::optional<Hotkey> HotkeyOfField(WORD value, bool winHeld);

// Paints the field: text (kNoKeyText in grey), the frame, and the caret after the
// text while it has the focus.
void PaintHotkeyField(HWND field, HDC dc, const std::wstring& text);
// The field's own sunken edge goes: PaintHotkeyField draws its frame.
void FlattenHotkeyField(HWND field);

}  // namespace kivora

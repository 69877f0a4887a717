// A hotkey as the settings file keeps it: readable text such as "Ctrl+Alt+1",
// "Shift+F13" or "Num 5", to and from the modifier bits and virtual-key code
// that RegisterHotKey takes. Pure code: the text comes from a file anybody may
// edit, so it is fuzzed natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivora {

// RegisterHotKey's modifier bits (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
inline constexpr std::uint32_t kModAlt = 0x1;
inline constexpr std::uint32_t kModControl = 0x2;
inline constexpr std::uint32_t kModShift = 0x4;
inline constexpr std::uint32_t kModWin = 0x8;
inline constexpr std::uint32_t kAllModifiers = kModAlt | kModControl | kModShift | kModWin;

struct Hotkey {
  std::uint32_t modifiers = 0;  // kMod* bits
  std::uint32_t key = 0;        // a virtual-key code; 0: no key
  friend bool operator==(const Hotkey&, const Hotkey&) = default;
};

// "Ctrl+Alt+Shift+Win+<key>", the modifiers in that order; empty for a key
// without a name (no readable text, so it is never stored).
std::wstring FormatHotkey(Hotkey hotkey);

// The key as a field shows it: "Ctrl + Alt + F10"; with no key yet, the modifiers
// held so far ("Ctrl + Alt + "); empty when nothing is held or the key has no name.
std::wstring DisplayHotkey(Hotkey hotkey);

// Reads what FormatHotkey writes, in any letter case, with blanks around '+'
// and the modifiers in any order. Nothing for text that is not one named key
// after at most one of each modifier.
std::optional<Hotkey> ParseHotkey(std::wstring_view text);

// Why the system or the user's typing needs this key for itself (Win+L,
// Ctrl+Alt+Del, F12 alone, a letter without Ctrl, Alt or Win, ...); nothing
// when Kivora may take it.
std::optional<std::wstring_view> ReservedReason(Hotkey hotkey);

}  // namespace kivora

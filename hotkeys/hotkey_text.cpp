#include "hotkeys/hotkey_text.h"

#include <array>
#include <span>

namespace kivora {
namespace {

struct NamedKey {
  std::uint32_t key;
  std::wstring_view name;
};

// Keys with a name of their own; letters, digits, F1-F24 and the keypad's digits
// follow from their codes. The punctuation keys are named by their US-layout
// character, as the system's own key names do.
constexpr NamedKey kNamedKeys[] = {
    {0x08, L"Backspace"},      {0x09, L"Tab"},           {0x0C, L"Clear"},           {0x0D, L"Enter"},
    {0x13, L"Pause"},          {0x1B, L"Esc"},           {0x20, L"Space"},           {0x21, L"PageUp"},
    {0x22, L"PageDown"},       {0x23, L"End"},           {0x24, L"Home"},            {0x25, L"Left"},
    {0x26, L"Up"},             {0x27, L"Right"},         {0x28, L"Down"},            {0x2C, L"PrintScreen"},
    {0x2D, L"Insert"},         {0x2E, L"Del"},           {0x5D, L"Menu"},            {0x6A, L"Num *"},
    {0x6B, L"Num +"},          {0x6D, L"Num -"},         {0x6E, L"Num ."},           {0x6F, L"Num /"},
    {0x91, L"ScrollLock"},     {0xA6, L"Browser Back"},  {0xA7, L"Browser Forward"}, {0xA8, L"Browser Refresh"},
    {0xA9, L"Browser Stop"},   {0xAA, L"Browser Search"}, {0xAB, L"Browser Favorites"}, {0xAC, L"Browser Home"},
    {0xAD, L"Volume Mute"},    {0xAE, L"Volume Down"},   {0xAF, L"Volume Up"},       {0xB0, L"Media Next"},
    {0xB1, L"Media Previous"}, {0xB2, L"Media Stop"},    {0xB3, L"Media Play/Pause"}, {0xB4, L"Mail"},
    {0xB5, L"Media Select"},   {0xB6, L"App 1"},         {0xB7, L"App 2"},           {0xBA, L";"},
    {0xBB, L"="},              {0xBC, L","},             {0xBD, L"-"},               {0xBE, L"."},
    {0xBF, L"/"},              {0xC0, L"`"},             {0xDB, L"["},               {0xDC, L"\\"},
    {0xDD, L"]"},              {0xDE, L"'"},
};

constexpr std::uint32_t kKeyF1 = 0x70;
constexpr int kFunctionKeys = 24;
constexpr std::uint32_t kKeyNum0 = 0x60;
constexpr std::uint32_t kKeyF12 = 0x7B;

struct NamedModifier {
  std::uint32_t bit;
  std::wstring_view name;
};
constexpr std::array<NamedModifier, 4> kModifiers = {{
    {kModControl, L"Ctrl"}, {kModAlt, L"Alt"}, {kModShift, L"Shift"}, {kModWin, L"Win"}}};

wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

std::wstring KeyName(std::uint32_t key) {
  if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9')) return std::wstring(1, static_cast<wchar_t>(key));
  if (key >= kKeyF1 && key < kKeyF1 + kFunctionKeys) return L"F" + std::to_wstring(key - kKeyF1 + 1);
  if (key >= kKeyNum0 && key <= kKeyNum0 + 9) return L"Num " + std::to_wstring(key - kKeyNum0);
  for (const NamedKey& named : kNamedKeys) {
    if (named.key == key) return std::wstring(named.name);
  }
  return {};
}

std::optional<std::uint32_t> KeyNamed(std::wstring_view name) {
  if (name.empty()) return std::nullopt;
  // The few generated names are tried by formatting each candidate: 24 + 36 + 10 strings at most.
  for (std::uint32_t key = 1; key < 0x100; ++key) {
    const std::wstring candidate = KeyName(key);
    if (!candidate.empty() && SameIgnoringCase(candidate, name)) return key;
  }
  return std::nullopt;
}

bool IsTypingKey(std::uint32_t key) {
  if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9')) return true;
  if (key == 0x08 || key == 0x09 || key == 0x0D || key == 0x1B || key == 0x20) return true;
  return key >= 0xBA && key <= 0xDE;  // the punctuation keys
}

// Keys every program uses to move, select and edit (Shift with them selects), and F1 for help.
bool IsNavigationKey(std::uint32_t key) {
  return (key >= 0x21 && key <= 0x28) || key == 0x2D || key == 0x2E || key == 0x5D || key == kKeyF1;
}

struct ReservedKey {
  Hotkey hotkey;
  std::wstring_view reason;
};
constexpr ReservedKey kReservedKeys[] = {
    {{kModWin, 'L'}, L"Win+L 由系统用来锁定计算机"},
    {{kModControl | kModAlt, 0x2E}, L"Ctrl+Alt+Del 由系统保留"},
    {{kModControl | kModShift, 0x1B}, L"Ctrl+Shift+Esc 由系统用来打开任务管理器"},
    {{kModControl, 0x1B}, L"Ctrl+Esc 由系统用来打开开始菜单"},
    {{kModAlt, 0x09}, L"Alt+Tab 由系统用来切换窗口"},
    {{kModAlt | kModShift, 0x09}, L"Alt+Shift+Tab 由系统用来切换窗口"},
    {{kModAlt, 0x1B}, L"Alt+Esc 由系统用来切换窗口"},
    {{kModAlt, 0x73}, L"Alt+F4 用来关闭窗口"},
    {{0, kKeyF12}, L"单独的 F12 留给调试器使用"},
};

}  // namespace

std::wstring FormatHotkey(Hotkey hotkey) {
  std::wstring name = KeyName(hotkey.key);
  if (name.empty() || (hotkey.modifiers & ~kAllModifiers) != 0) return {};
  std::wstring text;
  for (const NamedModifier& modifier : kModifiers) {
    if (hotkey.modifiers & modifier.bit) text.append(modifier.name).append(L"+");
  }
  return text + name;
}

std::wstring DisplayHotkey(Hotkey hotkey) {
  if ((hotkey.modifiers & ~kAllModifiers) != 0) return {};
  std::wstring text;
  for (const NamedModifier& modifier : kModifiers) {
    if (hotkey.modifiers & modifier.bit) text.append(modifier.name).append(L" + ");
  }
  if (hotkey.key == 0) return text;
  const std::wstring name = KeyName(hotkey.key);
  return name.empty() ? std::wstring() : text + name;
}

std::optional<Hotkey> ParseHotkey(std::wstring_view text) {
  Hotkey hotkey;
  std::wstring_view rest = Trimmed(text);
  // Modifiers are taken off the front while the text goes on after a '+'; what
  // remains is the key's name, which may itself hold a '+' ("Num +").
  for (;;) {
    const size_t plus = rest.find(L'+');
    if (plus == std::wstring_view::npos || plus + 1 == rest.size()) break;
    const std::wstring_view word = Trimmed(rest.substr(0, plus));
    const NamedModifier* found = nullptr;
    for (const NamedModifier& modifier : kModifiers) {
      if (SameIgnoringCase(word, modifier.name)) found = &modifier;
    }
    if (!found) break;
    if (hotkey.modifiers & found->bit) return std::nullopt;
    hotkey.modifiers |= found->bit;
    rest = Trimmed(rest.substr(plus + 1));
  }
  const std::optional<std::uint32_t> key = KeyNamed(rest);
  if (!key) return std::nullopt;
  hotkey.key = *key;
  return hotkey;
}

std::optional<std::wstring_view> ReservedReason(Hotkey hotkey) {
  for (const ReservedKey& reserved : kReservedKeys) {
    if (reserved.hotkey == hotkey) return reserved.reason;
  }
  if (IsTypingKey(hotkey.key) && (hotkey.modifiers & ~kModShift) == 0) {
    return L"单独的字母、数字、符号或编辑键会妨碍打字，请加上 Ctrl、Alt 或 Win";
  }
  if (IsNavigationKey(hotkey.key) && (hotkey.modifiers & ~kModShift) == 0) {
    return L"单独的方向键、Home、End、翻页键、Insert、Del、菜单键或 F1 是每个程序都要用的，请加上 Ctrl、Alt 或 Win";
  }
  return std::nullopt;
}

}  // namespace kivora

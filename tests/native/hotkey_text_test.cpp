// Hotkeys as the settings file keeps them: what a user or an older file may have
// written reads back as the key it names, and nothing else reads at all.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "hotkeys/hotkey_text.h"

namespace kivora {
namespace {

TEST(HotkeyText, ReadsWhatUsersWrite) {
  const struct {
    const wchar_t* text;
    Hotkey key;
    const wchar_t* canonical;
  } cases[] = {
      {L"Ctrl+Alt+1", {kModControl | kModAlt, '1'}, L"Ctrl+Alt+1"},
      {L"Shift+F13", {kModShift, 0x7C}, L"Shift+F13"},
      {L"Num 5", {0, 0x65}, L"Num 5"},
      {L"alt + ctrl + a", {kModControl | kModAlt, 'A'}, L"Ctrl+Alt+A"},
      {L"  WIN+SHIFT+ctrl+alt+F24 ", {kAllModifiers, 0x87}, L"Ctrl+Alt+Shift+Win+F24"},
      {L"Ctrl+Num +", {kModControl, 0x6B}, L"Ctrl+Num +"},
      {L"Win+Num /", {kModWin, 0x6F}, L"Win+Num /"},
      {L"Media Play/Pause", {0, 0xB3}, L"Media Play/Pause"},
      {L"Ctrl+Shift+Clear", {kModControl | kModShift, 0x0C}, L"Ctrl+Shift+Clear"},  // keypad 5, NumLock off
      {L"Alt+End", {kModAlt, 0x23}, L"Alt+End"},                                      // keypad 1, NumLock off
      {L"Ctrl+-", {kModControl, 0xBD}, L"Ctrl+-"},
      {L"Ctrl+\\", {kModControl, 0xDC}, L"Ctrl+\\"},
  };
  for (const auto& c : cases) {
    const std::optional<Hotkey> read = ParseHotkey(c.text);
    ASSERT_TRUE(read) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(*read, c.key) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(FormatHotkey(*read), c.canonical);
  }
}

TEST(HotkeyText, AFieldShowsTheKeyWithSpacedPlusesAndTheModifiersHeldSoFar) {
  const struct {
    Hotkey key;
    const wchar_t* shown;
  } cases[] = {{{kModControl | kModAlt, 0x79}, L"Ctrl + Alt + F10"},
               {{kAllModifiers, 'K'}, L"Ctrl + Alt + Shift + Win + K"},
               {{kModShift, 0x6B}, L"Shift + Num +"},
               {{0, 0x7C}, L"F13"},
               {{kModControl | kModShift, 0}, L"Ctrl + Shift + "},
               {{0, 0}, L""},
               {{kModControl, 0xFF}, L""}};
  for (const auto& c : cases) EXPECT_EQ(DisplayHotkey(c.key), c.shown);
}

TEST(HotkeyText, RefusesTextThatNamesNoSingleKey) {
  for (const wchar_t* text : {L"", L"Ctrl+", L"Ctrl", L"Ctrl+Ctrl+1", L"Ctrl+Alt", L"Hyper+1", L"Ctrl+F25", L"F0",
                              L"Num 10", L"Ctrl+1+2", L"Ctrl++", L"1 2", L"Ctrl+Alt+１", L"Ctrl+Alt+1\r"}) {
    EXPECT_FALSE(ParseHotkey(text)) << testing::PrintToString(std::wstring(text));
  }
}

// Every key with a name, under every set of modifiers, reads back as itself.
TEST(HotkeyText, EveryNamedKeyRoundTrips) {
  int named = 0;
  for (std::uint32_t key = 0; key < 0x100; ++key) {
    for (std::uint32_t modifiers = 0; modifiers <= kAllModifiers; ++modifiers) {
      const std::wstring text = FormatHotkey({modifiers, key});
      if (text.empty()) continue;
      named += modifiers == 0;
      EXPECT_EQ(ParseHotkey(text), (Hotkey{modifiers, key})) << testing::PrintToString(text);
    }
  }
  EXPECT_GE(named, 26 + 10 + 24 + 10 + 40) << "letters, digits, F1-F24, keypad, and the named keys";
  EXPECT_EQ(FormatHotkey({kModControl, 0}), L"") << "no key";
  EXPECT_EQ(FormatHotkey({0x10, 'A'}), L"") << "a modifier bit that has no name";
}

TEST(HotkeyText, SystemAndTypingKeysAreRefusedWithAReason) {
  const Hotkey refused[] = {{kModWin, 'L'},        {kModControl | kModAlt, 0x2E}, {0, 0x7B},
                            {kModControl | kModShift, 0x1B}, {kModAlt, 0x09},      {0, 'A'},
                            {kModShift, '1'},      {0, 0x20},                     {kModShift, 0xBD},
                            // moving and editing: the arrows, Home, End, the page keys, Insert, Del,
                            // the menu key and F1, alone or with Shift (which selects)
                            {0, 0x25}, {0, 0x26}, {0, 0x27}, {0, 0x28}, {0, 0x24}, {0, 0x23}, {0, 0x21},
                            {0, 0x22}, {0, 0x2D}, {0, 0x2E}, {0, 0x5D}, {0, 0x70}, {kModShift, 0x28},
                            {kModShift, 0x25}, {kModShift, 0x24}, {kModShift, 0x2E}, {kModShift, 0x70}};
  for (Hotkey key : refused) {
    const std::optional<std::wstring_view> reason = ReservedReason(key);
    ASSERT_TRUE(reason) << testing::PrintToString(FormatHotkey(key));
    EXPECT_FALSE(reason->empty());
  }
  const Hotkey allowed[] = {{kModControl | kModAlt, '1'}, {kModShift, 0x7C}, {0, 0x65},
                            {kModShift, 0x7B},           {0, 0x7C},         {kModWin, 'J'},
                            {0, 0xB3},                   {kModAlt, 'L'},    {kModControl | kModAlt | kModWin, 'L'},
                            {kModAlt, 0x23},             {kModControl, 0x28}, {kModWin, 0x25},
                            {kModControl | kModShift, 0x2E}, {kModAlt, 0x70}, {0, 0x71}};
  for (Hotkey key : allowed) EXPECT_FALSE(ReservedReason(key)) << testing::PrintToString(FormatHotkey(key));
}

}  // namespace
}  // namespace kivora

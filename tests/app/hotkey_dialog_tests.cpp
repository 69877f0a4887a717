// The section 热键 of the settings dialog as a user types into it, with real key
// presses: the keys that move and edit are never bound and ↑/↓ walk the rows; a
// press that ends without a key, or a combination another program holds, never
// takes away the key a row had; the key Kivora holds while a sound plays is no hotkey.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hotkeys/hotkey_section.h"
#include "hotkeys/hotkeys.h"
#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "support/settings_dialog_driver.h"

namespace kivora {
namespace {

using testing::AppFixture;
using testing::DialogStep;
using testing::HotkeyFields;
using testing::PressKeys;
using testing::RunSettingsDialog;
using testing::StatusOf;
using testing::TextOf;

// The first row (群众笑声, 按钮63) and the second.
constexpr size_t kFirst = 0;
constexpr size_t kSecond = 1;

WORD FieldValue(HWND dialog, size_t row) {
  return static_cast<WORD>(SendMessageW(HotkeyFields(dialog)[row], HKM_GETHOTKEY, 0, 0));
}

DialogStep FocusRow(size_t row) {
  return [row](HWND dialog) {
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(HotkeyFields(dialog)[row]), TRUE);
    return GetFocus() == HotkeyFields(dialog)[row];
  };
}

DialogStep Press(std::initializer_list<WORD> keys) {
  std::vector<WORD> held(keys);
  return [held](HWND) {
    switch (held.size()) {
      case 1: PressKeys({held[0]}); break;
      case 2: PressKeys({held[0], held[1]}); break;
      case 3: PressKeys({held[0], held[1], held[2]}); break;
      default: PressKeys({held[0], held[1], held[2], held[3]}); break;
    }
    return true;
  };
}

// Presses the keys, then waits until the dialog's thread has handled the last one's
// press and release: every press flips the low bit of a key's state.
DialogStep PressHandled(std::vector<WORD> keys) {
  auto toggle = std::make_shared<int>(-1);
  return [keys, toggle](HWND) {
    const WORD last = keys.back();
    if (*toggle < 0) {
      *toggle = GetKeyState(last) & 1;
      switch (keys.size()) {
        case 1: PressKeys({keys[0]}); break;
        case 2: PressKeys({keys[0], keys[1]}); break;
        default: PressKeys({keys[0], keys[1], keys[2]}); break;
      }
      return false;
    }
    const SHORT state = GetKeyState(last);
    return (state & 1) != *toggle && (state & 0x8000) == 0;
  };
}

TEST(HotkeyDialog, UpAndDownWalkTheRowsAndMovingOrEditingKeysAloneAreNeverBound) {
  AppFixture fixture;
  std::vector<DialogStep> steps{FocusRow(kFirst), Press({VK_DOWN}),
                                [](HWND dialog) { return GetFocus() == HotkeyFields(dialog)[kSecond]; },
                                Press({VK_DOWN}), [](HWND dialog) { return GetFocus() == HotkeyFields(dialog)[2]; },
                                Press({VK_UP}), [](HWND dialog) { return GetFocus() == HotkeyFields(dialog)[kSecond]; },
                                Press({VK_UP}), [](HWND dialog) { return GetFocus() == HotkeyFields(dialog)[kFirst]; }};
  const std::vector<std::vector<WORD>> refused = {
      {VK_LEFT}, {VK_RIGHT}, {VK_HOME}, {VK_END}, {VK_PRIOR}, {VK_NEXT}, {VK_INSERT}, {VK_DELETE}, {VK_F1},
      {VK_APPS}, {VK_SHIFT, VK_DOWN}, {VK_SHIFT, VK_LEFT}, {VK_SHIFT, VK_END}, {VK_SHIFT, VK_F1}};
  for (const std::vector<WORD>& keys : refused) {
    steps.push_back(PressHandled(keys));
    steps.push_back([keys](HWND dialog) {
      EXPECT_EQ(FieldValue(dialog, kFirst), 0) << "bound key " << keys.back();
      EXPECT_EQ(GetFocus(), HotkeyFields(dialog)[kFirst]) << "key " << keys.back() << " moved the focus";
      return true;
    });
  }
  // A key with Ctrl is taken, so the presses did arrive.
  steps.push_back(Press({VK_CONTROL, VK_MENU, VK_DOWN}));
  steps.push_back([](HWND dialog) { return FieldValue(dialog, kFirst) == MAKEWORD(VK_DOWN, HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT); });
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps, IDOK), steps.size());
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"热键", L"按钮63"), L"Ctrl+Alt+Down");
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"热键", L"按钮64"), L"");
}

// A window of another program holding a key for the length of a test.
class OtherProgram {
 public:
  OtherProgram() : window_(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {}
  ~OtherProgram() { DestroyWindow(window_); }
  bool Take(Hotkey key) { return RegisterHotKey(window_, 1, key.modifiers, key.key) != FALSE; }

 private:
  HWND window_;
};

TEST(HotkeyDialog, AnAbortedPressOrAKeyAnotherProgramHoldsKeepsTheRowsKey) {
  AppFixture fixture;
  const Hotkey saved{kModControl | kModAlt, VK_F7};
  std::vector<std::optional<Hotkey>> keys(fixture.app().GlobalHotkeys().Targets().size());
  keys[kFirst] = saved;
  fixture.app().GlobalHotkeys().Apply(keys);
  ASSERT_EQ(ReadSetting(AppFixture::SettingsFile(), L"热键", L"按钮63"), L"Ctrl+Alt+F7");
  const WORD savedValue = MAKEWORD(VK_F7, HOTKEYF_CONTROL | HOTKEYF_ALT);
  OtherProgram other;
  ASSERT_TRUE(other.Take({kModControl | kModAlt, VK_F8}));

  const std::vector<DialogStep> steps{
      FocusRow(kFirst),
      [&](HWND dialog) { return FieldValue(dialog, kFirst) == savedValue; },
      // Shift tapped alone, then Ctrl and Alt held and let go without a key.
      PressHandled({VK_SHIFT}), PressHandled({VK_CONTROL, VK_MENU}),
      [&](HWND dialog) {
        EXPECT_EQ(FieldValue(dialog, kFirst), savedValue) << "a press without a key emptied the row";
        EXPECT_EQ(TextOf(StatusOf(HotkeyFields(dialog)[kFirst])), L"");
        return true;
      },
      // The other program's key never reaches the field: it is said all the same.
      Press({VK_CONTROL, VK_MENU, VK_F8}),
      [](HWND dialog) { return TextOf(StatusOf(HotkeyFields(dialog)[kFirst])) == kTakenText; },
      [](HWND dialog) { return FieldValue(dialog, kFirst) == MAKEWORD(VK_F8, HOTKEYF_CONTROL | HOTKEYF_ALT); }};
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps, IDOK), steps.size());
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"热键", L"按钮63"), L"Ctrl+Alt+F7")
      << "确定 saved a key another program holds, or emptied the row";
  const HotkeyBinding& binding = fixture.app().GlobalHotkeys().Bindings()[kFirst];
  EXPECT_EQ(binding.key, saved);
  EXPECT_TRUE(binding.registered) << "the row's key works on after 确定";
}

// Whether a label of the dialog holds text.
bool DialogSays(HWND dialog, const std::wstring& text) {
  struct Search {
    const std::wstring* text;
    bool found = false;
  } search{&text};
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        s.found = s.found || TextOf(child).find(*s.text) != std::wstring::npos;
        return !s.found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The key Kivora holds down for the user while a sound plays would set off its
// own hotkey: typed into a row, it is refused and the row keeps its key.
TEST(HotkeyDialog, TheTalkKeyIsRefusedAsAHotkey) {
  AppFixture fixture;
  ASSERT_TRUE(WriteSetting(AppFixture::SettingsFile(), L"输出", L"按住键", L"Ctrl+F9"));
  const std::vector<DialogStep> steps{
      FocusRow(kFirst), Press({VK_CONTROL, VK_F9}),
      [](HWND dialog) { return DialogSays(dialog, L"Ctrl+F9 已是「播放时按住」的键"); },
      [](HWND dialog) { return FieldValue(dialog, kFirst) == 0; },
      // Another key is taken as before.
      Press({VK_CONTROL, VK_F10}),
      [](HWND dialog) { return FieldValue(dialog, kFirst) == MAKEWORD(VK_F10, HOTKEYF_CONTROL); }};
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps, IDOK), steps.size());
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"热键", L"按钮63"), L"Ctrl+F10");
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"输出", L"按住键"), L"Ctrl+F9");
}

// The rows of the field's picture (drawn as for a print) that hold ink: first and last.
std::pair<int, int> InkRows(HWND field) {
  RECT client{};
  GetClientRect(field, &client);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  SendMessageW(field, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
  int first = -1, last = -1;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      const COLORREF pixel = GetPixel(dc, x, y);
      if (GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 160) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return {first, last};
}

int FontHeight(HWND control) {
  LOGFONTW face{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(face), &face);
  return face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
}

TEST(HotkeyDialog, LongKeysShowWholeInTheMiddleOfTheFieldAndEveryRowAndSectionIsEasyToTellApart) {
  AppFixture fixture;
  std::vector<std::optional<Hotkey>> keys(fixture.app().GlobalHotkeys().Targets().size());
  keys[kFirst] = Hotkey{kModControl | kModAlt | kModShift, VK_F10};
  fixture.app().GlobalHotkeys().Apply(keys);
  const std::vector<DialogStep> steps{[&](HWND dialog) {
    HWND field = HotkeyFields(dialog)[kFirst];
    RECT client{};
    GetClientRect(field, &client);
    HDC dc = GetDC(field);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
    SIZE longest{};
    const std::wstring text = L"Ctrl + Alt + Shift + F10";
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &longest);
    SelectObject(dc, old);
    ReleaseDC(field, dc);
    EXPECT_LE(longest.cx + 8, client.right) << "the field cuts Ctrl + Alt + Shift + F10";

    // Made three times as tall, the field still shows its text in its middle.
    RECT place{};
    GetWindowRect(field, &place);
    SetWindowPos(field, nullptr, 0, 0, place.right - place.left, 3 * (place.bottom - place.top), SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(field, &client);
    const auto [first, last] = InkRows(field);
    EXPECT_GE(first, 0) << "nothing drawn";
    EXPECT_NEAR(first, client.bottom - 1 - last, 3) << "the text is not centred: rows " << first << " to " << last
                                                    << " of " << client.bottom;

    // An empty custom slot's row says which slot it is.
    const std::vector<HWND> fields = HotkeyFields(dialog);
    EXPECT_EQ(TextOf(GetWindow(fields[62], GW_HWNDPREV)), L"自定义 3 (空)");

    // The title bar has the program's icon; the section list has the dialog's font and rows of room.
    EXPECT_NE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0);
    HWND list = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
    EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), SendMessageW(GetDlgItem(dialog, IDOK), WM_GETFONT, 0, 0));
    EXPECT_GE(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 2 * FontHeight(list));
    return true;
  }};
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps), steps.size());
}

}  // namespace
}  // namespace kivora

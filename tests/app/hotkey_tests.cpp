// The settings dialog's place in the system menu, and global hotkeys in the running
// program: a press does what a click on its button does, once however long the key
// is held; saved keys come back, unusable ones are ignored, and a key another
// program holds is named once after start and never saved as working.
#include <windows.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "hotkeys/hotkeys.h"
#include "settings/settings_file.h"
#include "settings_dialog/settings_dialog.h"
#include "support/app_fixture.h"
#include "ui/control_names.h"

namespace kivora {
namespace {

using testing::AppFixture;

// The row of a settings key, as registered under its identifier.
int HotkeyId(App& app, std::wstring_view settingsKey) {
  const std::vector<HotkeyTarget>& targets = app.GlobalHotkeys().Targets();
  for (size_t row = 0; row < targets.size(); ++row) {
    if (targets[row].settingsKey == settingsKey) return HotkeyIdOf(row);
  }
  ADD_FAILURE() << "no hotkey row for this key";
  return 0;
}

// Gives these rows keys of their own (Ctrl+Alt+Shift+F13, F14, ...), as the dialog's
// 确定 would: only a row with a key answers WM_HOTKEY.
void Bind(App& app, std::initializer_list<std::wstring_view> settingsKeys) {
  Hotkeys& hotkeys = app.GlobalHotkeys();
  std::vector<std::optional<Hotkey>> keys(hotkeys.Targets().size());
  std::uint32_t next = VK_F13;
  for (std::wstring_view settingsKey : settingsKeys) {
    keys[static_cast<size_t>(HotkeyId(app, settingsKey) - 1)] = Hotkey{kModControl | kModAlt | kModShift, next++};
  }
  hotkeys.Apply(keys);
}

// A press as the system delivers it; the row then waits for its key to be let go,
// which the release watch sees within a few of its ticks.
void PressHotkey(AppFixture& fixture, std::wstring_view settingsKey) {
  SendMessageW(fixture.hwnd(), WM_HOTKEY, HotkeyId(fixture.app(), settingsKey), 0);
  for (int tick = 0; tick < 6; ++tick) {
    Sleep(10);
    AppFixture::Pump();
  }
}

// A window of "another program" holding keys for the length of a test.
class OtherProgram {
 public:
  OtherProgram() : window_(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {}
  ~OtherProgram() { DestroyWindow(window_); }
  bool Take(Hotkey key) { return RegisterHotKey(window_, ++lastId_, key.modifiers, key.key) != FALSE; }

 private:
  HWND window_;
  int lastId_ = 0;
};

TEST(SettingsMenu, ItemStandsRightAboveCloseAfterTheSeparatorAndOpensAModalDialog) {
  AppFixture fixture;
  HMENU menu = GetSystemMenu(fixture.hwnd(), FALSE);
  int close = -1;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    if (GetMenuItemID(menu, position) == SC_CLOSE) close = position;
  }
  ASSERT_GE(close, 2);
  EXPECT_EQ(GetMenuItemID(menu, close - 1), kSettingsCommand);
  // Its access key is its own: no other item of the menu answers the same letter.
  const auto accessKey = [menu](int position) {
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    const wchar_t* mark = wcschr(text, L'&');
    return mark && mark[1] ? static_cast<wchar_t>(towupper(mark[1])) : L'\0';
  };
  const wchar_t own = accessKey(close - 1);
  EXPECT_TRUE(own >= L'A' && own <= L'Z') << "设置... has no access key";
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    if (position != close - 1 && !(GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_SEPARATOR)) {
      EXPECT_NE(accessKey(position), own) << "item " << position << " has the same access key";
    }
  }
  EXPECT_EQ(GetMenuState(menu, close - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));

  // While the dialog runs its own loop: it is owned by the window, which takes no input.
  static HWND owner;
  static bool ownerDisabled;
  static HWND dialog;
  owner = fixture.hwnd();
  dialog = nullptr;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
    if (!dialog) return;
    ownerDisabled = !IsWindowEnabled(owner);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  SendMessageW(fixture.hwnd(), WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  EXPECT_NE(dialog, nullptr);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(fixture.hwnd())) << "the window takes input again once the dialog is gone";
}

// Each row's press runs what a click on its button runs: the same calls reach the
// player, the same label shows. An empty custom slot does nothing from a key.
TEST(GlobalHotkeys, APressDoesWhatAClickOnItsButtonDoes) {
  AppFixture fixture;
  fixture.fileChooser.choices.push_back(AppFixture::DataFolder() + L"音乐\\02欢呼掌声.mp3");
  fixture.ClickTab(3);
  fixture.Click(ui::CustomSlotName(1));  // fills slot 1 through its dialog
  Bind(fixture.app(), {L"按钮63", L"按钮1", L"按钮2", kPauseHotkeyKey, kMuteHotkeyKey});
  fixture.audio.TakeCalls();
  const struct {
    std::wstring_view button;
    std::wstring_view settingsKey;
    int page;
  } rows[] = {
      {L"按钮63", L"按钮63", 0}, {L"按钮1", L"按钮1", 3},  {ui::kPauseButton, kPauseHotkeyKey, 0},
      {ui::kMuteButton, kMuteHotkeyKey, 0},  {ui::kMuteButton, kMuteHotkeyKey, 0},
  };
  for (const auto& row : rows) {
    fixture.ClickTab(row.page);
    fixture.Click(row.button);
    const std::vector<std::wstring> clicked = fixture.audio.TakeCalls();
    const std::wstring labelAfterClick = fixture.control(ui::kVolumeLabel).Caption();
    fixture.Click(row.button);  // back as it was before (the pause and mute toggles)
    fixture.audio.TakeCalls();
    PressHotkey(fixture, row.settingsKey);
    EXPECT_FALSE(clicked.empty());
    EXPECT_EQ(fixture.audio.TakeCalls(), clicked) << std::wstring(row.settingsKey);
    EXPECT_EQ(fixture.control(ui::kVolumeLabel).Caption(), labelAfterClick) << std::wstring(row.settingsKey);
  }

  const size_t dialogsBefore = fixture.fileChooser.shown.size();
  PressHotkey(fixture, L"按钮2");
  EXPECT_EQ(fixture.fileChooser.shown.size(), dialogsBefore) << "an empty slot's key opened the file dialog";
  EXPECT_TRUE(fixture.audio.TakeCalls().empty());
}

TEST(GlobalHotkeys, VolumeKeysStepFiveLikeTheSlidersPageKeysAndDoNothingWhileMuted) {
  AppFixture fixture;
  Bind(fixture.app(), {kVolumeUpHotkeyKey, kVolumeDownHotkeyKey});
  const struct {
    std::wstring_view key;
    const wchar_t* label;
  } presses[] = {{kVolumeDownHotkeyKey, L"95%"}, {kVolumeDownHotkeyKey, L"90%"}, {kVolumeUpHotkeyKey, L"95%"},
                 {kVolumeUpHotkeyKey, L"100%"},  {kVolumeUpHotkeyKey, L"100%"}};
  for (const auto& press : presses) {
    PressHotkey(fixture, press.key);
    EXPECT_EQ(fixture.control(ui::kVolumeLabel).Caption(), press.label);
  }
  EXPECT_EQ(ReadSetting(AppFixture::SettingsFile(), L"设置", L"音量"), L"100");
  fixture.Click(ui::kMuteButton);
  PressHotkey(fixture, kVolumeDownHotkeyKey);
  EXPECT_EQ(fixture.control(ui::kVolumeLabel).Caption(), L"静音");
}

// One key going down (a repeat when it is down already) or up, through the system's input.
void SendKey(WORD key, bool down) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof(input));
}

// Pumps for a while, or until ready says so (then true).
template <typename Ready>
bool PumpUntil(Ready ready, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    AppFixture::Pump();
    if (ready()) return true;
    if (GetTickCount64() > end) return false;
    Sleep(5);
  }
}

// A key held down for half a second repeats as a keyboard repeats it (Wine sends a
// WM_HOTKEY for each repeat, MOD_NOREPEAT or not): it plays once, however many times the
// release watch looks at it meanwhile; let go and pressed again, it plays again.
TEST(GlobalHotkeys, AHeldKeyPlaysOnceAndTheNextPressPlaysAgain) {
  AppFixture fixture;
  Bind(fixture.app(), {L"按钮63"});  // Ctrl+Alt+Shift+F13
  fixture.audio.TakeCalls();
  const WORD modifiers[] = {VK_CONTROL, VK_MENU, VK_SHIFT};
  for (WORD modifier : modifiers) SendKey(modifier, true);
  std::vector<std::wstring> held;
  SendKey(VK_F13, true);
  ASSERT_TRUE(PumpUntil([&] { return !(held = fixture.audio.TakeCalls()).empty(); }, 5000)) << "the press did not arrive";
  for (int repeat = 0; repeat < 16; ++repeat) {
    SendKey(VK_F13, true);
    PumpUntil([] { return false; }, 30);
  }
  const std::vector<std::wstring> repeats = fixture.audio.TakeCalls();
  EXPECT_TRUE(repeats.empty()) << "the held key played again " << repeats.size() << " calls";
  SendKey(VK_F13, false);
  for (WORD modifier : modifiers) SendKey(modifier, false);
  PumpUntil([] { return (GetAsyncKeyState(VK_F13) & 0x8000) == 0; }, 2000);
  PumpUntil([] { return false; }, 100);  // the release watch sees it up

  std::vector<std::wstring> again;
  for (WORD modifier : modifiers) SendKey(modifier, true);
  SendKey(VK_F13, true);
  SendKey(VK_F13, false);
  for (WORD modifier : modifiers) SendKey(modifier, false);
  EXPECT_TRUE(PumpUntil([&] { return !(again = fixture.audio.TakeCalls()).empty(); }, 5000)) << "the next press did not play";
}

TEST(GlobalHotkeys, SavedKeysComeBackAndUnusableOnesAreIgnored) {
  const std::wstring file = AppFixture::SettingsFile();
  DeleteFileW(file.c_str());
  const struct {
    const wchar_t* key;
    const wchar_t* text;
    std::optional<Hotkey> expected;
  } saved[] = {
      {L"按钮63", L"Ctrl+Alt+Shift+F7", Hotkey{kModControl | kModAlt | kModShift, VK_F7}},
      {L"按钮64", L"Ctrl+Banana", std::nullopt},
      {L"按钮65", L"F12", std::nullopt},                  // the debugger's
      {L"按钮66", L"ctrl+alt+shift+f7", std::nullopt},    // the key of 按钮63 again
      {L"静音", L"Shift+Win+Num 5", Hotkey{kModShift | kModWin, VK_NUMPAD5}},
  };
  for (const auto& entry : saved) WriteSetting(file, L"热键", entry.key, entry.text);
  AppFixture fixture(AppFixture::Settings::AsTheyAre);
  const std::vector<HotkeyBinding>& bindings = fixture.app().GlobalHotkeys().Bindings();
  for (const auto& entry : saved) {
    const HotkeyBinding& binding = bindings[static_cast<size_t>(HotkeyId(fixture.app(), entry.key) - 1)];
    EXPECT_EQ(binding.key, entry.expected) << entry.key;
    EXPECT_EQ(binding.registered, entry.expected.has_value()) << entry.key;
  }
  EXPECT_TRUE(fixture.prompts.shown.empty());
  EXPECT_EQ(ReadSetting(file, L"热键", L"按钮64"), L"Ctrl+Banana") << "an ignored value is left as it was";
}

TEST(GlobalHotkeys, AKeyAnotherProgramHoldsIsNamedOnceAndNotSavedAsWorking) {
  const std::wstring file = AppFixture::SettingsFile();
  DeleteFileW(file.c_str());
  const Hotkey held1{kModControl | kModAlt | kModShift, VK_F8};
  const Hotkey held2{kModControl | kModAlt | kModShift, VK_F9};
  WriteSetting(file, L"热键", L"按钮63", FormatHotkey(held1));
  WriteSetting(file, L"热键", L"按钮64", FormatHotkey(held2));
  OtherProgram other;
  ASSERT_TRUE(other.Take(held1));
  ASSERT_TRUE(other.Take(held2));
  AppFixture fixture(AppFixture::Settings::AsTheyAre);
  ASSERT_EQ(fixture.prompts.shown.size(), 1u) << "one box for every taken key, shown after the window";
  const std::wstring& text = fixture.prompts.shown[0].text;
  EXPECT_NE(text.find(L"Ctrl+Alt+Shift+F8（群众笑声）"), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"Ctrl+Alt+Shift+F9（欢呼掌声）"), std::wstring::npos) << text;
  EXPECT_TRUE(fixture.app().GlobalHotkeys().Bindings()[0].Taken());

  // A newly chosen key that is held elsewhere is not written; a free one is.
  const Hotkey free{kModControl | kModAlt | kModShift, VK_F10};
  const Hotkey taken{kModControl | kModAlt | kModShift, VK_F11};
  ASSERT_TRUE(other.Take(taken));
  Hotkeys& hotkeys = fixture.app().GlobalHotkeys();
  EXPECT_TRUE(hotkeys.HeldElsewhere(taken));
  EXPECT_FALSE(hotkeys.HeldElsewhere(free));
  std::vector<std::optional<Hotkey>> keys(hotkeys.Targets().size());
  keys[0] = held1;  // unchanged
  keys[2] = free;
  keys[3] = taken;
  hotkeys.Apply(keys);
  EXPECT_EQ(ReadSetting(file, L"热键", L"按钮65"), L"Ctrl+Alt+Shift+F10");
  EXPECT_EQ(ReadSetting(file, L"热键", L"按钮66"), L"");
  EXPECT_TRUE(hotkeys.Bindings()[3].Taken());
  EXPECT_EQ(ReadSetting(file, L"热键", L"按钮64"), L"") << "a row emptied in the dialog is emptied in the file";
  EXPECT_EQ(ReadSetting(file, L"热键", L"按钮63"), L"Ctrl+Alt+Shift+F8") << "a taken key kept from before stays";

  // Closing the window gives every key back before it goes.
  fixture.window().Destroy();
  EXPECT_TRUE(other.Take(free));
}

// A second copy started without arguments runs on its own: the keys the first copy
// holds are no conflict to report, only a key another program holds is.
TEST(GlobalHotkeys, ASecondCopyNamesOnlyTheKeysOtherProgramsHold) {
  const std::wstring file = AppFixture::SettingsFile();
  DeleteFileW(file.c_str());
  const Hotkey first1{kModControl | kModAlt | kModShift, VK_F8};
  const Hotkey first2{kModControl | kModAlt | kModShift, VK_F9};
  const Hotkey elsewhere{kModControl | kModAlt | kModShift, VK_F10};
  WriteSetting(file, L"热键", L"按钮63", FormatHotkey(first1));
  WriteSetting(file, L"热键", L"按钮64", FormatHotkey(first2));
  AppFixture first(AppFixture::Settings::AsTheyAre);
  ASSERT_TRUE(first.app().GlobalHotkeys().Bindings()[0].registered);
  ASSERT_TRUE(first.prompts.shown.empty());

  OtherProgram other;
  ASSERT_TRUE(other.Take(elsewhere));
  WriteSetting(file, L"热键", L"按钮65", FormatHotkey(elsewhere));
  AppFixture second(AppFixture::Settings::AsTheyAre);
  ASSERT_EQ(second.prompts.shown.size(), 1u);
  const std::wstring& text = second.prompts.shown[0].text;
  EXPECT_NE(text.find(L"Ctrl+Alt+Shift+F10（哎哟我滴妈）"), std::wstring::npos) << text;
  EXPECT_EQ(text.find(L"F8"), std::wstring::npos) << "a key the first copy holds was named: " << text;
  EXPECT_EQ(text.find(L"F9"), std::wstring::npos) << "a key the first copy holds was named: " << text;
}

}  // namespace
}  // namespace kivora

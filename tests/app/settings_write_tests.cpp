// The settings file as the running program writes it: one 确定 of the settings
// dialog is one write of the file, however many rows it changed, and a write that
// fails is told to the user once, naming the file and the reason.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hotkeys/hotkey_text.h"
#include "settings/settings_file.h"
#include "settings_dialog/settings_dialog.h"
#include "support/app_fixture.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::AppFixture;

// Forty rows with a key each: Ctrl+Alt+Shift, Ctrl+Alt, Ctrl+Shift with F13..F24, then Alt+Shift.
std::vector<std::wstring> SeedFortyHotkeys() {
  const std::wstring file = AppFixture::SettingsFile();
  CreateDirectoryW(AppFixture::DataFolder().c_str(), nullptr);
  DeleteFileW(file.c_str());
  const std::uint32_t modifiers[] = {kModControl | kModAlt | kModShift, kModControl | kModAlt,
                                     kModControl | kModShift, kModAlt | kModShift};
  std::vector<SettingChange> changes;
  std::vector<std::wstring> keys;
  for (int row = 0; row < 40; ++row) {
    keys.push_back(L"按钮" + std::to_wstring(row + 1));
    const Hotkey key{modifiers[row / 12], static_cast<std::uint32_t>(VK_F13 + row % 12)};
    changes.push_back({L"热键", keys.back(), FormatHotkey(key)});
  }
  EXPECT_TRUE(WriteSettings(file, changes).AllWritten());
  return keys;
}

// The button of the open dialog with this caption.
HWND DialogButton(HWND dialog, const wchar_t* caption) {
  struct Search {
    const wchar_t* caption;
    HWND found = nullptr;
  } search{caption};
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t text[32] = {};
        GetWindowTextW(child, text, 32);
        if (std::wstring_view(text) != s->caption) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool clearedAll = false;

// Opens the dialog from the system menu, presses 全部清除, then 确定.
void ClearEveryHotkeyAndPressOk(AppFixture& fixture) {
  clearedAll = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
    HWND clearAll = dialog ? DialogButton(dialog, L"全部清除") : nullptr;
    if (!clearAll || clearedAll) return;
    clearedAll = true;
    SendMessageW(clearAll, BM_CLICK, 0, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  SendMessageW(fixture.hwnd(), WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(clearedAll) << "no 全部清除 in the dialog";
  AppFixture::Pump();
}

TEST(SettingsWrites, OkWritesEveryChangeOfTheDialogInOneWrite) {
  const std::vector<std::wstring> keys = SeedFortyHotkeys();
  AppFixture fixture(AppFixture::Settings::AsTheyAre);
  const int writesBefore = fixture.app().Settings().FileWrites();
  ClearEveryHotkeyAndPressOk(fixture);
  EXPECT_EQ(fixture.app().Settings().FileWrites(), writesBefore + 1);
  // A key another program holds stays in the file as it was; the session's desktop may hold a few.
  const std::vector<std::wstring> now = ReadSettingsDocument(AppFixture::SettingsFile()).Read(L"热键", keys);
  EXPECT_GE(std::count(now.begin(), now.end(), L""), 30) << "the rows were emptied";
  EXPECT_TRUE(fixture.prompts.shown.empty());
}

TEST(SettingsWrites, AReadOnlyFileIsToldOnceInABoxNamingItAndTheReason) {
  const std::vector<std::wstring> keys = SeedFortyHotkeys();
  const std::wstring file = AppFixture::SettingsFile();
  const std::string before = testing::ReadFileBytes(file);
  ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    AppFixture fixture(AppFixture::Settings::AsTheyAre);
    fixture.Click(L"选择框1");  // always on top, and back
    fixture.Click(L"选择框1");
    ClearEveryHotkeyAndPressOk(fixture);
    ASSERT_EQ(fixture.prompts.shown.size(), 1u) << "one box for every failed write";
    const std::wstring& text = fixture.prompts.shown[0].text;
    EXPECT_NE(text.find(file), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"只读"), std::wstring::npos) << text;
    EXPECT_GE(fixture.app().Settings().FailedWrites().size(), 2u + 30u) << "the tick box twice, and the rows";
  }
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(testing::ReadFileBytes(file), before) << "the file is as it was";
}

}  // namespace
}  // namespace kivora

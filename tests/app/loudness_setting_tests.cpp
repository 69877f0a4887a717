// The settings dialog's section 响度: its check box 音量均衡 shows whether
// loudness matching is on, and 确定 keeps a change (key 均衡), 取消 does not.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "loudness/loudness_section.h"
#include "settings/settings_file.h"
#include "settings_dialog/settings_dialog.h"
#include "support/app_fixture.h"

namespace kivora {
namespace {

using testing::AppFixture;

HWND FindByText(HWND parent, std::wstring_view text) {
  struct Search {
    std::wstring_view text;
    HWND found = nullptr;
  } search{text};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t buffer[64] = {};
        GetWindowTextW(child, buffer, 64);
        if (s->text != buffer) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What the timer saw of the open dialog: the box and whether it was ticked.
struct Visit {
  bool click = false;
  int button = IDCANCEL;
  bool sawBox = false;
  bool sawChecked = false;
};
Visit current;

// Opens the dialog from the system menu, reads the box 音量均衡 (clicking it when
// asked) and ends the dialog with button.
Visit RunDialog(AppFixture& fixture, bool click, int button) {
  current = {click, button};
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
    if (!dialog || current.sawBox) return;
    HWND box = FindByText(dialog, kLoudnessCheckBoxText);
    if (!box) return;
    current.sawBox = true;
    current.sawChecked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (current.click) SendMessageW(box, BM_CLICK, 0, 0);
    PostMessageW(dialog, WM_COMMAND, current.button, 0);
  });
  SendMessageW(fixture.hwnd(), WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(current.sawBox) << "no check box 音量均衡 in the dialog";
  return current;
}

std::wstring MatchingKey() { return ReadSetting(AppFixture::SettingsFile(), L"响度", L"均衡"); }

TEST(LoudnessSetting, TheCheckBoxShowsTheChoiceAndOkKeepsItsChange) {
  AppFixture fixture;
  EXPECT_TRUE(RunDialog(fixture, true, IDCANCEL).sawChecked) << "on when the key is missing";
  EXPECT_TRUE(fixture.app().Loudness().Enabled()) << "cancelled";
  EXPECT_EQ(MatchingKey(), L"");

  RunDialog(fixture, true, IDOK);
  EXPECT_FALSE(fixture.app().Loudness().Enabled());
  EXPECT_EQ(MatchingKey(), L"0");

  EXPECT_FALSE(RunDialog(fixture, true, IDOK).sawChecked);
  EXPECT_TRUE(fixture.app().Loudness().Enabled());
  EXPECT_EQ(MatchingKey(), L"1");
}

}  // namespace
}  // namespace kivora

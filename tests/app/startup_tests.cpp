// Start-up: the Data folder, the notification-area icon, and the shell texts.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "base/gbk_text.h"
#include "app/shell_texts.h"
#include "settings/settings_file.h"
#include "support/sound_bytes.h"
#include "support/app_fixture.h"
#include "support/recording_audio_backend.h"
#include "support/scripted_prompts.h"
#include "support/temp_folder.h"
#include "ui/tray_icon.h"

namespace kivora {
namespace {

TEST(DataFolder, ExactlyOneBackslashBeforeKivora) {
  struct Case {
    const wchar_t* documents;
    const wchar_t* dataFolder;
  };
  const Case cases[] = {
      {L"C:\\users\\me\\Documents", L"C:\\users\\me\\Documents\\Kivora\\"},
      {L"C:\\users\\me\\Documents\\", L"C:\\users\\me\\Documents\\Kivora\\"},
      {L"D:\\", L"D:\\Kivora\\"},
      {L"\\\\server\\share\\文档", L"\\\\server\\share\\文档\\Kivora\\"},
      {L"", L"Kivora\\"},  // unknown documents folder: relative to the current directory
  };
  for (const Case& c : cases) EXPECT_EQ(DataFolderFrom(c.documents), c.dataFolder) << c.documents;
}

TEST(Startup, CreatesTheDataFolderInTheDocumentsFolder) {
  wchar_t documents[MAX_PATH] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, documents, CSIDL_PERSONAL, FALSE));
  const std::wstring expected = std::wstring(documents) + L"\\Kivora\\";
  testing::RemoveTree(expected);

  // Started as the program starts, without a documents folder given.
  ExitCleanup cleanup;
  testing::ScriptedPrompts prompts;
  testing::RecordingWebOpener web;
  testing::ScriptedFileChooser chooser;
  testing::RecordingAudioBackend audio;
  App app({prompts, web, chooser, audio}, cleanup.Texts());
  ASSERT_TRUE(app.Start(GetModuleHandleW(nullptr)));
  EXPECT_EQ(app.Shell().dataFolder, expected);
  DWORD attributes = GetFileAttributesW(expected.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Startup, TrayTipIsCutAtSixtyTwoGbkBytesWithoutSplittingACharacter) {
  EXPECT_EQ(TruncateToGbkBytes(L"欢迎使用Kivora！", 62), L"欢迎使用Kivora！");
  std::wstring longTip(40, L'欢');  // 80 bytes in GBK
  std::wstring cut = TruncateToGbkBytes(longTip, 62);
  EXPECT_EQ(cut.size(), 31u);
  EXPECT_EQ(ToGbk(cut).size(), 62u);
  EXPECT_EQ(TruncateToGbkBytes(L"a" + longTip, 62).size(), 31u) << "61 bytes: the next character would split";
}

TEST(Startup, PutsTheIconIntoTheNotificationArea) {
  testing::AppFixture fixture;
  // Wine's tray may still be coming up; the window retries for a few seconds.
  for (int wait = 0; wait < 100 && !fixture.window().Tray().Shown(); ++wait) {
    Sleep(50);
    testing::AppFixture::Pump();
  }
  EXPECT_TRUE(fixture.window().Tray().Shown());
  EXPECT_NE(fixture.window().SmallIcon(), nullptr);

  EXPECT_EQ(fixture.window().Tray().Tip(), L"欢迎使用Kivora！");

  // A restarted shell has lost every icon and announces itself: the icon must be
  // added again, since modifying an icon the shell no longer holds fails. The
  // shell's own answer to a modify tells whether it holds ours.
  NOTIFYICONDATAW ours{};
  ours.cbSize = sizeof(ours);
  ours.hWnd = fixture.hwnd();
  ours.uID = ui::kTrayIconId;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &ours));
  ASSERT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &ours)) << "the shell still holds a deleted icon";
  SendMessageW(fixture.hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &ours)) << "the icon was not added again";
  EXPECT_TRUE(fixture.window().Tray().Shown());
  EXPECT_EQ(fixture.window().Tray().Tip(), L"欢迎使用Kivora！");
}

TEST(ExitCleanup, ReleasesOnlyTheTextsThatAreHeld) {
  ShellTexts shell{L"C:\\docs\\Kivora\\", L"", L""};
  EXPECT_EQ(ReleaseShellTexts(shell), 1) << "closed before any custom sound was picked";
  shell = {L"C:\\docs\\Kivora\\", L"D:\\a.mp3", L"a"};
  EXPECT_EQ(ReleaseShellTexts(shell), 3);
  EXPECT_TRUE(shell.dataFolder.empty() && shell.pickedFilePath.empty() && shell.pickedFileName.empty());
  EXPECT_EQ(ReleaseShellTexts(shell), 0) << "released once";
}

// The way the program ends: the window goes, the event loop ends with 0, the App
// is destroyed, and then the exit cleanup releases what the shell holds, once.
TEST(ExitCleanup, RunsOnceAfterTheEventLoopAndTheAppAreGone) {
  const std::wstring clip = testing::AppFixture::DocumentsFolder() + L"掌声.wav";
  ASSERT_TRUE(testing::WriteFileBytes(clip, testing::SilentWave()));
  for (const bool pick : {false, true}) {
    SCOPED_TRACE(pick ? "a custom sound was picked" : "nothing was picked");
    std::vector<int> released;
    int exitCode = -1;
    {
      ExitCleanup cleanup([&](int count) { released.push_back(count); });
      testing::ScriptedPrompts prompts;
      testing::RecordingWebOpener web;
      testing::ScriptedFileChooser chooser;
      testing::RecordingAudioBackend audio;
      App app({prompts, web, chooser, audio, testing::AppFixture::DocumentsFolder()}, cleanup.Texts());
      ASSERT_TRUE(app.Start(GetModuleHandleW(nullptr)));
      if (pick) {
        chooser.choices.push_back(clip);
        app.Slots().OnClick(4);
        app.Slots().OnClear(4);  // the slot is emptied again; the picked texts stay
      }
      PostMessageW(app.Window().Handle(), WM_COMMAND, IDCANCEL, 0);  // Esc
      exitCode = app.RunEventLoop();
      EXPECT_TRUE(released.empty()) << "nothing is released while the App lives";
    }
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(released, std::vector<int>{pick ? 3 : 1});
  }
}
// What the main window holds at the moment it first shows, read from inside the
// showing: the first picture must already have the restored volume and tick, and
// the speaker on its button.
struct FirstSight {
  bool seen = false;
  std::wstring percentLabel;
  LRESULT tick = BST_UNCHECKED;
  bool topmost = false;
  bool speaker = false;
};
FirstSight g_firstSight;

LRESULT CALLBACK WatchFirstShowing(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  wchar_t className[64] = {};
  if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam && !g_firstSight.seen &&
      GetClassNameW(call->hwnd, className, 64) && std::wstring(className) == L"KivoraMainWindow") {
    g_firstSight.seen = true;
    for (HWND child = GetWindow(call->hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t text[64] = {};
      GetWindowTextW(child, text, 64);
      if (std::wstring(text).ends_with(L"%")) g_firstSight.percentLabel = text;
      GetClassNameW(child, className, 64);
      const LONG style = GetWindowLongW(child, GWL_STYLE);
      if (std::wstring(className) == L"Button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
        g_firstSight.tick = SendMessageW(child, BM_GETCHECK, 0, 0);
      }
      if (std::wstring(className) == L"Button" && (style & BS_BITMAP)) {
        g_firstSight.speaker = SendMessageW(child, BM_GETIMAGE, IMAGE_BITMAP, 0) != 0;
      }
    }
    g_firstSight.topmost = (GetWindowLongW(call->hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Startup, TheWindowShowsWithTheRestoredVolumeAndTickAndEveryControlExistsAfter) {
  struct Case {
    bool saved;  // a start after volume 42 and always-on-top were saved; otherwise nothing is
    const wchar_t* percentLabel;
    LRESULT tick;
  };
  for (const Case& c : {Case{true, L"42%", BST_CHECKED}, Case{false, L"100%", BST_UNCHECKED}}) {
    SCOPED_TRACE(c.saved ? "settings saved" : "nothing saved");
    CreateDirectoryW(testing::AppFixture::DataFolder().c_str(), nullptr);
    DeleteFileW(testing::AppFixture::SettingsFile().c_str());
    if (c.saved) {
      WriteSetting(testing::AppFixture::SettingsFile(), L"设置", L"音量", L"42");
      WriteSetting(testing::AppFixture::SettingsFile(), L"设置", L"最前", L"1");
    }
    g_firstSight = {};
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchFirstShowing, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    testing::AppFixture fixture(testing::AppFixture::Settings::AsTheyAre);
    UnhookWindowsHookEx(hook);

    ASSERT_TRUE(g_firstSight.seen);
    EXPECT_EQ(g_firstSight.percentLabel, c.percentLabel);
    EXPECT_EQ(g_firstSight.tick, c.tick);
    EXPECT_EQ(g_firstSight.topmost, c.saved);
    EXPECT_TRUE(g_firstSight.speaker);
    // The pages out of sight are made once the window is up, before start-up returns.
    for (const wchar_t* name : {L"按钮63", L"按钮1", L"按钮20"}) {
      EXPECT_TRUE(IsWindow(fixture.control(name).Handle())) << name;
    }
  }
  DeleteFileW(testing::AppFixture::SettingsFile().c_str());
}


}  // namespace
}  // namespace kivora

namespace kivora {
namespace {

// A settings file of junk (a crash, a hand edit gone wrong): the program starts as
// on a first start, and a later save adds its key without losing the junk.
TEST(Startup, JunkSettingsFileStartsCleanAndKeepsItsBytesOnSave) {
  std::string junk;
  unsigned seed = 12345;
  for (int i = 0; i < 4096; ++i) {
    seed = seed * 1103515245u + 12345u;
    junk.push_back(static_cast<char>(seed >> 16));
  }
  const std::wstring settings = testing::AppFixture::SettingsFile();
  CreateDirectoryW(testing::AppFixture::DataFolder().c_str(), nullptr);
  ASSERT_TRUE(testing::WriteFileBytes(settings, junk));
  {
    testing::AppFixture fixture(testing::AppFixture::Settings::AsTheyAre);
    EXPECT_EQ(fixture.app().Volume().Volume(), 100);
    EXPECT_EQ(fixture.control(L"标签2").Caption(), L"100%");
    EXPECT_EQ(fixture.control(L"按钮1").Caption(), L"添加音效..");
    EXPECT_FALSE(fixture.window().AlwaysOnTop());
    fixture.DragSlider(42);
  }
  const std::string after = testing::ReadFileBytes(settings);
  EXPECT_EQ(after.compare(0, junk.size(), junk), 0) << "the junk is kept byte for byte";
  EXPECT_EQ(ReadSetting(settings, L"设置", L"音量"), L"42");
}

}  // namespace
}  // namespace kivora

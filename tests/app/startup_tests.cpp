// Start-up: the Data folder, the notification-area icon, and the shell texts.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include "app/data_folder.h"
#include "app/gbk_text.h"
#include "app/shell_texts.h"
#include "support/app_fixture.h"
#include "support/temp_folder.h"

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

  testing::AppFixture fixture;
  EXPECT_EQ(Shell().dataFolder, expected);
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

  // A restarted shell announces itself; the icon is added again, not modified.
  SendMessageW(fixture.hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(fixture.window().Tray().Shown());
}

TEST(ExitCleanup, ReleasesOnlyTheTextsThatAreHeld) {
  ShellTexts& shell = Shell();
  shell = {L"C:\\docs\\Kivora\\", L"", L""};
  EXPECT_EQ(ReleaseShellTexts(), 1) << "closed before any custom sound was picked";
  shell = {L"C:\\docs\\Kivora\\", L"D:\\a.mp3", L"a"};
  EXPECT_EQ(ReleaseShellTexts(), 3);
  EXPECT_TRUE(shell.dataFolder.empty() && shell.pickedFilePath.empty() && shell.pickedFileName.empty());
}

}  // namespace
}  // namespace kivora

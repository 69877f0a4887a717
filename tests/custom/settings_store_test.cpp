// The typed store: one read of the file at start-up answers every key Kivora
// keeps, and a write that does not reach the file is recorded, never silent.
#include <windows.h>
#include <gtest/gtest.h>

#include "base/gbk_text.h"
#include "settings/settings_file.h"
#include "settings/settings_store.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

TEST(SettingsStore, OneReadAnswersEveryKeyOfEverySectionAndWritesGoThroughAtOnce) {
  testing::TempFolder folder;
  SettingsStore store;
  store.UseDataFolder(folder.Path());
  EXPECT_EQ(store.FilePath(), SettingsFilePath(folder.Path()));
  ASSERT_TRUE(testing::WriteFileBytes(
      store.FilePath(), ToGbk(L"[设置]\r\n音量=37\r\n最前=1\r\n[音效]\r\n按钮3=C:\\声音\\a.mp3\r\n按钮20=D:\\b.mp3\r\n"
                              L"[热键]\r\n按钮21=Ctrl+Alt+1\r\n静音=F13\r\n[输出]\r\n第二设备={0.0.0.00000000}.{x}\r\n第二设备名称=线路\r\n"
                              L"[响度]\r\n均衡=0\r\n按钮3=1,2,-14.6,-3.0\r\n")));

  const SavedSettings saved = store.Read();
  // The file changes under the store: every answer below comes from the one read.
  ASSERT_TRUE(DeleteFileW(store.FilePath().c_str()));
  EXPECT_EQ(saved.volume, L"37");
  EXPECT_EQ(saved.alwaysOnTop, L"1");
  for (int slot = 1; slot <= kSoundSlotCount; ++slot) {
    const std::wstring expected = slot == 3 ? L"C:\\声音\\a.mp3" : slot == 20 ? L"D:\\b.mp3" : L"";
    EXPECT_EQ(saved.slotPaths[static_cast<size_t>(slot - 1)], expected) << slot;
    EXPECT_EQ(saved.loudness.slotRecords[static_cast<size_t>(slot - 1)], slot == 3 ? L"1,2,-14.6,-3.0" : L"") << slot;
  }
  EXPECT_EQ(saved.Hotkeys({L"静音", L"按钮22", L"按钮21"}), (std::vector<std::wstring>{L"F13", L"", L"Ctrl+Alt+1"}));
  EXPECT_EQ(saved.secondOutput.id, L"{0.0.0.00000000}.{x}");
  EXPECT_EQ(saved.secondOutput.name, L"线路");
  EXPECT_EQ(saved.loudness.matching, L"0");

  store.WriteVolume(42);
  store.WriteAlwaysOnTop(false);
  store.WriteSlotPath(3, L"");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"设置", L"音量"), L"42");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"设置", L"最前"), L"0");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"音效", L"按钮3"), L"");
  EXPECT_TRUE(store.FailedWrites().empty());
}

TEST(SettingsStore, WritesThatFailAreRecordedInOrder) {
  testing::TempFolder folder;
  SettingsStore store;
  store.UseDataFolder(folder.Path() + L"missing\\");
  EXPECT_EQ(store.Read().volume, L"") << "a missing file reads as empty";
  store.WriteVolume(5);
  store.WriteSlotPath(2, L"C:\\x.mp3");
  store.WriteSlotPath(4, L"C:\\소리.mp3");  // GBK cannot hold it
  EXPECT_EQ(store.FailedWrites(), (std::vector<std::wstring>{L"设置\\音量", L"音效\\按钮2", L"音效\\按钮4"}));
}

TEST(SettingsStore, ABatchReachesTheFileInOneWriteWhenItsLastHolderCloses) {
  testing::TempFolder folder;
  SettingsStore store;
  store.UseDataFolder(folder.Path());
  store.WriteVolume(10);
  const int writesBefore = store.FileWrites();
  {
    SettingsBatch outer(store);
    store.WriteVolume(20);
    {
      SettingsBatch inner(store);
      for (int slot = 1; slot <= kSoundSlotCount; ++slot) store.WriteSlotPath(slot, L"C:\\" + std::to_wstring(slot) + L".mp3");
      store.WriteHotkey(L"静音", L"F13");
    }
    EXPECT_EQ(ReadSetting(store.FilePath(), L"设置", L"音量"), L"10") << "nothing is written while a batch is open";
    store.WriteSecondOutput({L"{id}", L"线路"});
  }
  EXPECT_EQ(store.FileWrites(), writesBefore + 1);
  EXPECT_EQ(ReadSetting(store.FilePath(), L"设置", L"音量"), L"20");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"音效", L"按钮20"), L"C:\\20.mp3");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"热键", L"静音"), L"F13");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"输出", L"第二设备名称"), L"线路");
  EXPECT_TRUE(store.FailedWrites().empty());
}

// A read-only file: the batch changes nothing in it, every key is recorded, and the
// user is told once, with the file and the reason, until a write succeeds again.
TEST(SettingsStore, AFailedWriteIsToldOnceWithTheFileAndTheReason) {
  testing::TempFolder folder;
  SettingsStore store;
  store.UseDataFolder(folder.Path());
  std::vector<std::wstring> told;
  store.ReportFailuresTo([&told](const std::wstring& file, const std::wstring& reason) { told.push_back(file + L"|" + reason); });
  store.WriteVolume(10);
  ASSERT_TRUE(SetFileAttributesW(store.FilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  {
    SettingsBatch together(store);
    store.WriteVolume(20);
    store.WriteHotkey(L"静音", L"F13");
  }
  store.WriteAlwaysOnTop(true);
  EXPECT_EQ(ReadSetting(store.FilePath(), L"设置", L"音量"), L"10");
  EXPECT_EQ(ReadSetting(store.FilePath(), L"热键", L"静音"), L"");
  EXPECT_EQ(store.FailedWrites(), (std::vector<std::wstring>{L"设置\\音量", L"热键\\静音", L"设置\\最前"}));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], store.FilePath() + L"|文件是只读的");

  ASSERT_TRUE(SetFileAttributesW(store.FilePath().c_str(), FILE_ATTRIBUTE_NORMAL));
  store.WriteVolume(30);
  ASSERT_TRUE(SetFileAttributesW(store.FilePath().c_str(), FILE_ATTRIBUTE_READONLY));
  store.WriteVolume(40);
  EXPECT_EQ(told.size(), 2u) << "failing again after a write that succeeded is told again";
  SetFileAttributesW(store.FilePath().c_str(), FILE_ATTRIBUTE_NORMAL);

  // A missing folder gives the system's reason, with its code.
  SettingsStore lost;
  lost.UseDataFolder(folder.Path() + L"gone\\");
  lost.ReportFailuresTo([&told](const std::wstring& file, const std::wstring& reason) { told.push_back(file + L"|" + reason); });
  lost.WriteVolume(1);
  ASSERT_EQ(told.size(), 3u);
  EXPECT_NE(told[2].find(L"错误代码 3"), std::wstring::npos) << told[2];
}

}  // namespace
}  // namespace kivora

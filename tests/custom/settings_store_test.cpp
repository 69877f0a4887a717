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

}  // namespace
}  // namespace kivora

// Files dropped on the custom page, as the window's drop target hands them over:
// one sound file on a button goes the dialog's way; several fill empty slots from
// the one under the pointer with one message; awkward names are kept usably.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>

#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "support/sound_bytes.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::AppFixture;

std::wstring SlotKey(int slot) { return ReadSetting(AppFixture::SettingsFile(), L"音效", L"按钮" + std::to_wstring(slot)); }

class FileDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(AppFixture::DataFolder().c_str(), nullptr);
    fixture = std::make_unique<AppFixture>();
  }
  std::wstring Make(const std::wstring& name) {
    const std::wstring path = files.Path() + name;
    EXPECT_TRUE(testing::WriteFileBytes(path, testing::SilentWave()));
    return path;
  }
  std::wstring Caption(int slot) { return fixture->control(L"按钮" + std::to_wstring(slot)).Caption(); }
  void Drop(std::vector<std::wstring> dropped, int slotUnderPointer) {
    fixture->app().Slots().OnDrop(dropped, slotUnderPointer);
    AppFixture::Pump();
  }

  testing::TempFolder files;
  std::unique_ptr<AppFixture> fixture;
};

TEST_F(FileDropTest, OneSoundFileOnAButtonIsTakenAsIfChosenInItsDialog) {
  const std::wstring clip = Make(L"掌声 2.WAV");
  Drop({clip}, 7);
  EXPECT_TRUE(fixture->fileChooser.shown.empty());
  EXPECT_EQ(Caption(7), L"掌声 2");
  EXPECT_EQ(SlotKey(7), clip);
  EXPECT_EQ(fixture->shell().pickedFilePath, clip);
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"自定义音效完成！");
  EXPECT_EQ(fixture->prompts.shown[0].caption, L"提醒");

  // On a filled button it replaces the file, as the slot's dialog does.
  const std::wstring other = Make(L"other.mp3");
  Drop({other}, 7);
  EXPECT_EQ(Caption(7), L"other");
  EXPECT_EQ(SlotKey(7), other);

  // A name the settings file cannot keep gets the dialog's refusal.
  Drop({files.Path() + L"없는 파일.mp3"}, 8);
  EXPECT_EQ(fixture->prompts.shown.back().text, L"无法保存这个文件的名字（含有无法保存的字符），请把文件改名后再添加。");
  EXPECT_EQ(SlotKey(8), L"");
}

TEST_F(FileDropTest, SeveralFilesFillEmptySlotsFromThePointerWithAwkwardNamesKept) {
  // Over 260 characters in all: made through the long-path prefix, dropped without it.
  std::wstring deep = files.Path();
  for (int level = 0; level < 3; ++level) {
    deep += std::wstring(90, static_cast<wchar_t>(L'a' + level)) + L"\\";
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
  }
  const std::wstring longPath = deep + L"far.mp3";
  ASSERT_TRUE(testing::WriteFileBytes(L"\\\\?\\" + longPath, testing::SilentWave()));
  ASSERT_GT(longPath.size(), 260u);
  const std::vector<std::wstring> dropped = {Make(L"with space.mp3"), Make(L"100% loud.mp3"), Make(L"notes.txt"),
                                             Make(L"박수 소리.wav"), longPath};
  Drop({Make(L"filled.mp3")}, 3);
  fixture->prompts.shown.clear();

  Drop(dropped, 2);
  const struct {
    int slot;
    const wchar_t* caption;
  } expected[] = {{2, L"with space"}, {4, L"100% loud"}, {5, L"박수 소리"}, {6, L"far"}};
  for (const auto& e : expected) {
    EXPECT_EQ(Caption(e.slot), e.caption) << e.slot;
    const std::wstring stored = SlotKey(e.slot);
    EXPECT_EQ(stored.find(L'?'), std::wstring::npos) << e.slot;
    EXPECT_NE(GetFileAttributesW((stored.size() > 259 ? L"\\\\?\\" + stored : stored).c_str()), INVALID_FILE_ATTRIBUTES)
        << "slot " << e.slot << " keeps a path to its file";
  }
  EXPECT_EQ(Caption(1), L"添加音效..");
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"已添加 4 个音效，0 个没有空位放不下。\n1 个不是MP3或WAV文件，已跳过。");
  EXPECT_EQ(fixture->prompts.shown[0].caption, L"提醒");
}

TEST_F(FileDropTest, ADropBesideTheButtonsFillsFromSlotOneAndCountsWhatDidNotFit) {
  std::vector<std::wstring> dropped;
  for (int n = 0; n < 22; ++n) dropped.push_back(Make(L"clip" + std::to_wstring(n) + L".mp3"));
  Drop(dropped, 0);
  EXPECT_EQ(Caption(1), L"clip0");
  EXPECT_EQ(Caption(20), L"clip19");
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"已添加 20 个音效，2 个没有空位放不下。");
}

}  // namespace
}  // namespace kivora

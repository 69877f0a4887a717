// The twenty custom buttons driven as a user would, with the open-file dialog and
// the message boxes answered from a script and the player's commands recorded.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "app/data_folder.h"
#include "base/gbk_text.h"
#include "app/shell_texts.h"
#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "support/sound_bytes.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::AppFixture;

constexpr const wchar_t* kEmpty = L"添加音效..";

std::wstring SettingsFile() { return AppFixture::SettingsFile(); }

std::wstring SlotKey(int slot) { return ReadSetting(SettingsFile(), L"音效", L"按钮" + std::to_wstring(slot)); }

bool Contains(const std::vector<std::wstring>& calls, std::wstring_view prefix) {
  return std::any_of(calls.begin(), calls.end(), [&](const std::wstring& call) { return call.starts_with(prefix); });
}

class CustomSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(AppFixture::DataFolder().c_str(), nullptr);
    DeleteFileW(SettingsFile().c_str());
    clip = files.Path() + L"掌声.mp3";
    other = files.Path() + L"a.b.mp3";
    testing::WriteFileBytes(clip, testing::SilentWave());
    testing::WriteFileBytes(other, testing::SilentWave());
    fixture = std::make_unique<AppFixture>();
  }
  void Restart() {
    fixture.reset();
    fixture = std::make_unique<AppFixture>(AppFixture::Settings::AsTheyAre);
  }
  std::wstring Caption(int slot) { return fixture->control(L"按钮" + std::to_wstring(slot)).Caption(); }
  void Click(int slot) { fixture->Click(L"按钮" + std::to_wstring(slot)); }
  void DoubleClick(int slot) { fixture->DoubleClick(L"按钮" + std::to_wstring(slot)); }
  void RightPress(int slot) { fixture->RightPress(L"按钮" + std::to_wstring(slot)); }
  void Add(int slot, const std::wstring& path) {
    fixture->fileChooser.choices.push_back(path);
    Click(slot);
  }

  testing::TempFolder files;
  std::wstring clip, other;
  std::unique_ptr<AppFixture> fixture;
};

TEST_F(CustomSlotsTest, AddingAFileSetsCaptionKeyAndTellsTheUserWithTheWindowNotOnTop) {
  fixture->Click(L"选择框1");  // ticked: the window is on top
  bool onTopWhileAsking = true;
  fixture->prompts.onShow = [&] { onTopWhileAsking = fixture->window().AlwaysOnTop(); };

  Add(1, clip);

  ASSERT_EQ(fixture->fileChooser.shown.size(), 1u);
  const FileDialogState& dialog = fixture->fileChooser.shown[0];
  EXPECT_EQ(dialog.title, L"导入MP3...");
  EXPECT_EQ(dialog.filter, L"MP3文件（*.mp3)|*.mp3");
  wchar_t desktop[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
  EXPECT_EQ(dialog.initialFolder, std::wstring(desktop) + L"\\");

  EXPECT_EQ(Caption(1), L"掌声");
  EXPECT_EQ(SlotKey(1), clip);
  EXPECT_EQ(fixture->shell().pickedFilePath, clip);
  EXPECT_EQ(fixture->shell().pickedFileName, L"掌声");
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"自定义音效完成！");
  EXPECT_EQ(fixture->prompts.shown[0].caption, L"提醒");
  EXPECT_EQ(fixture->prompts.shown[0].type, static_cast<UINT>(MB_OK | MB_TASKMODAL));
  EXPECT_FALSE(onTopWhileAsking);
  EXPECT_TRUE(fixture->window().AlwaysOnTop()) << "put back because the box is ticked";
}

TEST_F(CustomSlotsTest, UntickedBoxLeavesTheWindowNotOnTopAfterTheMessage) {
  fixture->window().SetAlwaysOnTop(true);
  Add(2, clip);
  EXPECT_FALSE(fixture->window().AlwaysOnTop());
}

TEST_F(CustomSlotsTest, ClickOnAFilledSlotPlaysItsStoredPathAtTheSliderVolume) {
  Add(3, clip);
  fixture->DragSlider(37);
  fixture->audio.TakeCalls();
  Click(3);
  std::vector<std::wstring> calls = fixture->audio.TakeCalls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_TRUE(calls[0].starts_with(L"close "));
  EXPECT_TRUE(calls[1].starts_with(L"open MPEGvideo ")) << calls[1];
  EXPECT_TRUE(calls[1].ends_with(clip)) << calls[1];
  EXPECT_TRUE(Contains(calls, L"setaudio")) ;
  EXPECT_TRUE(calls.back().starts_with(L"play "));
  EXPECT_NE(std::find_if(calls.begin(), calls.end(), [](auto& c) { return c.ends_with(L"left volume to 370"); }),
            calls.end());
  EXPECT_EQ(fixture->fileChooser.shown.size(), 1u) << "a filled slot opens no dialog";
}

TEST_F(CustomSlotsTest, DoubleClickPlaysPausesAndCancelLeavesTheSlotAsItWas) {
  Add(4, clip);
  fixture->audio.TakeCalls();
  fixture->fileChooser.choices.push_back(L"");  // Cancel
  DoubleClick(4);
  std::vector<std::wstring> calls = fixture->audio.TakeCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_TRUE(calls.back().starts_with(L"pause ")) << "the first click played, the double-click paused";
  EXPECT_TRUE(Contains(calls, L"play "));
  EXPECT_TRUE(fixture->app().Player().Paused());
  EXPECT_EQ(Caption(4), L"掌声");
  EXPECT_EQ(SlotKey(4), clip);
}

TEST_F(CustomSlotsTest, DoubleClickReplacesTheFile) {
  Add(5, clip);
  fixture->fileChooser.choices.push_back(other);
  DoubleClick(5);
  EXPECT_EQ(Caption(5), L"a.b");
  EXPECT_EQ(SlotKey(5), other);
}

TEST_F(CustomSlotsTest, SlotsEighteenToTwentyLeaveTheDialogFilterAsItWas) {
  // Filled slots from the last run: the double-click is the run's first dialog.
  WriteSetting(SettingsFile(), L"音效", L"按钮18", clip);
  WriteSetting(SettingsFile(), L"音效", L"按钮19", clip);
  Restart();
  fixture->fileChooser.choices = {L"", L"", L""};
  DoubleClick(18);
  ASSERT_EQ(fixture->fileChooser.shown.size(), 1u);
  EXPECT_EQ(fixture->fileChooser.shown.back().filter, L"*.MP3|*.mp3") << "the dialog's first filter";
  EXPECT_EQ(fixture->fileChooser.shown.back().title, L"导入MP3...");
  DoubleClick(17);
  DoubleClick(19);
  EXPECT_EQ(fixture->fileChooser.shown.back().filter, L"MP3文件（*.mp3)|*.mp3") << "set by slot 17, kept by 19";
}

TEST_F(CustomSlotsTest, ClearAsksFirstAndYesEmptiesTheSlot) {
  Add(6, clip);
  fixture->prompts.shown.clear();
  bool pausedBefore = fixture->app().Player().Paused();

  fixture->prompts.answers = {IDNO};
  RightPress(6);
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"你确定要清空<掌声>按钮吗？");
  EXPECT_EQ(fixture->prompts.shown[0].caption, L"提醒");
  EXPECT_EQ(fixture->prompts.shown[0].type, static_cast<UINT>(MB_YESNO | MB_TASKMODAL));
  EXPECT_EQ(Caption(6), L"掌声");
  EXPECT_EQ(SlotKey(6), clip);
  EXPECT_EQ(fixture->app().Player().Paused(), pausedBefore);

  fixture->prompts.answers = {IDYES};
  RightPress(6);
  EXPECT_EQ(Caption(6), kEmpty);
  EXPECT_EQ(SlotKey(6), L"");
  EXPECT_NE(testing::ReadFileBytes(SettingsFile()).find(ToGbk(L"\n按钮6=\r\n")), std::string::npos)
      << "the key stays with an empty value";
  EXPECT_NE(fixture->app().Player().Paused(), pausedBefore);
}

TEST_F(CustomSlotsTest, RightPressOnAnEmptySlotAsksNothingButLiftsAndRestoresOnTop) {
  fixture->Click(L"选择框1");  // ticked: the window is on top
  RightPress(7);
  EXPECT_TRUE(fixture->prompts.shown.empty());
  EXPECT_TRUE(fixture->window().AlwaysOnTop());
}

TEST_F(CustomSlotsTest, ClearAllPausesWhateverTheAnswerAndYesEmptiesEverySlot) {
  Add(1, clip);
  Add(20, other);
  bool paused = fixture->app().Player().Paused();
  fixture->prompts.shown.clear();

  fixture->prompts.answers = {IDNO};
  fixture->window().ChooseMenuItem(static_cast<int>(ui::MenuItem::ClearSounds));
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"你确定要清空所有按钮吗？");
  EXPECT_NE(fixture->app().Player().Paused(), paused);
  EXPECT_EQ(Caption(1), L"掌声");
  EXPECT_EQ(SlotKey(20), other);

  fixture->prompts.answers = {IDYES};
  fixture->window().ChooseMenuItem(static_cast<int>(ui::MenuItem::ClearSounds));
  for (int slot = 1; slot <= 20; ++slot) {
    EXPECT_EQ(Caption(slot), kEmpty) << slot;
    EXPECT_EQ(SlotKey(slot), L"") << slot;
  }
}

TEST_F(CustomSlotsTest, FileNamedDotMp3GivesAnEmptyCaptionAndAFilledSlot) {
  const std::wstring dotOnly = files.Path() + L".mp3";
  testing::WriteFileBytes(dotOnly, testing::SilentWave());
  Add(8, dotOnly);
  EXPECT_EQ(Caption(8), L"");
  fixture->audio.TakeCalls();
  Click(8);
  EXPECT_TRUE(Contains(fixture->audio.TakeCalls(), L"play ")) << "a filled slot plays";
}

TEST_F(CustomSlotsTest, FileWhoseNameIsTheEmptyCaptionKeepsBehavingEmpty) {
  const std::wstring lookalike = files.Path() + L"添加音效...mp3";
  testing::WriteFileBytes(lookalike, testing::SilentWave());
  Add(9, lookalike);
  EXPECT_EQ(Caption(9), kEmpty);
  EXPECT_EQ(SlotKey(9), lookalike);
  fixture->fileChooser.choices.push_back(L"");
  Click(9);
  EXPECT_EQ(fixture->fileChooser.shown.size(), 2u) << "the click offers the dialog again";
}

// Files that no decoder and not the system's player can play: refused where they
// are put, by the dialog or a drop, with a message naming them; the slot keeps
// what it had, and a drop of several counts them as skipped.
TEST_F(CustomSlotsTest, AFileThatCanNeverSoundIsRefusedByNameAndTheSlotKeepsItsFile) {
  const std::wstring text = files.Path() + L"说明.mp3", empty = files.Path() + L"空.wav", folder = files.Path() + L"dir.mp3",
                     header = files.Path() + L"head.wav";
  ASSERT_TRUE(testing::WriteFileBytes(text, "This is a text file, renamed.\r\n"));
  ASSERT_TRUE(testing::WriteFileBytes(empty, ""));
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(testing::WriteFileBytes(header, testing::SilentWave().substr(0, 36)));  // a format, then no data
  const struct {
    std::wstring path;
    const wchar_t* name;
  } cases[] = {{text, L"说明.mp3"}, {empty, L"空.wav"}, {folder, L"dir.mp3"}, {header, L"head.wav"}};
  Add(4, clip);
  for (const auto& c : cases) {
    fixture->prompts.shown.clear();
    fixture->fileChooser.choices.push_back(c.path);
    DoubleClick(4);  // a filled slot's dialog
    ASSERT_EQ(fixture->prompts.shown.size(), 1u) << c.name;
    EXPECT_NE(fixture->prompts.shown[0].text.find(L"“" + std::wstring(c.name) + L"”不能播放"), std::wstring::npos)
        << fixture->prompts.shown[0].text;
    fixture->app().Slots().OnDrop({c.path}, 4);
    ASSERT_EQ(fixture->prompts.shown.size(), 2u) << c.name;
    EXPECT_EQ(fixture->prompts.shown[1].text, fixture->prompts.shown[0].text) << "a drop on the button says the same";
    EXPECT_EQ(Caption(4), L"掌声") << c.name;
    EXPECT_EQ(SlotKey(4), clip) << c.name;
  }

  fixture->prompts.shown.clear();
  fixture->app().Slots().OnDrop({text, other, empty, folder}, 0);
  EXPECT_EQ(Caption(1), L"a.b");
  EXPECT_EQ(Caption(2), kEmpty);
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text,
            L"已添加 1 个音效，0 个没有空位放不下。\n3 个文件不能播放（空的、不是声音或已损坏），已跳过：\n说明.mp3\n空.wav\ndir.mp3");
}

TEST_F(CustomSlotsTest, RestartRestoresCaptionsOnlyForFilesThatStillExistAndWritesNothing) {
  Add(5, clip);
  Add(6, other);
  WriteSetting(SettingsFile(), L"音效", L"按钮7", files.Path() + L"gone.mp3");
  DeleteFileW(other.c_str());
  // The first run's measurement of the clip is kept before it ends, so the second
  // start finds nothing to measure (the background measuring would write its record).
  ASSERT_TRUE(fixture->WaitForMeasurements()) << "the clip's measurement still under way after 20 s";
  fixture.reset();  // the first run's teardown saves the volume
  const std::string before = testing::ReadFileBytes(SettingsFile());

  fixture = std::make_unique<AppFixture>(AppFixture::Settings::AsTheyAre);
  EXPECT_EQ(Caption(5), L"掌声");
  EXPECT_EQ(Caption(6), kEmpty);
  EXPECT_EQ(Caption(7), kEmpty);
  EXPECT_EQ(Caption(1), kEmpty);
  // This run's teardown saves the volume too, so the bytes are compared before it.
  EXPECT_EQ(testing::ReadFileBytes(SettingsFile()), before) << "the start-up rewrote the file";
  EXPECT_EQ(SlotKey(6), other) << "a missing file keeps its key";
  EXPECT_EQ(SlotKey(7), files.Path() + L"gone.mp3");
}

TEST_F(CustomSlotsTest, NameOutsideGbkIsKeptByItsShortPathAndShowsItsRealName) {
  const std::wstring korean = files.Path() + L"박수 소리.mp3";
  ASSERT_TRUE(testing::WriteFileBytes(korean, testing::SilentWave()));
  Add(10, korean);
  EXPECT_EQ(Caption(10), L"박수 소리");
  std::wstring stored = SlotKey(10);
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(stored.find(L'?'), std::wstring::npos) << "no broken path";
  EXPECT_NE(GetFileAttributesW(stored.c_str()), INVALID_FILE_ATTRIBUTES) << "the stored path names the file";
  Restart();
  EXPECT_EQ(Caption(10), L"박수 소리");
  fixture->audio.TakeCalls();
  Click(10);
  std::vector<std::wstring> calls = fixture->audio.TakeCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_TRUE(calls[1].ends_with(stored));
}

TEST_F(CustomSlotsTest, NameOutsideGbkWithoutAShortPathIsRefusedWithAMessage) {
  const std::wstring missing = files.Path() + L"없는 파일.mp3";  // no file, so no short name either
  Add(11, missing);
  EXPECT_EQ(Caption(11), kEmpty);
  EXPECT_EQ(SlotKey(11), L"");
  ASSERT_EQ(fixture->prompts.shown.size(), 1u);
  EXPECT_EQ(fixture->prompts.shown[0].text, L"无法保存这个文件的名字（含有无法保存的字符），请把文件改名后再添加。");
  EXPECT_EQ(fixture->prompts.shown[0].caption, L"提醒");
  EXPECT_EQ(fixture->prompts.shown[0].type, static_cast<UINT>(MB_OK | MB_TASKMODAL));
}

}  // namespace
}  // namespace kivora

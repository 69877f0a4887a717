// Where dropped files go: sound files by extension fill empty slots from the
// slot under the pointer, the rest is counted, and the summary says so.
#include "custom/drop_placement.h"

#include <gtest/gtest.h>

namespace kivora {
namespace {

std::wstring KeepAsIs(const std::wstring& path) { return path; }
bool AllPlay(const std::wstring&) { return true; }

std::array<bool, kDropSlotCount> Filled(std::initializer_list<int> slots) {
  std::array<bool, kDropSlotCount> filled{};
  for (int slot : slots) filled[static_cast<size_t>(slot - 1)] = true;
  return filled;
}

TEST(DropPlacement, SoundFilesByExtension) {
  const struct {
    const wchar_t* path;
    bool sound;
  } cases[] = {
      {L"C:\\a\\b.mp3", true},       {L"C:\\a\\B.WAV", true},  {L"Z:\\x y\\100%.Mp3", true},
      {L"C:\\a\\b.mp3.txt", false},  {L"C:\\a.mp3\\b", false}, {L"C:\\a\\mp3", false},
      {L"C:\\a\\b.wave", false},     {L"C:\\a\\.wav", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSoundFileName(c.path), c.sound) << c.path;
}

TEST(DropPlacement, FillsEmptySlotsFromTheGivenOneAndCountsTheRest) {
  const std::vector<std::wstring> files = {L"a.mp3", L"notes.txt", L"b.wav", L"c.mp3", L"d.mp3"};
  const DropPlacement placement = PlaceDroppedFiles(files, Filled({18, 19}), 17, KeepAsIs, AllPlay);
  ASSERT_EQ(placement.placed.size(), 2u);
  EXPECT_EQ(placement.placed[0].slot, 17);
  EXPECT_EQ(placement.placed[0].path, L"a.mp3");
  EXPECT_EQ(placement.placed[1].slot, 20);
  EXPECT_EQ(placement.placed[1].path, L"b.wav");
  EXPECT_EQ(placement.notFitting, 2);
  EXPECT_EQ(placement.notSound, 1);
  EXPECT_EQ(DropSummary(placement), L"已添加 2 个音效，2 个没有空位放不下。\n1 个不是MP3或WAV文件，已跳过。");
}

TEST(DropPlacement, FilesWithoutAStorableNameOrThatCannotSoundAreSkippedAndLeaveTheirSlotToTheNext) {
  auto storable = [](const std::wstring& path) { return path == L"bad.mp3" ? std::wstring() : L"kept " + path; };
  auto playable = [](const std::wstring& path) { return path.find(L"silent") == std::wstring::npos; };
  const DropPlacement placement = PlaceDroppedFiles(
      {L"bad.mp3", L"C:\\in\\silent.mp3", L"good.mp3", L"Z:\\dir.mp3\\silent too.wav"}, Filled({}), 1, storable,
      playable);
  ASSERT_EQ(placement.placed.size(), 1u);
  EXPECT_EQ(placement.placed[0].slot, 1);
  EXPECT_EQ(placement.placed[0].stored, L"kept good.mp3");
  EXPECT_EQ(placement.unstorable, 1);
  EXPECT_EQ(placement.unplayable, (std::vector<std::wstring>{L"C:\\in\\silent.mp3", L"Z:\\dir.mp3\\silent too.wav"}));
  EXPECT_EQ(DropSummary(placement),
            L"已添加 1 个音效，0 个没有空位放不下。\n1 个文件的名字含有无法保存的字符，已跳过。"
            L"\n2 个文件不能播放（空的、不是声音或已损坏），已跳过：\nsilent.mp3\nsilent too.wav");
}

TEST(DropPlacement, AllSlotsFilledNothingFits) {
  std::array<bool, kDropSlotCount> all{};
  all.fill(true);
  const DropPlacement placement = PlaceDroppedFiles({L"a.mp3", L"b.mp3"}, all, 1, KeepAsIs, AllPlay);
  EXPECT_TRUE(placement.placed.empty());
  EXPECT_EQ(placement.notFitting, 2);
}

}  // namespace
}  // namespace kivora

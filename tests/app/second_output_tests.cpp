// The list "同时输出到" of the settings dialog's section "输出": what it offers for
// the devices present and the device kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "second_output/microphone_notices.h"
#include "second_output/microphone_values.h"
#include "second_output/output_choices.h"

namespace kivora {
namespace {

std::vector<std::wstring> Labels(const OutputChoices& choices) {
  std::vector<std::wstring> labels;
  for (const OutputChoice& entry : choices.entries) labels.push_back(entry.label);
  return labels;
}

TEST(SecondOutputChoices, OffersTheOtherDevicesByNameAndMarksAKeptOneThatIsGone) {
  const std::vector<audio::RenderEndpoint> present = {
      {L"{0.0.0.00000000}.{a}", L"Out: headphones", true},
      {L"{0.0.0.00000000}.{b}", L"Out: Virtual Cable Input", false},
      {L"{0.0.0.00000000}.{c}", L"", false},
  };
  const struct {
    const wchar_t* keptId;
    const wchar_t* keptName;
    std::vector<std::wstring> labels;
    size_t chosen;
  } cases[] = {
      {L"", L"", {L"(无)", L"Out: Virtual Cable Input", L"{0.0.0.00000000}.{c}"}, 0},
      {L"{0.0.0.00000000}.{b}", L"old name", {L"(无)", L"Out: Virtual Cable Input", L"{0.0.0.00000000}.{c}"}, 1},
      {L"{0.0.0.00000000}.{gone}", L"CABLE Input",
       {L"(无)", L"Out: Virtual Cable Input", L"{0.0.0.00000000}.{c}", L"CABLE Input (未连接)"}, 3},
      // A kept device that has since become the default is still there, not missing.
      {L"{0.0.0.00000000}.{a}", L"Out: headphones",
       {L"(无)", L"Out: headphones", L"Out: Virtual Cable Input", L"{0.0.0.00000000}.{c}"}, 1},
  };
  for (const auto& c : cases) {
    const OutputChoices choices = SecondOutputChoices(present, c.keptId, c.keptName);
    EXPECT_EQ(Labels(choices), c.labels) << c.keptId;
    EXPECT_EQ(choices.chosen, c.chosen) << c.keptId;
  }
  const OutputChoices none = SecondOutputChoices({}, L"", L"");
  EXPECT_EQ(Labels(none), std::vector<std::wstring>{L"(无)"});
  EXPECT_EQ(SecondOutputChoices(present, L"", L"").entries[1].id, L"{0.0.0.00000000}.{b}") << "kept by ID, shown by name";
}

TEST(MicrophoneValues, ReadsWhatTheFileHoldsAndDefaultsWhatMakesNoSense) {
  const struct {
    MicrophoneSetting kept;
    double gainDb;
    bool muted;
    double duckDb;
  } cases[] = {
      {{}, 0, false, 0},  // nothing kept: unity gain, heard, never lowered
      {{L"id", L"name", L"-6", L"1", L"10"}, -6, true, 10},
      {{L"id", L"name", L"35", L"0", L"-3"}, 20, false, 0},  // out of range: held to the range
      {{L"id", L"name", L"-99", L"yes", L"90"}, -20, false, 40},
      {{L"id", L"name", L"6dB", L"", L"x"}, 0, false, 0},     // not a number: the default
      {{L"id", L"name", L"nan", L"1", L"inf"}, 0, true, 0},
  };
  for (const auto& c : cases) {
    const MicrophoneValues values = MicrophoneValuesOf(c.kept);
    EXPECT_EQ(values.gainDb, c.gainDb) << c.kept.gainDb;
    EXPECT_EQ(values.muted, c.muted) << c.kept.muted;
    EXPECT_EQ(values.duckDb, c.duckDb) << c.kept.duckDb;
  }
  EXPECT_EQ(GainText(-6.0), L"-6");
}

// What each try of the capture tells: missing once, back once after that, and
// nothing while it stays as it was or while no microphone is chosen.
TEST(MicrophoneNotices, TellMissingOnceAndBackOnlyAfterMissing) {
  const std::wstring missing = MicrophoneMissingText(L"In: mic"), back = MicrophoneBackText(L"In: mic");
  const struct {
    const wchar_t* id;
    std::vector<bool> looks;
    std::vector<std::wstring> told;  // empty text: nothing told at that look
  } cases[] = {
      {L"{mic}", {false, false}, {L"", L""}},
      {L"{mic}", {true, true, true}, {missing, L"", L""}},
      {L"{mic}", {true, false, false, true}, {missing, back, L"", missing}},
      {L"", {true, false}, {L"", L""}},
  };
  for (const auto& test : cases) {
    MicrophoneNotices notices;
    notices.Chosen(test.id, L"In: mic");
    for (size_t look = 0; look < test.looks.size(); ++look) {
      EXPECT_EQ(notices.Looked(test.looks[look]).value_or(L""), test.told[look]) << "look " << look;
    }
  }
  // A new choice starts afresh: its own missing is told, by its name.
  MicrophoneNotices notices;
  notices.Chosen(L"{a}", L"In: a");
  notices.Looked(true);
  notices.Chosen(L"{b}", L"In: b");
  EXPECT_EQ(notices.Looked(true).value_or(L""), MicrophoneMissingText(L"In: b"));
  EXPECT_NE(MicrophoneMissingText(L"In: b").find(L"麦克风 In: b 未连接"), std::wstring::npos);
}

}  // namespace
}  // namespace kivora

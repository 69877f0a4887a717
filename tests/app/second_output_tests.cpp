// The list "同时输出到" of the settings dialog's section "输出": what it offers for
// the devices present and the device kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace kivora

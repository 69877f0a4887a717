// Section 输出's choices and values, and what is told of its devices: the list
// "同时输出到" for the devices present and the device kept, the microphone's
// values, and the notices of a device gone or back.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/engine/sound_engine.h"
#include "second_output/device_change.h"
#include "second_output/microphone_notices.h"
#include "second_output/microphone_values.h"
#include "second_output/output_choices.h"
#include "second_output/second_output.h"
#include "support/scripted_output.h"

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

std::wstring Told(const std::optional<DeviceChange>& change) { return change ? BalloonText(*change) : L""; }

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
      EXPECT_EQ(Told(notices.Looked(test.looks[look])), test.told[look]) << "look " << look;
    }
  }
  // A new choice starts afresh: its own missing is told, by its name.
  MicrophoneNotices notices;
  notices.Chosen(L"{a}", L"In: a");
  notices.Looked(true);
  notices.Chosen(L"{b}", L"In: b");
  EXPECT_EQ(notices.Looked(true), (DeviceChange{DeviceRole::Microphone, L"In: b", false}));
  EXPECT_NE(MicrophoneMissingText(L"In: b").find(L"麦克风 In: b 未连接"), std::wstring::npos);
}

// The broadcast device that fails to open and opens later is told as a change of
// its presence, by the name it was chosen with (the balloon and the control
// interface's event are both made from it); a file only the default device plays
// is told as a text. Nothing is told of a device that opens at once.
TEST(SecondOutputNotices, TheBroadcastDeviceGoneAndBackAreChangesAndAFileOnlyText) {
  auto monitor = std::make_shared<audio::scripted::ScriptedDevice>(std::vector<unsigned>{48000});
  auto cable = std::make_shared<audio::scripted::ScriptedDevice>(std::vector<unsigned>{0});
  audio::SoundEngine engine(monitor);
  SecondOutput output(engine, [&](const std::wstring&) { return cable; });
  std::vector<DeviceChange> changes;
  std::vector<std::wstring> texts;
  output.TellThrough(nullptr, 0, [&](const std::wstring& text) { texts.push_back(text); },
                     [&](const DeviceChange& change) { changes.push_back(change); });
  const auto waitFor = [&](size_t count) {
    for (ULONGLONG start = GetTickCount64(); changes.size() < count && GetTickCount64() - start < 10000; Sleep(10)) {
      output.TakeNotices();
    }
    return changes.size();
  };

  output.Use(L"{0.0.0.00000000}.{cable}", L"CABLE Input");
  ASSERT_EQ(waitFor(1), 1u) << "the missing device was not told";
  EXPECT_EQ(changes[0], (DeviceChange{DeviceRole::Broadcast, L"CABLE Input", false}));
  EXPECT_EQ(BalloonText(changes[0]), BroadcastMissingText(L"CABLE Input"));
  cable->Script({48000});  // tried again within a second
  ASSERT_EQ(waitFor(2), 2u) << "the device back was not told";
  EXPECT_EQ(changes[1], (DeviceChange{DeviceRole::Broadcast, L"CABLE Input", true}));
  EXPECT_EQ(BalloonText(changes[1]), BroadcastBackText(L"CABLE Input"));

  output.PlayedOnDefaultOnly(L"C:\\sounds\\ulaw.wav");
  output.TakeNotices();
  EXPECT_EQ(texts, std::vector<std::wstring>{DefaultDeviceOnlyText(L"C:\\sounds\\ulaw.wav")});
  EXPECT_EQ(changes.size(), 2u);

  // Another device that opens at once: nothing to tell.
  output.Use(L"{0.0.0.00000000}.{other}", L"Other");
  Sleep(300);
  output.TakeNotices();
  EXPECT_EQ(changes.size(), 2u);
}

}  // namespace
}  // namespace kivora

// Each sound's line in section 声音: what a user or an older file may have written
// reads part by part, a bad part costs only itself, and a line written reads back
// as the sound it was written for.
#include <gtest/gtest.h>

#include <string>

#include "sound_settings/sound_shape.h"

namespace kivora {
namespace {

using audio::SecondPress;

TEST(SoundShape, ReadsEachPartAloneAndIgnoresWhatItCannotUse) {
  const struct {
    const wchar_t* text;
    bool trimmable;
    SoundShape expected;
  } cases[] = {
      {L"", true, {}},
      {L"音量:-3;再次按下:停止;淡入:0;淡出:200;起点:120;终点:0", true, {-3, SecondPress::Stop, 0, 200, 120, 0}},
      {L" 音量 : +12 ；再次按下：循环；淡入：5000", true, {12, SecondPress::Loop, 5000, 0, 0, 0}},
      {L"再次按下:叠加;音量:-30", false, {-30, SecondPress::Overlap, 0, 0, 0, 0}},
      // Out of range, unknown, malformed: the part is ignored, the rest holds.
      {L"音量:13;淡出:300", true, {0, SecondPress::Restart, 0, 300, 0, 0}},
      {L"音量:-31;淡入:5001;淡出:-1;再次按下:暂停", true, {}},
      {L"音量:3dB;淡入:1e3;淡出:0x10;起点:", true, {}},
      {L"颜色:红;音量:2;;;:;音量", true, {2, SecondPress::Restart, 0, 0, 0, 0}},
      {L"淡入:99999999999999999999", true, {}},
      // The last of a repeated part counts.
      {L"音量:1;音量:2", true, {2, SecondPress::Restart, 0, 0, 0, 0}},
      // A built-in sound is never trimmed.
      {L"起点:120;终点:50;淡入:10", false, {0, SecondPress::Restart, 10, 0, 0, 0}},
      {L"起点:3600000;终点:3600001", true, {0, SecondPress::Restart, 0, 0, 3600000, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSoundShape(c.text, c.trimmable), c.expected) << testing::PrintToString(std::wstring(c.text));
  }
}

TEST(SoundShape, WritesNothingForTheDefaultsAndEveryPartOtherwise) {
  EXPECT_EQ(FormatSoundShape({}, true), L"");
  EXPECT_EQ(FormatSoundShape({0, SecondPress::Restart, 0, 0, 120, 0}, false), L"") << "trim alone on a built-in sound";
  const struct {
    SoundShape shape;
    bool trimmable;
    const wchar_t* text;
  } cases[] = {
      {{-3, SecondPress::Stop, 0, 200, 120, 0}, true, L"音量:-3;再次按下:停止;淡入:0;淡出:200;起点:120;终点:0"},
      {{0, SecondPress::Overlap, 0, 0, 0, 0}, false, L"音量:0;再次按下:叠加;淡入:0;淡出:0"},
      {{12, SecondPress::Loop, 5000, 5000, 0, 9}, true, L"音量:12;再次按下:循环;淡入:5000;淡出:5000;起点:0;终点:9"},
      {{0, SecondPress::Restart, 0, 0, 0, 1}, true, L"音量:0;再次按下:重新开始;淡入:0;淡出:0;起点:0;终点:1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatSoundShape(c.shape, c.trimmable), c.text);
    EXPECT_EQ(ParseSoundShape(c.text, c.trimmable), c.shape) << testing::PrintToString(std::wstring(c.text));
  }
}

}  // namespace
}  // namespace kivora

// How one sound plays, as the user set it: its level, what a second press does,
// its fades and, for a custom sound, where it starts and ends in its file. Kept
// as one readable line per sound in section 声音 of the settings file:
//   按钮65=音量:-3;再次按下:停止;淡入:0;淡出:200
// A part that is unknown or out of range is ignored alone; the rest of the line
// holds. A sound at the defaults has no line. Pure code.
#pragma once

#include <string>
#include <string_view>

#include "audio/engine/second_press.h"

namespace kivora {

struct SoundShape {
  static constexpr int kLevelMin = -30, kLevelMax = 12;  // dB, on top of the loudness match
  static constexpr int kFadeMaxMs = 5000;
  static constexpr int kTrimMaxMs = 60 * 60 * 1000;  // a trim past an hour is no trim anyone means

  int levelDb = 0;
  audio::SecondPress press = audio::SecondPress::Restart;
  int fadeInMs = 0;
  int fadeOutMs = 0;
  // Custom sounds only: skipped at the file's start, and before its end.
  int startMs = 0;
  int endMs = 0;

  bool operator==(const SoundShape&) const = default;
  bool IsDefault() const { return *this == SoundShape{}; }
};

// The word for each way of taking a second press, as the file and the dialog name it.
std::wstring_view SecondPressName(audio::SecondPress press);

// trimmable: the sound is a custom one, whose 起点 and 终点 count; a built-in
// sound's are ignored as unknown parts.
SoundShape ParseSoundShape(std::wstring_view text, bool trimmable);

// The line for shape, every part spelled out; empty for the defaults.
std::wstring FormatSoundShape(SoundShape shape, bool trimmable);

}  // namespace kivora

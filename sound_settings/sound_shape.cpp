#include "sound_settings/sound_shape.h"

#include <array>
#include <optional>

namespace kivora {
namespace {

using audio::SecondPress;

constexpr std::wstring_view kLevelPart = L"音量";
constexpr std::wstring_view kPressPart = L"再次按下";
constexpr std::wstring_view kFadeInPart = L"淡入";
constexpr std::wstring_view kFadeOutPart = L"淡出";
constexpr std::wstring_view kStartPart = L"起点";
constexpr std::wstring_view kEndPart = L"终点";

struct PressName {
  SecondPress press;
  std::wstring_view name;
};
constexpr std::array<PressName, 4> kPressNames{{
    {SecondPress::Restart, L"重新开始"},
    {SecondPress::Stop, L"停止"},
    {SecondPress::Overlap, L"叠加"},
    {SecondPress::Loop, L"循环"},
}};

// A number part: one integer with an optional sign, blanks around it allowed;
// nothing for anything else or a value outside min..max.
std::optional<int> IntegerIn(std::wstring_view text, int min, int max) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
    negative = text.front() == L'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (negative) value = -value;
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  return text;
}

bool IsSeparator(wchar_t c) { return c == L';' || c == L'；'; }
bool IsColon(wchar_t c) { return c == L':' || c == L'：'; }

// One "name:value" part, read into shape when it is known and in range.
void ReadPart(std::wstring_view part, bool trimmable, SoundShape& shape) {
  size_t colon = 0;
  while (colon < part.size() && !IsColon(part[colon])) ++colon;
  if (colon == part.size()) return;
  const std::wstring_view name = Trimmed(part.substr(0, colon));
  const std::wstring_view value = part.substr(colon + 1);
  if (name == kPressPart) {
    for (const PressName& entry : kPressNames) {
      if (Trimmed(value) == entry.name) shape.press = entry.press;
    }
    return;
  }
  struct NumberPart {
    std::wstring_view name;
    int* field;
    int min, max;
    bool needsTrim;
  };
  const std::array<NumberPart, 5> numbers{{
      {kLevelPart, &shape.levelDb, SoundShape::kLevelMin, SoundShape::kLevelMax, false},
      {kFadeInPart, &shape.fadeInMs, 0, SoundShape::kFadeMaxMs, false},
      {kFadeOutPart, &shape.fadeOutMs, 0, SoundShape::kFadeMaxMs, false},
      {kStartPart, &shape.startMs, 0, SoundShape::kTrimMaxMs, true},
      {kEndPart, &shape.endMs, 0, SoundShape::kTrimMaxMs, true},
  }};
  for (const NumberPart& number : numbers) {
    if (name != number.name || (number.needsTrim && !trimmable)) continue;
    if (const std::optional<int> parsed = IntegerIn(value, number.min, number.max)) *number.field = *parsed;
  }
}

}  // namespace

std::wstring_view SecondPressName(SecondPress press) {
  for (const PressName& entry : kPressNames) {
    if (entry.press == press) return entry.name;
  }
  return kPressNames.front().name;
}

SoundShape ParseSoundShape(std::wstring_view text, bool trimmable) {
  SoundShape shape;
  size_t begin = 0;
  for (size_t pos = 0; pos <= text.size(); ++pos) {
    if (pos < text.size() && !IsSeparator(text[pos])) continue;
    ReadPart(text.substr(begin, pos - begin), trimmable, shape);
    begin = pos + 1;
  }
  return shape;
}

std::wstring FormatSoundShape(SoundShape shape, bool trimmable) {
  if (!trimmable) shape.startMs = shape.endMs = 0;
  if (shape.IsDefault()) return {};
  std::wstring text = std::wstring(kLevelPart) + L":" + std::to_wstring(shape.levelDb);
  text += L";" + std::wstring(kPressPart) + L":" + std::wstring(SecondPressName(shape.press));
  text += L";" + std::wstring(kFadeInPart) + L":" + std::to_wstring(shape.fadeInMs);
  text += L";" + std::wstring(kFadeOutPart) + L":" + std::to_wstring(shape.fadeOutMs);
  if (trimmable) {
    text += L";" + std::wstring(kStartPart) + L":" + std::to_wstring(shape.startMs);
    text += L";" + std::wstring(kEndPart) + L":" + std::to_wstring(shape.endMs);
  }
  return text;
}

}  // namespace kivora

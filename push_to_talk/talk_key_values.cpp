#include "push_to_talk/talk_key_values.h"

#include <algorithm>
#include <cwchar>

namespace kivora {
namespace {

// A whole number of ms, the whole text of it, within 0..high; otherwise fallback.
int MillisecondsIn(const std::wstring& text, int high, int fallback) {
  if (text.empty() || text.size() > 9) return fallback;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return fallback;
  }
  return std::min(static_cast<int>(std::wcstol(text.c_str(), nullptr, 10)), high);
}

}  // namespace

TalkKeyValues TalkKeyValuesOf(const TalkKeySetting& setting) {
  TalkKeyValues values;
  values.key = ParseHotkey(setting.key);
  const TalkTiming defaults;
  values.timing.leadMs = MillisecondsIn(setting.leadMs, kMaxTalkLeadMs, defaults.leadMs);
  values.timing.tailMs = MillisecondsIn(setting.tailMs, kMaxTalkTailMs, defaults.tailMs);
  return values;
}

TalkKeySetting TalkKeySettingOf(const TalkKeyValues& values) {
  return {values.key ? FormatHotkey(*values.key) : std::wstring(), std::to_wstring(values.timing.leadMs),
          std::to_wstring(values.timing.tailMs)};
}

}  // namespace kivora

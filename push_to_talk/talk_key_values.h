// The talk key's settings as values, from the text section 输出 keeps, and back.
// Pure: a key that names nothing gives none (the hold is off), a number that is
// missing or makes no sense gives its default, one out of range its nearest end.
#pragma once

#include <optional>
#include <string>

#include "hotkeys/hotkey_text.h"
#include "push_to_talk/talk_hold.h"
#include "settings/settings_store.h"

namespace kivora {

inline constexpr int kMaxTalkLeadMs = 500;
inline constexpr int kMaxTalkTailMs = 2000;

struct TalkKeyValues {
  std::optional<Hotkey> key;
  TalkTiming timing;
  bool operator==(const TalkKeyValues&) const = default;
};

TalkKeyValues TalkKeyValuesOf(const TalkKeySetting& setting);
TalkKeySetting TalkKeySettingOf(const TalkKeyValues& values);

}  // namespace kivora

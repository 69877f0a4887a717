// The microphone's settings as numbers, from the text section 输出 keeps, and
// back. Pure: a value that is missing or makes no sense gives its default.
#pragma once

#include <string>

#include "settings/settings_store.h"

namespace kivora {

struct MicrophoneValues {
  double gainDb = 0;  // -20..20
  bool muted = false;
  double duckDb = 0;  // 0: not lowered; up to 40
};

MicrophoneValues MicrophoneValuesOf(const MicrophoneSetting& setting);
std::wstring GainText(double gainDb);

}  // namespace kivora

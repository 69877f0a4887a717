#include "second_output/microphone_values.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace kivora {
namespace {

// The number text holds, whole of it, within low..high; otherwise fallback.
double NumberIn(const std::wstring& text, double low, double high, double fallback) {
  if (text.empty()) return fallback;
  wchar_t* end = nullptr;
  const double value = std::wcstod(text.c_str(), &end);
  if (end == text.c_str() || *end != L'\0' || !std::isfinite(value)) return fallback;
  return std::clamp(value, low, high);
}

}  // namespace

MicrophoneValues MicrophoneValuesOf(const MicrophoneSetting& setting) {
  MicrophoneValues values;
  values.gainDb = NumberIn(setting.gainDb, -20, 20, 0);
  values.muted = setting.muted == L"1";
  values.duckDb = NumberIn(setting.duckDb, 0, 40, 0);
  return values;
}

std::wstring GainText(double gainDb) { return std::to_wstring(static_cast<int>(std::lround(gainDb))); }

}  // namespace kivora

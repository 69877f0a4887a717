// The level of each output, in percent: 耳机音量 for the headphones (the default
// device) and 直播音量 for the broadcast (the device chosen under 同时输出到), on
// top of the main window's volume. Kept in section 输出; a value that is missing
// or not a whole number in 0..100 reads as 100. UI thread only.
#pragma once

#include <functional>
#include <string_view>

#include "settings/settings_store.h"

namespace kivora {

// A kept level as text: the percentage it holds, or 100.
int OutputLevelOf(std::wstring_view text);

struct OutputLevelPair {
  int monitor = 100;
  int broadcast = 100;
  bool operator==(const OutputLevelPair&) const = default;
};

class OutputLevels {
 public:
  explicit OutputLevels(SettingsStore& settings) : settings_(settings) {}

  // changed hears every level set from now on (the engine's sinks follow it).
  void Watch(std::function<void(OutputLevelPair)> changed) { changed_ = std::move(changed); }
  void Restore(const SavedOutputLevels& saved);
  OutputLevelPair Levels() const { return levels_; }
  // Kept and written when it differs from what is there.
  void Set(OutputLevelPair levels);

 private:
  SettingsStore& settings_;
  std::function<void(OutputLevelPair)> changed_;
  OutputLevelPair levels_;
};

}  // namespace kivora

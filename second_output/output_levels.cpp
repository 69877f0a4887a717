#include "second_output/output_levels.h"

#include <algorithm>

namespace kivora {

int OutputLevelOf(std::wstring_view text) {
  while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 3) return 100;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 100;
    value = value * 10 + (c - L'0');
  }
  return value <= 100 ? value : 100;
}

void OutputLevels::Restore(const SavedOutputLevels& saved) {
  levels_ = {OutputLevelOf(saved.monitor), OutputLevelOf(saved.broadcast)};
  if (changed_) changed_(levels_);
}

void OutputLevels::Set(OutputLevelPair levels) {
  levels.monitor = std::clamp(levels.monitor, 0, 100);
  levels.broadcast = std::clamp(levels.broadcast, 0, 100);
  if (levels == levels_) return;
  levels_ = levels;
  settings_.WriteOutputLevels(levels_.monitor, levels_.broadcast);
  if (changed_) changed_(levels_);
}

}  // namespace kivora

// Every sound's shape (level, second press, fades, trim), by its key: the layout
// name of its button. Restored from section 声音 at start-up and written there
// the moment one changes; a sound at its defaults has no line. UI thread only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "audio/engine/sound_press.h"
#include "settings/settings_store.h"
#include "sound_settings/sound_shape.h"

namespace kivora {

// One sound that can be shaped: its button's layout name, and whether it is a
// custom slot (only those are trimmed).
struct ShapedSound {
  std::wstring key;
  bool custom = false;
};

// How a press plays a sound of this shape: its level as a gain, its fades and
// trim, and a loop for the mode 循环.
audio::SoundPress PressOf(const SoundShape& shape);

class SoundSettings {
 public:
  explicit SoundSettings(SettingsStore& settings) : settings_(settings) {}

  // The sounds there are, and each one's line as saved.
  void Restore(std::vector<ShapedSound> sounds, const SavedSettings& saved);

  const std::vector<ShapedSound>& Sounds() const { return sounds_; }
  // The defaults for a sound that has no line or is not one of Sounds().
  SoundShape Of(const std::wstring& key) const;
  // Keeps shape for the sound and writes its line (or takes it out at the defaults).
  void Set(const std::wstring& key, const SoundShape& shape);
  // A custom slot got another file or none: where the old file started and ended
  // means nothing for the new one, so the trim goes; the level, the second press
  // and the fades belong to the button and stay.
  void FileChanged(const std::wstring& key);

 private:
  const ShapedSound* Find(const std::wstring& key) const;

  SettingsStore& settings_;
  std::vector<ShapedSound> sounds_;
  std::map<std::wstring, SoundShape> shapes_;  // only the sounds away from their defaults
};

}  // namespace kivora

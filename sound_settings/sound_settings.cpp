#include "sound_settings/sound_settings.h"

#include "audio/dsp/voice_envelope.h"

namespace kivora {

audio::SoundPress PressOf(const SoundShape& shape) {
  audio::SoundPress press;
  press.mode = shape.press;
  press.clip = {.gain = shape.levelDb == 0 ? 1.0f : audio::GainOfDecibels(shape.levelDb),
                .fadeInMs = shape.fadeInMs,
                .fadeOutMs = shape.fadeOutMs,
                .headMs = shape.startMs,
                .tailMs = shape.endMs,
                .loop = shape.press == audio::SecondPress::Loop};
  return press;
}

void SoundSettings::Restore(std::vector<ShapedSound> sounds, const SavedSettings& saved) {
  sounds_ = std::move(sounds);
  shapes_.clear();
  std::vector<std::wstring> keys;
  for (const ShapedSound& sound : sounds_) keys.push_back(sound.key);
  const std::vector<std::wstring> lines = saved.SoundShapes(keys);
  for (size_t index = 0; index < sounds_.size(); ++index) {
    const SoundShape shape = ParseSoundShape(lines[index], sounds_[index].custom);
    if (!shape.IsDefault()) shapes_[sounds_[index].key] = shape;
  }
}

SoundShape SoundSettings::Of(const std::wstring& key) const {
  const auto found = shapes_.find(key);
  return found == shapes_.end() ? SoundShape{} : found->second;
}

void SoundSettings::Set(const std::wstring& key, const SoundShape& shape) {
  const ShapedSound* sound = Find(key);
  if (!sound) return;
  // What the line can say is what is kept: a built-in sound has no trim.
  const std::wstring line = FormatSoundShape(shape, sound->custom);
  const SoundShape kept = ParseSoundShape(line, sound->custom);
  if (kept == Of(key)) return;
  if (kept.IsDefault()) shapes_.erase(key);
  else shapes_[key] = kept;
  settings_.WriteSoundShape(key, line);
}

void SoundSettings::FileChanged(const std::wstring& key) {
  SoundShape shape = Of(key);
  shape.startMs = shape.endMs = 0;
  Set(key, shape);
}

const ShapedSound* SoundSettings::Find(const std::wstring& key) const {
  for (const ShapedSound& sound : sounds_) {
    if (sound.key == key) return &sound;
  }
  return nullptr;
}

}  // namespace kivora

#include "audio/engine/engine_backend.h"

#include <mmsystem.h>

#include <algorithm>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/file_byte_source.h"

namespace kivora::audio {
namespace {

constexpr float kDeviceVolumeMaximum = 1000.0f;

}  // namespace

EngineBackend::~EngineBackend() {
  next_.reset();
  CloseSound();
}

void EngineBackend::ShapeNextSound(const SoundPress& press, bool cutsOthers) { next_ = NextSound{press, cutsOthers}; }

DeviceResult EngineBackend::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  alias_ = alias;
  // One alias names one sound: opening it again replaces what it named.
  if (sound_ && sound_->alias == alias) CloseSound();
  const NextSound next = std::exchange(next_, std::nullopt).value_or(NextSound{});
  Forget();
  SoundShaping shaping{next.press.clip, next.cutsOthers, next.press.monitorOnly};
  if (std::shared_ptr<Sound> voice = engine_.Prepare(path, shaping)) {
    sound_ = OpenSound{alias, next.press.key, std::move(voice)};
    return 0;
  }
  // A file the engine knows to be damaged stays silent: the system player's drivers
  // would trust its sizes and counts, and one bad file must not end the program.
  if (auto source = FileByteSource::Open(path); source && KnownDamaged(*source)) return MCIERR_INVALID_FILE;
  const DeviceResult result = fallback_.Open(deviceType, path, alias);
  // The fallback plays on its own stream; under some systems only one stream may be open.
  if (result == 0) {
    for (OpenSound& other : others_) other.voice->Stop();
    others_.clear();
    engine_.ReleaseDevice();
    if (fallbackHeard_) fallbackHeard_(path);
  }
  return result;
}

DeviceResult EngineBackend::Send(const std::wstring& command) {
  const auto parsed = ParseDeviceCommand(command);
  if (parsed && parsed->alias == alias_) ActOnOthers(*parsed);
  if (sound_ && parsed && parsed->alias == sound_->alias) return Act(*sound_, *parsed);
  return fallback_.Send(command);
}

DeviceResult EngineBackend::Act(OpenSound& sound, const DeviceCommand& command) {
  switch (command.verb) {
    case DeviceVerb::Play:
      sound.voice->SetPaused(false);
      if (!sound.started) {
        engine_.Start(sound.voice);
        sound.started = true;
      } else {
        engine_.Resumed();
      }
      return 0;
    case DeviceVerb::Pause:
      sound.voice->SetPaused(true);
      return 0;
    case DeviceVerb::Resume:
      sound.voice->SetPaused(false);
      engine_.Resumed();
      return 0;
    case DeviceVerb::Close:
      CloseSound();
      return 0;
    case DeviceVerb::SetVolume: {
      const float gain = static_cast<float>(command.volume) / kDeviceVolumeMaximum;
      if (command.channel != VolumeChannel::Right) sound.left = gain;
      if (command.channel != VolumeChannel::Left) sound.right = gain;
      sound.voice->SetGain(sound.left, sound.right);
      return 0;
    }
  }
  return MCIERR_UNRECOGNIZED_COMMAND;
}

void EngineBackend::ActOnOthers(const DeviceCommand& command) {
  for (OpenSound& other : others_) {
    switch (command.verb) {
      // The pause is the engine's one state: a sound played, or resumed, lets every sound go on.
      case DeviceVerb::Play:
      case DeviceVerb::Resume: other.voice->SetPaused(false); break;
      case DeviceVerb::Pause: other.voice->SetPaused(true); break;
      case DeviceVerb::SetVolume: {
        const float gain = static_cast<float>(command.volume) / kDeviceVolumeMaximum;
        if (command.channel != VolumeChannel::Right) other.left = gain;
        if (command.channel != VolumeChannel::Left) other.right = gain;
        other.voice->SetGain(other.left, other.right);
        break;
      }
      case DeviceVerb::Close: break;  // CloseSound decides
    }
  }
  if (command.verb == DeviceVerb::Resume && !others_.empty()) engine_.Resumed();
}

void EngineBackend::CloseSound() {
  // A press that lets what plays go on keeps the open sound playing among the others.
  const bool keep = next_ && !next_->cutsOthers;
  if (sound_) {
    if (keep && sound_->started) others_.push_back(std::move(*sound_));
    else sound_->voice->Stop();
    sound_.reset();
  }
  if (keep) return;
  for (OpenSound& other : others_) other.voice->Stop();
  others_.clear();
}

void EngineBackend::Forget() {
  std::erase_if(others_, [](const OpenSound& other) { return !other.voice->Sounding(); });
}

bool EngineBackend::Sounding(const std::wstring& key) {
  Forget();
  if (sound_ && sound_->started && sound_->key == key && sound_->voice->Sounding()) return true;
  return std::ranges::any_of(others_, [&](const OpenSound& other) { return other.key == key; });
}

void EngineBackend::StopSound(const std::wstring& key) {
  if (sound_ && sound_->key == key) sound_->voice->Stop();
  for (OpenSound& other : others_) {
    if (other.key == key) other.voice->Stop();
  }
  Forget();
}

size_t EngineBackend::SoundsHeld() {
  Forget();
  return others_.size() + (sound_ && sound_->voice->Sounding() ? 1 : 0);
}

}  // namespace kivora::audio

#include "audio/engine/engine_backend.h"

#include <mmsystem.h>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/file_byte_source.h"

namespace kivora::audio {
namespace {

constexpr float kDeviceVolumeMaximum = 1000.0f;

}  // namespace

EngineBackend::~EngineBackend() { CloseSound(); }

DeviceResult EngineBackend::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  // One alias names one sound: opening it again replaces what it named.
  if (sound_ && sound_->alias == alias) CloseSound();
  if (std::shared_ptr<Sound> voice = engine_.Prepare(path)) {
    sound_ = OpenSound{alias, std::move(voice)};
    return 0;
  }
  // A file the engine knows to be damaged stays silent: the system player's drivers
  // would trust its sizes and counts, and one bad file must not end the program.
  if (auto source = FileByteSource::Open(path); source && KnownDamaged(*source)) return MCIERR_INVALID_FILE;
  const DeviceResult result = fallback_.Open(deviceType, path, alias);
  // The fallback plays on its own stream; under some systems only one stream may be open.
  if (result == 0) {
    engine_.ReleaseDevice();
    if (fallbackHeard_) fallbackHeard_(path);
  }
  return result;
}

DeviceResult EngineBackend::Send(const std::wstring& command) {
  const auto parsed = ParseDeviceCommand(command);
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

void EngineBackend::CloseSound() {
  if (!sound_) return;
  sound_->voice->Stop();
  sound_.reset();
}

}  // namespace kivora::audio

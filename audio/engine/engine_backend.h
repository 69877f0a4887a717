// The Player's back end for everyday use: sounds the engine can decode play
// through it at once, on every output; anything else (other formats, files it
// refuses) goes to the fallback back end, which plays on the default device only.
// Owned by the thread that controls sounds.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/engine/audio_backend.h"
#include "audio/engine/device_command.h"
#include "audio/engine/sound_engine.h"

namespace kivora::audio {

class EngineBackend final : public AudioBackend {
 public:
  EngineBackend(SoundEngine& engine, AudioBackend& fallback) : engine_(engine), fallback_(fallback) {}
  // Hears the path of each file the fallback opened: it plays on the default device only.
  void OnFallback(std::function<void(const std::wstring&)> heard) { fallbackHeard_ = std::move(heard); }
  ~EngineBackend() override;

  DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) override;
  DeviceResult Send(const std::wstring& command) override;

  // Whether the sound opened last is the engine's (false: the fallback's, or none).
  bool EngineHasSound() const { return sound_.has_value(); }

 private:
  struct OpenSound {
    std::wstring alias;
    std::shared_ptr<Sound> voice;
    bool started = false;
    float left = 1.0f, right = 1.0f;
  };
  DeviceResult Act(OpenSound& sound, const DeviceCommand& command);
  void CloseSound();

  SoundEngine& engine_;
  AudioBackend& fallback_;
  std::function<void(const std::wstring&)> fallbackHeard_;
  std::optional<OpenSound> sound_;
};

}  // namespace kivora::audio

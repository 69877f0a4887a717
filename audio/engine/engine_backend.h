// The Player's back end for everyday use: sounds the engine can decode play
// through it at once, on every output; anything else (other formats, files it
// refuses) goes to the fallback back end, which plays on the default device only.
// The Player names one sound at a time; sounds that a press let play on when the
// next one opened stay here, by the button that started them, so pause, volume
// and a stop still reach them. Owned by the thread that controls sounds.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  void ShapeNextSound(const SoundPress& press, bool cutsOthers) override;
  bool Sounding(const std::wstring& key) override;
  void StopSound(const std::wstring& key) override;

  // Whether the sound opened last is the engine's (false: the fallback's, or none).
  bool EngineHasSound() const { return sound_.has_value(); }
  // The engine's sounds that have not ended, the one opened last among them.
  size_t SoundsHeld();

 private:
  struct OpenSound {
    std::wstring alias;
    std::wstring key;
    std::shared_ptr<Sound> voice;
    bool started = false;
    float left = 1.0f, right = 1.0f;
  };
  struct NextSound {
    SoundPress press;
    bool cutsOthers = true;
  };
  DeviceResult Act(OpenSound& sound, const DeviceCommand& command);
  // What the Player's other sounds do on a command to its alias: they pause,
  // resume and take the volume along with the open one.
  void ActOnOthers(const DeviceCommand& command);
  void CloseSound();
  void Forget();  // lets the sounds that have ended go

  SoundEngine& engine_;
  AudioBackend& fallback_;
  std::function<void(const std::wstring&)> fallbackHeard_;
  std::optional<OpenSound> sound_;
  std::vector<OpenSound> others_;  // started, and playing on alongside sound_
  std::optional<NextSound> next_;  // how the sound opened next plays
  std::wstring alias_;             // the Player's alias, from its first open
};

}  // namespace kivora::audio

// The Player's back end while every sound also plays on a second device: each
// command goes to the main back end, whose answer the Player gets, and then to the
// mirror, whose answer is ignored. So volume, mute, pause and the cut-off of one
// sound by the next act on both devices at once, and a mirror that fails (a device
// unplugged, a file it cannot play) never changes what the user hears on the main one.
#pragma once

#include "audio/engine/audio_backend.h"

namespace kivora::audio {

class MirroredBackend final : public AudioBackend {
 public:
  explicit MirroredBackend(AudioBackend& main) : main_(main) {}

  // The back end that plays the same sounds elsewhere; nullptr: none. Set on the
  // thread that sends the commands, between two of them.
  void SetMirror(AudioBackend* mirror) { mirror_ = mirror; }

  DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) override;
  DeviceResult Send(const std::wstring& command) override;

 private:
  AudioBackend& main_;
  AudioBackend* mirror_ = nullptr;
};

// A fallback that plays nothing: the mirror has no second way to play a file its
// engine cannot decode, and the main back end's fallback already plays it.
class SilentBackend final : public AudioBackend {
 public:
  DeviceResult Open(const std::wstring&, const std::wstring&, const std::wstring&) override;
  DeviceResult Send(const std::wstring&) override;
};

}  // namespace kivora::audio

// The second device every sound plays on, beside the default one: a sound engine
// of its own on that device (its own thread, stream, clock and rate conversion),
// fed the same commands as the main one through the mirror. A device that is not
// there plays nothing and is tried again at the next sound, so a cable that comes
// back is used again without a restart; the default device plays on regardless.
#pragma once

#include <memory>
#include <string>

#include "audio/dsp/clip_gain.h"
#include "audio/engine/engine_backend.h"
#include "audio/engine/mirrored_backend.h"
#include "audio/engine/sound_engine.h"
#include "audio/device/wasapi_output.h"

namespace kivora {

class SecondOutput {
 public:
  // Sounds are levelled by gains, the main engine's: both devices play a file alike.
  SecondOutput(audio::MirroredBackend& mirrored, audio::ClipGains& gains) : mirrored_(mirrored), gains_(gains) {}
  ~SecondOutput();
  SecondOutput(const SecondOutput&) = delete;
  SecondOutput& operator=(const SecondOutput&) = delete;

  // Plays every following sound on the device of endpointId as well; empty: on
  // none. Called on the thread that plays sounds (the window's).
  void Use(const std::wstring& endpointId);
  const std::wstring& EndpointId() const { return endpointId_; }

 private:
  // What plays on the second device, made and destroyed together.
  struct Chain {
    Chain(const std::wstring& endpointId, audio::ClipGains& gains);
    audio::WasapiOutputDevice device;
    audio::SoundEngine engine;
    audio::SilentBackend none;
    audio::EngineBackend backend;
  };

  audio::MirroredBackend& mirrored_;
  audio::ClipGains& gains_;
  std::wstring endpointId_;
  std::unique_ptr<Chain> chain_;
};

}  // namespace kivora

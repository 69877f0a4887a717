// The two back ends the Player runs on in the program: the Media Control
// Interface alone, and the sound engine in front of it. Real-sound tests run
// against each, on the session's recorded sound device.
#pragma once

#include <memory>
#include <string>

#include "audio/engine/engine_backend.h"
#include "audio/engine/mci_backend.h"
#include "audio/device/output_device.h"
#include "audio/engine/sound_engine.h"
#include "audio/device/wasapi_output.h"

namespace kivora::audio {

enum class BackendKind { Mci, Engine };

inline std::string BackendName(BackendKind kind) { return kind == BackendKind::Mci ? "Mci" : "Engine"; }

// A device that works like the real one until told to fail: then every stream
// it opened reports a device error, as when the sound card goes away.
class FailingOutputDevice final : public OutputDevice {
 public:
  std::unique_ptr<OutputStream> Open() override;
  void FailNow() { failed_ = true; }
  void Recover() { failed_ = false; }
  // The streams open now fail, as when the device is invalidated; new ones work.
  void InvalidateOpenStreams() { validFrom_ = opened_.load(); }

 private:
  WasapiOutputDevice real_;
  std::atomic<bool> failed_{false};
  std::atomic<int> opened_{0};     // streams opened so far
  std::atomic<int> validFrom_{0};  // streams numbered below this one fail
};

class BackendUnderTest {
 public:
  explicit BackendUnderTest(BackendKind kind);
  AudioBackend& Get() { return engineBackend_ ? static_cast<AudioBackend&>(*engineBackend_) : mci_; }
  SoundEngine* Engine() { return engine_.get(); }
  EngineBackend* EngineBack() { return engineBackend_.get(); }
  FailingOutputDevice& Device() { return *device_; }

 private:
  MciBackend mci_;
  std::shared_ptr<FailingOutputDevice> device_ = std::make_shared<FailingOutputDevice>();
  std::unique_ptr<SoundEngine> engine_;
  std::unique_ptr<EngineBackend> engineBackend_;
};

}  // namespace kivora::audio

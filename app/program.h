// Kivora as its entry point runs it: the real services and sound back ends, and
// the App over them. The benchmarks start the same program in their own process.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "app/app.h"
#include "app/shell_texts.h"
#include "audio/engine/engine_backend.h"
#include "audio/engine/mci_backend.h"
#include "audio/engine/sound_engine.h"
#include "audio/device/wasapi_output.h"
#include "second_output/second_output.h"

namespace kivora {

class Program {
 public:
  // shell outlives the Program: the exit cleanup releases it after the Program is gone.
  explicit Program(ShellTexts& shell, std::function<void(std::string_view)> startupStepEnded = {});

  // Creates the window, whose start-up runs inside, then has the engine open its
  // stream on its own thread; false when no window could be made.
  bool Start(HINSTANCE instance);
  int RunEventLoop() { return app_.RunEventLoop(); }
  App& Application() { return app_; }

 private:
  ui::SystemPrompts prompts_;
  ShellWebOpener web_;
  SystemFileChooser fileChooser_;
  // The back ends outlive the App: the player closes its sound on the way out.
  audio::MciBackend mci_;
  audio::SoundEngine engine_;
  audio::EngineBackend audio_;
  SecondOutput secondOutput_;
  App app_;
};

}  // namespace kivora

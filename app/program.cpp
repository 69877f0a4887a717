#include "app/program.h"

#include <utility>

namespace kivora {
namespace {

// KIVORA_MICROPHONE_PACE=free, read once at start: the microphone's path reads at
// its nominal rate and waits for what is late, for devices that are not paced in
// real time (Wine's file devices, in the end-to-end tests), where holding the
// delay to the devices' clocks would cut the voice.
audio::FillPolicy MicrophonePace() {
  wchar_t value[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"KIVORA_MICROPHONE_PACE", value, 16);
  return length > 0 && length < 16 && std::wstring_view(value) == L"free" ? audio::FillPolicy::kFree : audio::FillPolicy::kHeld;
}

}  // namespace

Program::Program(ShellTexts& shell, std::function<void(std::string_view)> startupStepEnded)
    : engine_(output_),
      engineBackend_(engine_, mci_),
      audio_(engineBackend_),
      secondOutput_(audio_, engine_.FileGains(), MicrophonePace()),
      app_({prompts_, web_, fileChooser_, audio_, {}, true, &engine_.FileGains(), &secondOutput_,
            std::move(startupStepEnded)},
           shell) {}

bool Program::Start(HINSTANCE instance) {
  if (!app_.Start(instance)) return false;
  engine_.OpenStream();  // on the engine's own thread, once the window is up
  return true;
}

}  // namespace kivora

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
    : engine_(std::make_shared<audio::WasapiOutputDevice>()),
      audio_(engine_, mci_),
      secondOutput_(engine_, {}, MicrophonePace()),
      app_({prompts_, web_, fileChooser_, audio_, {}, true, &engine_.FileGains(), &secondOutput_,
            std::move(startupStepEnded)},
           shell) {
  // A file only the system's player takes plays on the default device alone.
  audio_.OnFallback([this](const std::wstring& path) { secondOutput_.PlayedOnDefaultOnly(path); });
}

bool Program::Start(HINSTANCE instance) {
  if (!app_.Start(instance)) return false;
  engine_.OpenStream();  // on the engine's own thread, once the window is up
  return true;
}

}  // namespace kivora

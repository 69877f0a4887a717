#include "app/program.h"

#include <utility>

namespace kivora {

Program::Program(ShellTexts& shell, std::function<void(std::string_view)> startupStepEnded)
    : engine_(std::make_shared<audio::WasapiOutputDevice>()),
      audio_(engine_, mci_),
      secondOutput_(engine_),
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

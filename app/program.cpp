#include "app/program.h"

#include <utility>

namespace kivora {

Program::Program(ShellTexts& shell, std::function<void(std::string_view)> startupStepEnded)
    : engine_(output_),
      engineBackend_(engine_, mci_),
      audio_(engineBackend_),
      secondOutput_(audio_, engine_.FileGains()),
      app_({prompts_, web_, fileChooser_, audio_, {}, true, &engine_.FileGains(), &secondOutput_,
            std::move(startupStepEnded)},
           shell) {}

bool Program::Start(HINSTANCE instance) {
  if (!app_.Start(instance)) return false;
  engine_.OpenStream();  // on the engine's own thread, once the window is up
  return true;
}

}  // namespace kivora

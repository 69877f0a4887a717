// Leaving the program: the confirmed exit from the menu, and the teardown that
// runs however the window goes (menu, close box, Alt+F4 or Esc).
#include <windows.h>

#include "app/app.h"

namespace kivora {

void App::ConfirmExit() {
  int answer = services_.prompts.Show(L"是否退出？", L"提示", MB_YESNO | MB_TASKMODAL);
  if (answer == IDYES) window_.Destroy();
}

void App::Teardown() {}

}  // namespace kivora

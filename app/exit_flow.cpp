// Leaving the program: the confirmed exit from the menu, and the teardown that
// runs however the window goes (menu, close box, Alt+F4 or Esc).
#include <windows.h>

#include "app/app.h"

namespace kivora {

void App::ConfirmExit() {
  int answer = services_.prompts.Show(L"是否退出？", L"提示", MB_YESNO | MB_TASKMODAL);
  if (answer == IDYES) window_.Destroy();
}

// While the window is destroyed, its controls still there: the volume is saved
// (also while muted: muting never moves the slider), then the sound stops.
void App::Teardown() {
  remote_.Stop();  // no request reaches a window that is going
  pushToTalk_.Quit();  // the talk key comes up, whatever still plays
  hotkeys_.UnregisterAll();  // the keys go back to the system while the window that holds them is still there
  docking_.Uninstall();
  StopCustomSoundExtras();  // the drop target goes while its window is there
  banner_.Cancel();  // a banner still on its way must not reach a window that is going
  volumeRow_.Save();
  player_.Close();
}

}  // namespace kivora

// The floor under Kivora's start-up: Kivora's own main window, made by the same
// code from the same layout table with the same manifest (Common Controls 6), and
// nothing else: no pictures, skin, shadow, sound, tray icon or settings.
// startup_time starts it beside Kivora and the bare window: what it costs over the
// bare window is the controls' share, what Kivora costs over it is Kivora's own.
#include <windows.h>
#include <commctrl.h>

#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  kivora::ui::MainWindow window;
  if (!window.Create(instance)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.Exists() && IsDialogMessageW(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

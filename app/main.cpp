// Kivora's entry point: prepares the process, creates the main window (whose
// created event runs the start-up sequence) and runs the event loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/app.h"
#include "app/gdiplus_session.h"
#include "app/shell_texts.h"
#include "audio/mci_backend.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The open-file dialog needs a single-threaded apartment on this thread; it must
  // be in place before the sound device (which asks for COM itself) is first opened.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  kivora::RegisterExitCleanup();
  kivora::StartGdiplusOnce();

  kivora::ui::SystemPrompts prompts;
  kivora::ShellWebOpener web;
  kivora::SystemFileChooser fileChooser;
  kivora::audio::MciBackend audio;
  kivora::App app({prompts, web, fileChooser, audio});
  if (!app.Start(instance)) return 1;
  return app.RunEventLoop();
}

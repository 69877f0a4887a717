// Kivora's entry point: prepares the process, creates the main window (whose
// created event runs the start-up sequence) and runs the event loop.
#include <windows.h>

#include "app/process_start.h"
#include "app/program.h"
#include "app/shell_texts.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  kivora::StartProcess();
  // Made before everything that uses the texts, so it is destroyed after all of
  // them: the texts are released once, as the process ends.
  kivora::ExitCleanup exitCleanup;
  kivora::Program program(exitCleanup.Texts());
  if (!program.Start(instance)) return 1;
  return program.RunEventLoop();
}

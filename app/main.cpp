// Kivora's entry point: a command line with an option is handed to the Kivora
// that runs; otherwise it prepares the process, creates the main window (whose
// created event runs the start-up sequence) and runs the event loop.
#include <windows.h>

#include "app/command_line_entry.h"
#include "app/process_start.h"
#include "app/program.h"
#include "app/shell_texts.h"
#include "remote/forwarding.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const kivora::remote::RunningMark running;
  kivora::CommandLineOutcome commandLine = kivora::HandleCommandLine(running);
  if (commandLine.exitCode) return *commandLine.exitCode;
  kivora::StartProcess();
  // Made before everything that uses the texts, so it is destroyed after all of
  // them: the texts are released once, as the process ends.
  kivora::ExitCleanup exitCleanup;
  kivora::Program program(exitCleanup.Texts());
  if (commandLine.runWhenStarted) program.Application().RunWhenStarted(*commandLine.runWhenStarted);
  if (!program.Start(instance)) return 1;
  return program.RunEventLoop();
}

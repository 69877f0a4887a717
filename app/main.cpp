// Kivora's entry point: prepares the process, creates the main window (whose
// created event runs the start-up sequence) and runs the event loop.
#include <windows.h>

#include "app/app.h"
#include "app/process_start.h"
#include "app/shell_texts.h"
#include "second_output/second_output.h"
#include "audio/engine_backend.h"
#include "audio/mci_backend.h"
#include "audio/mirrored_backend.h"
#include "audio/wasapi_output.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  kivora::StartProcess();
  // Made before everything that uses the texts, so it is destroyed after all of
  // them: the texts are released once, as the process ends.
  kivora::ExitCleanup exitCleanup;

  kivora::ui::SystemPrompts prompts;
  kivora::ShellWebOpener web;
  kivora::SystemFileChooser fileChooser;
  // The back ends outlive the App: the player closes its sound on the way out.
  kivora::audio::MciBackend mci;
  kivora::audio::WasapiOutputDevice output;
  kivora::audio::SoundEngine engine(output);
  kivora::audio::EngineBackend engineBackend(engine, mci);
  kivora::audio::MirroredBackend audio(engineBackend);
  kivora::SecondOutput secondOutput(audio, engine.FileGains());
  kivora::App app({prompts, web, fileChooser, audio, {}, true, &engine.FileGains(), &secondOutput}, exitCleanup.Texts());
  if (!app.Start(instance)) return 1;
  engine.OpenStream();  // on the engine's own thread, once the window is up
  return app.RunEventLoop();
}

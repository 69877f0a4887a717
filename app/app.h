// The program: the main window, the services that need a person or a device,
// and the wiring of every control event to its handler.
#pragma once

#include <windows.h>

#include "audio/audio_backend.h"
#include "audio/player.h"
#include "audio/volume_row.h"
#include "custom/custom_slots.h"
#include "custom/file_chooser.h"
#include "decor/edge_docking.h"
#include "decor/web_opener.h"
#include "ui/main_window.h"
#include "ui/user_prompts.h"

namespace kivora {

// What the program asks of the world outside; tests put scripted versions here.
struct Services {
  ui::UserPrompts& prompts;
  WebOpener& web;
  FileChooser& fileChooser;
  audio::AudioBackend& audio;
};

class App {
 public:
  explicit App(Services services);
  // The window goes first: its teardown still needs the player and the volume row.
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Creates the main window; the start-up sequence runs inside its created event.
  bool Start(HINSTANCE instance);

  // Runs the event loop until the main window is gone; returns the exit code.
  int RunEventLoop();

  ui::MainWindow& Window() { return window_; }
  audio::Player& Player() { return player_; }
  CustomSlots& Slots() { return slots_; }
  decor::EdgeDocking& Docking() { return docking_; }

 private:
  void BindEvents();
  void RunStartupSequence();
  void OnNotificationArea(int operation);
  void ShowMenuAtPointer();
  void ConfirmExit();
  void Teardown();

  Services services_;
  ui::MainWindow window_;
  audio::Player player_;
  audio::VolumeRow volumeRow_;
  CustomSlots slots_;
  decor::EdgeDocking docking_;
};

}  // namespace kivora

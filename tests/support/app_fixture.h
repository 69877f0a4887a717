// Runs the real program in the test process: the same window, controls and
// handlers, with message boxes and the browser scripted.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "app/app.h"
#include "recording_audio_backend.h"
#include "scripted_prompts.h"

namespace kivora::testing {

class AppFixture {
 public:
  // Every fixture of a test program shares one documents folder of its own (so
  // test programs never share a Data folder). By default it starts from no
  // settings file, as a first start would; a restart keeps the file the
  // previous fixture left.
  enum class Settings { Fresh, AsTheyAre };
  // The skinned look the program starts with, or the plain system look under it.
  enum class Look { Skinned, Plain };
  explicit AppFixture(Settings settings = Settings::Fresh, Look look = Look::Skinned);
  ~AppFixture();

  App& app() { return *app_; }
  // The shell texts; the fixture's exit cleanup releases them after the App is gone.
  ShellTexts& shell() { return cleanup_->Texts(); }
  ui::MainWindow& window() { return app_->Window(); }
  HWND hwnd() { return app_->Window().Handle(); }
  ui::Control& control(std::wstring_view name) { return app_->Window()[name]; }

  // Delivers pending messages, as the event loop would between user actions.
  static void Pump();
  // Delivers loudness measurements as the event loop would, until none is under way
  // or waiting (at most 20 s); false when some still are.
  bool WaitForMeasurements();

  // A user's actions on a control, sent as the mouse and notification messages they make.
  void Click(std::wstring_view name);
  void DoubleClick(std::wstring_view name);
  void RightPress(std::wstring_view name);
  void ClickTab(int page);
  // Moves the slider's thumb as a drag does, one scroll notification.
  void DragSlider(int position);

  // The documents folder of this test program, its Data folder and settings file.
  static const std::wstring& DocumentsFolder();
  static std::wstring DataFolder();
  static std::wstring SettingsFile();

  ScriptedPrompts prompts;
  RecordingWebOpener web;
  ScriptedFileChooser fileChooser;
  RecordingAudioBackend audio;
  audio::ClipGains gains;  // what the engine would apply to each file

 private:
  std::unique_ptr<ExitCleanup> cleanup_;
  std::unique_ptr<App> app_;
};

}  // namespace kivora::testing

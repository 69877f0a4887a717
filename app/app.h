// The program: the main window, the services that need a person or a device,
// the features, and the wiring of every control event to its handler.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/shell_texts.h"
#include "audio/engine/audio_backend.h"
#include "audio/dsp/clip_gain.h"
#include "audio/engine/player.h"
#include "custom/custom_slots.h"
#include "custom/file_drop_target.h"
#include "custom/file_chooser.h"
#include "decor/banner_fetch.h"
#include "decor/edge_docking.h"
#include "decor/web_opener.h"
#include "hotkeys/hotkeys.h"
#include "loudness/loudness_matching.h"
#include "ontop/always_on_top.h"
#include "second_output/output_levels.h"
#include "push_to_talk/push_to_talk.h"
#include "remote/remote_feature.h"
#include "second_output/microphone_watch.h"
#include "second_output/second_output.h"
#include "settings/settings_store.h"
#include "sound_settings/sound_settings.h"
#include "sound_settings/sound_settings_section.h"
#include "ui/main_window.h"
#include "ui/user_prompts.h"
#include "volume/volume_row.h"

namespace kivora {

// What the program asks of the world outside; tests put scripted versions here.
struct Services {
  ui::UserPrompts& prompts;
  WebOpener& web;
  FileChooser& fileChooser;
  audio::AudioBackend& audio;
  // The folder the Data folder goes into; empty: the user's documents folder.
  std::wstring documentsFolder = {};
  // False keeps the plain system look: no skin and no shadow (tests of the plain look).
  bool decorate = true;
  // Where the engine looks up a file's gain (loudness matching); null: the App keeps its own.
  audio::ClipGains* fileGains = nullptr;
  // The second device every sound also plays on (section 输出); null: none is offered to play.
  SecondOutput* secondOutput = nullptr;
  // Told the name of each start-up step as it ends (a benchmark times them); empty: nobody.
  std::function<void(std::string_view)> startupStepEnded = {};
  // What presses the talk key while a sound plays; null: the system's input (SendInput).
  TalkKeys* talkKeys = nullptr;
};

class App {
 public:
  // shell outlives the App: the exit cleanup releases it after the App is gone.
  App(Services services, ShellTexts& shell);
  // The window goes first: its teardown still needs the player and the volume row.
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Creates the main window and runs the start-up sequence: what the window shows
  // first is prepared before it appears, the rest once it is up.
  bool Start(HINSTANCE instance);

  // Runs the event loop until the main window is gone; returns the exit code.
  int RunEventLoop();

  ui::MainWindow& Window() { return window_; }
  audio::Player& Player() { return player_; }
  CustomSlots& Slots() { return slots_; }
  VolumeRow& Volume() { return volumeRow_; }
  const SettingsStore& Settings() const { return settings_; }
  const ShellTexts& Shell() const { return shell_; }
  const BannerFetch& Banner() const { return banner_; }
  decor::EdgeDocking& Docking() { return docking_; }
  Hotkeys& GlobalHotkeys() { return hotkeys_; }
  LoudnessMatching& Loudness() { return loudness_; }
  SoundSettings& SoundShapes() { return soundShapes_; }
  OutputLevels& Levels() { return outputLevels_; }
  remote::RemoteFeature& Remote() { return remote_; }
  PushToTalk& TalkKey() { return pushToTalk_; }

  // A command the command line gave this copy as it started (--play with no copy
  // running): run once start-up has ended.
  void RunWhenStarted(remote::RemoteCommand command) { startupCommand_ = std::move(command); }

  // The system menu's "设置...": runs the settings dialog, modal to the window.
  void OpenSettings();

 private:
  struct StartupStep {
    std::string_view name;
    std::function<void()> run;
  };
  void RunStartupSteps(std::initializer_list<StartupStep> steps);
  void BindEvents();
  void PrepareFirstSight();
  void FinishStartup();
  void OnNotificationArea(int operation);
  void ShowMenuAtPointer();
  void ConfirmExit();
  void ShowAbout();
  void TellSettingsNotSaved(const std::wstring& file, const std::wstring& reason);
  void FetchBanner();
  void Teardown();
  // The microphone's mute flips and is kept; every change of it is told on /events.
  void ToggleMicrophoneMute();
  bool MicrophoneMuted() const;
  // The broadcast device and the microphone chosen (at start or in the dialog),
  // told to remote control's state as well.
  void UseBroadcastDevice(const std::wstring& id, const std::wstring& name);
  void UseMicrophone(const MicrophoneSetting& microphone);
  // A chosen device went or came back: a balloon, and an event on /events.
  void ShowDeviceChange(const DeviceChange& change);
  std::vector<HotkeyTarget> HotkeyTargets();
  void StartHotkeys();
  void StartCustomSoundExtras();
  std::vector<ShapedSound> ShapedSounds() const;
  std::vector<SoundListEntry> SoundList() const;
  // The file a sound button plays; empty for an empty slot or no such button.
  std::wstring SoundPath(const std::wstring& key) const;
  void StopCustomSoundExtras();
  void StartRemote();
  // Every sound stops, with the engine's fade: the one call remote control makes into playback.
  void StopAllSounds();

  Services services_;
  ShellTexts& shell_;
  SettingsStore settings_;
  ui::MainWindow window_;
  // Stands between the player and its back end, so it sees every sound, however started.
  remote::RemoteFeature remote_;
  SentTalkKeys sentTalkKeys_;
  // Stands between the player and remote control: holds the talk key while a sound plays.
  PushToTalk pushToTalk_;
  audio::Player player_;
  VolumeRow volumeRow_;
  AlwaysOnTop alwaysOnTop_;
  CustomSlots slots_;
  BannerFetch banner_;
  decor::EdgeDocking docking_;
  Hotkeys hotkeys_;
  audio::ClipGains ownGains_;
  LoudnessMatching loudness_;
  SoundSettings soundShapes_;
  OutputLevels outputLevels_;
  std::unique_ptr<FileDropTarget> drop_;  // while the window is there
  // Tells, in a balloon, when the chosen microphone is missing and when it is back.
  MicrophoneWatch microphoneWatch_;
  std::unique_ptr<remote::RemoteActions> remoteActions_;
  std::optional<remote::RemoteCommand> startupCommand_;
  // The settings file as read once, before the window shows; the steps after it
  // (the custom page's captions, hotkeys, loudness, second output) take their parts
  // from here, and it is let go when start-up ends.
  SavedSettings saved_;
};

}  // namespace kivora

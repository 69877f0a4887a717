// Remote control as the program holds it: what follows the Player, the mailbox a
// second process hands its command line to, the event stream, and the control
// server, on while section 遥控 says so.
// Made, used and destroyed on the window thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/engine/audio_backend.h"
#include "remote/clip_lengths.h"
#include "remote/control_server.h"
#include "remote/event_stream.h"
#include "remote/play_tracker.h"
#include "remote/remote_control.h"
#include "remote/remote_settings.h"
#include "settings/settings_store.h"

namespace kivora::remote {

// What the server is doing, as the settings dialog shows it.
struct ServerStatus {
  enum class State { Off, Running, PortInUse, Failed } state = State::Off;
  int port = 0;
  std::wstring detail;  // the library's words when it failed
};

class RemoteFeature {
 public:
  // inner: the back end the Player would use without remote control.
  RemoteFeature(SettingsStore& settings, audio::AudioBackend& inner);
  ~RemoteFeature();
  RemoteFeature(const RemoteFeature&) = delete;
  RemoteFeature& operator=(const RemoteFeature&) = delete;

  // The back end the Player uses: the inner one, followed.
  audio::AudioBackend& PlayerBackend() { return tracker_; }
  PlayTracker& Tracker() { return tracker_; }

  // Once the window is up: the mailbox opens, and the server starts when section
  // 遥控 turns it on (a token is made and saved first when it has none).
  void Start(RemoteActions& actions, const RemoteSetting& saved);
  // Before the window goes: the server stops (its clients are closed) and no
  // command reaches the window any more.
  void Stop();

  // The settings dialog's 确定: the settings are saved and the server follows them.
  void Apply(const RemoteConfig& config);
  const RemoteConfig& Config() const { return config_; }
  const ServerStatus& Status() const { return status_; }

  // One event to every WebSocket client. Window thread.
  void Publish(const std::string& event) { events_.Publish(event); }
  // The volume row or a custom slot changed: an event when it differs from before.
  void VolumeShown(int volume, bool muted);
  // The microphone's mute as it is now: an event when it differs from before.
  void MicrophoneMuteShown(bool muted);
  void SlotChanged(int slot);
  // The device of a role (kBroadcastRole, kMicrophoneRole) the user chose now, by
  // its name (empty: none); it is taken as there until DeviceShown says otherwise.
  void DeviceChosen(std::string_view role, const std::wstring& name);
  // The chosen device of a role went or came back: an event when it differs from before.
  void DeviceShown(std::string_view role, const std::wstring& name, bool present);

  // Runs a command now (the command line's --play that started this copy). Window thread.
  Answer Execute(const RemoteCommand& command);

 private:
  void FollowConfig();
  std::vector<DeviceStatus>::iterator DeviceOf(std::string_view role);  // end() when none is chosen

  SettingsStore& settings_;
  ClipLengths lengths_;
  PlayTracker tracker_;
  EventStream events_;
  std::unique_ptr<RemoteControl> control_;
  std::unique_ptr<ControlServer> server_;
  RemoteActions* actions_ = nullptr;
  RemoteConfig config_;
  ServerStatus status_;
  int shownVolume_ = -1;
  bool shownMuted_ = false;
  bool shownMicrophoneMuted_ = false;
  std::vector<DeviceStatus> devices_;  // by role, in the order chosen
};

}  // namespace kivora::remote

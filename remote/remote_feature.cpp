#include "remote/remote_feature.h"

#include <algorithm>

#include "remote/random_token.h"
#include "remote/utf8.h"

namespace kivora::remote {

RemoteFeature::RemoteFeature(SettingsStore& settings, audio::AudioBackend& inner)
    : settings_(settings), tracker_(inner, lengths_) {}

RemoteFeature::~RemoteFeature() { Stop(); }

void RemoteFeature::Start(RemoteActions& actions, const RemoteSetting& saved) {
  actions_ = &actions;
  shownVolume_ = actions.Volume();
  shownMuted_ = actions.Muted();
  shownMicrophoneMuted_ = actions.MicrophoneMuted();
  control_ = std::make_unique<RemoteControl>(actions, tracker_, lengths_, devices_);
  control_->Open();
  server_ = std::make_unique<ControlServer>(*control_, events_, lengths_);
  config_ = ReadRemoteConfig(saved);
  if (config_.enabled && config_.token.empty()) {
    config_.token = NewRandomToken();
    settings_.WriteRemote(RemoteSettingOf(config_));
  }
  FollowConfig();
}

void RemoteFeature::Stop() {
  server_.reset();   // no request is served from here on, and no event client is left
  control_.reset();  // commands still waiting are answered "busy"
  tracker_.SetHooks({});
  actions_ = nullptr;
  status_ = {};
}

void RemoteFeature::VolumeShown(int volume, bool muted) {
  if (volume != shownVolume_) Publish(VolumeEvent(volume, PlayTracker::Now()));
  if (muted != shownMuted_) Publish(MuteEvent(muted, PlayTracker::Now()));
  shownVolume_ = volume;
  shownMuted_ = muted;
}

void RemoteFeature::MicrophoneMuteShown(bool muted) {
  if (muted != shownMicrophoneMuted_) Publish(MicrophoneMuteEvent(muted, PlayTracker::Now()));
  shownMicrophoneMuted_ = muted;
}

void RemoteFeature::SlotChanged(int slot) {
  if (!actions_) return;
  for (const SoundEntry& sound : actions_->Sounds()) {
    if (sound.slot == slot) return Publish(SlotEvent(sound, PlayTracker::Now()));
  }
}

std::vector<DeviceStatus>::iterator RemoteFeature::DeviceOf(std::string_view role) {
  return std::find_if(devices_.begin(), devices_.end(), [role](const DeviceStatus& device) { return device.role == role; });
}

void RemoteFeature::DeviceChosen(std::string_view role, const std::wstring& name) {
  const auto found = DeviceOf(role);
  if (name.empty()) {
    if (found != devices_.end()) devices_.erase(found);
  } else if (found == devices_.end()) {
    devices_.push_back({std::string(role), name, true});
  } else if (found->device != name) {
    *found = {std::string(role), name, true};
  }
}

void RemoteFeature::DeviceShown(std::string_view role, const std::wstring& name, bool present) {
  const auto found = DeviceOf(role);
  // A late word of a device chosen before this one changes nothing.
  if (found == devices_.end() || found->device != name || found->present == present) return;
  found->present = present;
  Publish(DeviceEvent(*found, PlayTracker::Now()));
}

void RemoteFeature::Apply(const RemoteConfig& config) {
  if (config == config_ && (status_.state == ServerStatus::State::Running) == config_.enabled) return;
  config_ = config;
  if (config_.token.empty()) config_.token = NewRandomToken();
  settings_.WriteRemote(RemoteSettingOf(config_));
  FollowConfig();
}

void RemoteFeature::FollowConfig() {
  if (!server_) return;
  server_->Stop();
  status_ = {ServerStatus::State::Off, config_.port, {}};
  if (!config_.enabled) return;
  switch (server_->Start(config_.port, ToUtf8(config_.token))) {
    case ControlServer::Outcome::Started: status_.state = ServerStatus::State::Running; break;
    case ControlServer::Outcome::PortInUse: status_.state = ServerStatus::State::PortInUse; break;
    case ControlServer::Outcome::Failed:
      status_.state = ServerStatus::State::Failed;
      status_.detail = FromUtf8(server_->FailureText()).value_or(L"");
      break;
  }
}

Answer RemoteFeature::Execute(const RemoteCommand& command) {
  if (!control_) {
    Answer answer;
    answer.failure = Failure::Busy;
    return answer;
  }
  return control_->Execute(command);
}

}  // namespace kivora::remote

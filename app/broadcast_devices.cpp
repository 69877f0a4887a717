// The devices of the broadcast path as the user chose them, and what is told
// when one of them goes or comes back.
#include "app/app.h"

namespace kivora {
namespace {

std::string_view RoleName(DeviceRole role) {
  return role == DeviceRole::Broadcast ? remote::kBroadcastRole : remote::kMicrophoneRole;
}

}  // namespace

// A device kept without its name is spoken of by its ID.
void App::UseBroadcastDevice(const std::wstring& id, const std::wstring& name) {
  if (!services_.secondOutput) return;
  const std::wstring& shown = name.empty() ? id : name;
  services_.secondOutput->Use(id, shown);
  remote_.DeviceChosen(RoleName(DeviceRole::Broadcast), id.empty() ? std::wstring() : shown);
}

void App::UseMicrophone(const MicrophoneSetting& microphone) {
  if (!services_.secondOutput) return;
  services_.secondOutput->UseMicrophone(microphone);
  const std::wstring& name = microphone.name.empty() ? microphone.id : microphone.name;
  remote_.DeviceChosen(RoleName(DeviceRole::Microphone), microphone.id.empty() ? std::wstring() : name);
}

void App::ShowDeviceChange(const DeviceChange& change) {
  window_.Tray().ShowBalloon(BalloonTitle(change.role), BalloonText(change));
  remote_.DeviceShown(RoleName(change.role), change.name, change.present);
}

}  // namespace kivora

#include "second_output/device_change.h"

#include "second_output/microphone_notices.h"
#include "second_output/second_output.h"

namespace kivora {

std::wstring_view BalloonTitle(DeviceRole role) {
  return role == DeviceRole::Broadcast ? kBroadcastBalloonTitle : kMicrophoneBalloonTitle;
}

std::wstring BalloonText(const DeviceChange& change) {
  if (change.role == DeviceRole::Broadcast) {
    return change.present ? BroadcastBackText(change.name) : BroadcastMissingText(change.name);
  }
  return change.present ? MicrophoneBackText(change.name) : MicrophoneMissingText(change.name);
}

}  // namespace kivora

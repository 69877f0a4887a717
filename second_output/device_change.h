// A device of the broadcast path that went missing or came back: what the
// balloon on the notification-area icon says of it, and what the control
// interface's clients hear, both made from this one record. Pure code.
#pragma once

#include <string>
#include <string_view>

namespace kivora {

enum class DeviceRole { Broadcast, Microphone };

struct DeviceChange {
  DeviceRole role = DeviceRole::Broadcast;
  std::wstring name;  // as the user chose it
  bool present = false;
  bool operator==(const DeviceChange&) const = default;
};

std::wstring_view BalloonTitle(DeviceRole role);
std::wstring BalloonText(const DeviceChange& change);

}  // namespace kivora

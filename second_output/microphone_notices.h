// When the user is told of the chosen microphone, as a missing broadcast device
// is told: once when it is not there (the sounds play on), and once when it is
// back. Fed what the capture found at each try. Pure code.
#pragma once

#include <optional>
#include <string>

#include "second_output/device_change.h"

namespace kivora {

inline constexpr std::wstring_view kMicrophoneBalloonTitle = L"麦克风";

std::wstring MicrophoneMissingText(const std::wstring& name);
std::wstring MicrophoneBackText(const std::wstring& name);

class MicrophoneNotices {
 public:
  // A microphone chosen (an empty ID: none); nothing is told of the one before.
  void Chosen(const std::wstring& id, const std::wstring& name);
  // The capture's last try found the device missing or not: the change to tell, if any.
  std::optional<DeviceChange> Looked(bool missing);

 private:
  std::wstring id_;
  std::wstring name_;
  bool told_ = false;  // missing was told, and it has not come back since
};

}  // namespace kivora

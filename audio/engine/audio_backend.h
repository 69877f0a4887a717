// The device commands the Player sends, behind an interface so that tests can
// record them and answer from a script instead of opening a sound device.
#pragma once

#include <string>

namespace kivora::audio {

// An MCI error code; 0 is success.
using DeviceResult = unsigned long;

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // Opens the file at path as one device of deviceType, named alias for later commands.
  virtual DeviceResult Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) = 0;

  // Sends one command string such as "play <alias>".
  virtual DeviceResult Send(const std::wstring& command) = 0;
};

}  // namespace kivora::audio

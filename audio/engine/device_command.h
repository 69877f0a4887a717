// The command strings the Player sends its back end ("play <alias>",
// "setaudio <alias> left volume to 370", ...), read back into their parts so
// a back end that is no MCI device can act on them. Pure code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivora::audio {

enum class DeviceVerb { Play, Pause, Resume, Close, SetVolume };
enum class VolumeChannel { Left, Right, Both };

struct DeviceCommand {
  DeviceVerb verb;
  std::wstring alias;
  VolumeChannel channel = VolumeChannel::Both;  // SetVolume only
  long volume = 0;                              // SetVolume only, 0..1000
};

// Nothing for a command this reader does not know, or a volume out of 0..1000.
std::optional<DeviceCommand> ParseDeviceCommand(std::wstring_view command);

}  // namespace kivora::audio

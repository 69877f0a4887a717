// The command strings a back end reads, from arbitrary text: whatever reads as
// a command has an alias of one word and a volume in 0..1000, and the command
// written out again as the Player writes it reads back as the same command.
//   input: UTF-16 code units, two bytes each, little-endian
// Run by hand for longer: scripts/run-fuzzer.sh build/native/device_command_fuzzer tests/native/corpus/device_command 600
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/engine/device_command.h"

namespace {

using namespace kivora::audio;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "device command: %s\n", what);
  std::abort();
}

std::wstring Written(const DeviceCommand& command) {
  switch (command.verb) {
    case DeviceVerb::Play: return L"play " + command.alias;
    case DeviceVerb::Pause: return L"pause " + command.alias;
    case DeviceVerb::Resume: return L"resume " + command.alias;
    case DeviceVerb::Close: return L"close " + command.alias;
    case DeviceVerb::SetVolume: break;
  }
  const wchar_t* channel = command.channel == VolumeChannel::Left    ? L" left"
                           : command.channel == VolumeChannel::Right ? L" right"
                                                                     : L"";
  return L"setaudio " + command.alias + channel + L" volume to " + std::to_wstring(command.volume);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  const auto command = ParseDeviceCommand(text);
  if (!command) return 0;
  if (command->alias.empty() || command->alias.find(L' ') != std::wstring::npos) Fail("an alias that is not one word");
  if (command->volume < 0 || command->volume > 1000) Fail("a volume outside 0..1000");
  if (command->verb != DeviceVerb::SetVolume && (command->volume != 0 || command->channel != VolumeChannel::Both)) {
    Fail("a volume on a command that sets none");
  }
  const auto again = ParseDeviceCommand(Written(*command));
  if (!again || again->verb != command->verb || again->alias != command->alias || again->channel != command->channel ||
      again->volume != command->volume) {
    Fail("the command written out does not read back the same");
  }
  return 0;
}

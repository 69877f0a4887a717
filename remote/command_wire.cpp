#include "remote/command_wire.h"

namespace kivora::remote {

std::wstring EncodeCommand(const RemoteCommand& command) {
  return std::to_wstring(static_cast<int>(command.verb)) + L"\n" + std::to_wstring(command.value) + L"\n" +
         std::to_wstring(static_cast<int>(command.mute)) + L"\n" + command.name;
}

std::optional<RemoteCommand> DecodeCommand(std::wstring_view text) {
  int fields[3]{};
  for (int& field : fields) {
    const size_t end = text.find(L'\n');
    if (end == std::wstring_view::npos || end == 0 || end > 4) return std::nullopt;
    const bool negative = text[0] == L'-';
    int value = 0;
    for (size_t i = negative ? 1 : 0; i < end; ++i) {
      if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
      value = value * 10 + (text[i] - L'0');
    }
    field = negative ? -value : value;
    text.remove_prefix(end + 1);
  }
  if (fields[0] < 0 || fields[0] > static_cast<int>(kLastRemoteVerb)) return std::nullopt;
  if (fields[2] < 0 || fields[2] > static_cast<int>(MuteChoice::Off)) return std::nullopt;
  RemoteCommand command = MakeCommand(static_cast<RemoteVerb>(fields[0]), std::wstring(text), fields[1],
                                      static_cast<MuteChoice>(fields[2]));
  if (!Acceptable(command)) return std::nullopt;
  return command;
}

}  // namespace kivora::remote

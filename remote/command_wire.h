// A command as WM_COPYDATA carries it from a second process, and back: three
// numbers (verb, value, mute choice), one a line, then the name. What arrives is
// untrusted; DecodeCommand reads only what EncodeCommand writes. Pure code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "remote/remote_command.h"

namespace kivora::remote {

std::wstring EncodeCommand(const RemoteCommand& command);
// Nothing for text that is no command.
std::optional<RemoteCommand> DecodeCommand(std::wstring_view text);

}  // namespace kivora::remote

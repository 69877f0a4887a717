// Kivora's command-line arguments: none starts the program as ever; the options
// below hand one command to the running copy. Pure code.
#pragma once

#include <string>
#include <vector>

#include "remote/remote_command.h"

namespace kivora::remote {

struct CommandLineRequest {
  enum class Kind {
    Start,    // no arguments: an independent copy starts, as always
    Help,     // --help: the usage text
    Command,  // one command for the running copy
    Invalid,  // reason says why
  };
  Kind kind = Kind::Start;
  RemoteCommand command;
  std::wstring reason;
};

// arguments: the words after the program's name. Options take their value as the
// next word or after '=' (--volume 40, --volume=40). A first word that is no
// option ("--...", -h, /?) starts the program as before, and is ignored.
CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments);

// What --help prints.
std::wstring_view CommandLineUsage();

}  // namespace kivora::remote

// The command line at process start: with an option, the command goes to the
// Kivora that runs and this process ends with its answer; --play with none
// running makes this process that Kivora, which plays once it is up.
#pragma once

#include <optional>

#include "remote/forwarding.h"
#include "remote/remote_command.h"

namespace kivora {

struct CommandLineOutcome {
  std::optional<int> exitCode;                        // set: the process is done
  std::optional<remote::RemoteCommand> runWhenStarted;  // for the Kivora this process becomes
};

// mark is this process's running mark, taken before the command line is read.
CommandLineOutcome HandleCommandLine(const remote::RunningMark& mark);

}  // namespace kivora

// The command line's side of remote control: a process started with an option
// finds the Kivora that runs (its mutex, then its mailbox window) and hands the
// command over by WM_COPYDATA, which stays on the user's desktop and needs no token.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "base/unique_handle.h"
#include "remote/remote_command.h"

namespace kivora::remote {

// Held by every Kivora that shows a window, for as long as it runs.
class RunningMark {
 public:
  RunningMark();
  // Whether another process held the mark already when this one took it.
  bool OthersRan() const { return othersRan_; }

 private:
  KernelHandle mutex_;
  bool othersRan_ = false;
};

struct ForwardResult {
  int exitCode = 0;
  std::string output;  // UTF-8: JSON for --list and --state, a reason on failure
  Failure failure = Failure::None;
};

// Hands command to the running Kivora and waits for its answer; NotRunning when
// none runs (or none shows its mailbox within a few seconds of starting).
ForwardResult Forward(const RemoteCommand& command, bool someoneRuns);

}  // namespace kivora::remote

// Opens an output's stream on a thread of its own, so that a device that hangs
// while it opens holds up neither a click nor the program's exit: the output
// waits for the attempt with a time-out and goes on without it. The opening
// thread shares the device with its owner, so the device lives as long as an
// attempt still uses it, however soon the output that asked goes away.
// Owned by the output's device thread; the attempt's own thread touches only
// the shared attempt and device.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>

#include "audio/device/output_device.h"
#include "base/unique_handle.h"

namespace kivora::audio {

class DeviceOpener {
 public:
  // opened, when given, runs on the opening thread with the rate of each stream
  // it opened, before the stream is handed over (to make ahead what the stream's
  // rate needs); it is copied into every attempt.
  explicit DeviceOpener(std::shared_ptr<OutputDevice> device, std::function<void(unsigned)> opened = {});
  // Returns at once, even while an attempt hangs; a stream that comes after is closed.
  ~DeviceOpener();
  DeviceOpener(const DeviceOpener&) = delete;
  DeviceOpener& operator=(const DeviceOpener&) = delete;

  // Starts an attempt unless one is under way.
  void Begin();
  bool Busy() const { return busy_; }
  // Milliseconds the attempt under way has taken so far.
  ULONGLONG BusyFor() const { return busy_ ? GetTickCount64() - startedAt_ : 0; }
  // Signalled when an attempt has ended.
  HANDLE Ended() const;

  struct Outcome {
    std::unique_ptr<OutputStream> stream;  // nothing when the attempt failed
    bool stoodDown = false;                // failed because the device stands down
  };
  // The ended attempt's outcome, once; false while the attempt is still under way.
  bool Take(Outcome& outcome);

 private:
  struct Attempt;  // shared with the thread that opens
  std::shared_ptr<OutputDevice> device_;
  std::function<void(unsigned)> opened_;
  std::shared_ptr<Attempt> attempt_;
  bool busy_ = false;
  ULONGLONG startedAt_ = 0;
};

}  // namespace kivora::audio

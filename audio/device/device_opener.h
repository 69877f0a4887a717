// Opens the engine's output stream on a thread of its own, so that a device
// that hangs while it opens holds up neither a click nor the program's exit:
// the engine waits for the attempt with a time-out and goes on without it.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>

#include "audio/device/output_device.h"
#include "base/unique_handle.h"

namespace kivora::audio {

class DeviceOpener {
 public:
  // device must outlive every attempt that returns; one that never returns
  // ends with the process.
  explicit DeviceOpener(OutputDevice& device);
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
  // The stream the ended attempt opened (nothing when it failed), once; false
  // while the attempt is still under way.
  bool Take(std::unique_ptr<OutputStream>& stream);

 private:
  struct Attempt;  // shared with the thread that opens
  OutputDevice& device_;
  std::shared_ptr<Attempt> attempt_;
  bool busy_ = false;
  ULONGLONG startedAt_ = 0;
};

}  // namespace kivora::audio

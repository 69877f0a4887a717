// The one output stream the sound engine writes to, behind an interface so
// tests can make the device fail on demand. A stream is opened, used and
// closed on the engine's own thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace kivora::audio {

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  virtual unsigned SampleRate() const = 0;
  // Frames the device's buffer holds: all of them writable means it ran dry.
  virtual uint32_t BufferFrames() const = 0;
  // Signalled when the device has room for more: the engine waits on it.
  virtual HANDLE ReadyEvent() const = 0;
  // Frames that can be written now; nothing when the device has failed.
  virtual std::optional<uint32_t> WritableFrames() = 0;
  // Writes frames interleaved stereo float frames (or silence when stereo is
  // null); false when the device has failed.
  virtual bool Write(const float* stereo, uint32_t frames) = 0;
  // Stops the stream and drops what it holds that has not been heard yet; the
  // next Write starts it again. False when the device has failed.
  virtual bool Discard() = 0;
};

class OutputDevice {
 public:
  virtual ~OutputDevice() = default;
  // Opens a stream on the default device; nothing when there is none or it
  // cannot be opened. Called on a thread of the engine's multithreaded COM
  // apartment, which may not be the thread that then uses the stream.
  virtual std::unique_ptr<OutputStream> Open() = 0;
};

}  // namespace kivora::audio

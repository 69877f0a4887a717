// An output stream the sound engine writes to, and the device that opens it,
// behind an interface so tests can script the device (slow, failing, hanging).
// A stream is opened on an opening thread, then used and closed on its output's
// device thread only.
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
  // Opens a stream on the device; nothing when there is none or it cannot be
  // opened. Called on an opening thread of the multithreaded COM apartment,
  // which is not the thread that then uses the stream.
  virtual std::unique_ptr<OutputStream> Open() = 0;
  // After an open that gave nothing: the device is there but stands down,
  // because it is the system's default device, where another output already
  // plays every sound. Called on the opening thread.
  virtual bool StandsDown() { return false; }
};

}  // namespace kivora::audio

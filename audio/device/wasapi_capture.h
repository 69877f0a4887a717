// A capture stream on the system's shared audio engine (WASAPI, shared mode,
// event-driven) from one endpoint, handed over as 32-bit float stereo at the
// device's mix rate, each packet with the time its first frame was captured.
//
// Opened, read and closed on one thread: the capture thread that owns it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kivora::audio {

class CaptureStream {
 public:
  // Where the packets go, on the capture thread.
  class Sink {
   public:
    virtual ~Sink() = default;
    // Interleaved stereo frames, the first captured at captureSeconds (the
    // performance counter's time, in seconds).
    virtual void Captured(std::span<const float> stereo, double captureSeconds) = 0;
  };

  virtual ~CaptureStream() = default;
  virtual unsigned SampleRate() const = 0;
  // Frames the device hands over at a time, about.
  virtual uint32_t PeriodFrames() const = 0;
  // Signalled when a packet is waiting.
  virtual HANDLE ReadyEvent() const = 0;
  // Hands every packet waiting to sink; false when the device has failed.
  virtual bool ReadPackets(Sink& sink) = 0;
};

// The endpoint's stream, started; nothing when the endpoint is missing, not
// active or cannot be opened. COM must be initialised on the calling thread.
std::unique_ptr<CaptureStream> OpenCaptureStream(const std::wstring& endpointId);

// The performance counter now, in seconds: the clock capture times are on.
double PerformanceSeconds();

}  // namespace kivora::audio

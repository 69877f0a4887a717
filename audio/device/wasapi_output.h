// The output stream on the system's shared audio engine (WASAPI, shared mode,
// event-driven), with the smallest buffer the device allows, in its own mix format.
#pragma once

#include <string>

#include "audio/device/output_device.h"

namespace kivora::audio {

class WasapiOutputDevice final : public OutputDevice {
 public:
  // The default device, followed as it changes from one open to the next.
  WasapiOutputDevice() = default;
  // The device of endpointId only. It opens no stream while it is the default
  // device too: a sound already plays there, and playing it twice would double it.
  // bufferMs: the stream's buffer; 0 gives the smallest the device allows.
  explicit WasapiOutputDevice(std::wstring endpointId, unsigned bufferMs = 0)
      : endpointId_(std::move(endpointId)), bufferMs_(bufferMs) {}

  std::unique_ptr<OutputStream> Open() override;
  bool StandsDown() override;

 private:
  std::wstring endpointId_;
  unsigned bufferMs_ = 0;
};

}  // namespace kivora::audio

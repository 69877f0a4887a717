// The output stream on the system's shared audio engine (WASAPI, shared mode,
// event-driven), with the smallest buffer the device allows, in its own mix format.
#pragma once

#include "audio/output_device.h"

namespace kivora::audio {

class WasapiOutputDevice final : public OutputDevice {
 public:
  std::unique_ptr<OutputStream> Open() override;
};

}  // namespace kivora::audio

// The system's audio capture endpoints (microphones, line inputs, the
// recording ends of virtual cables) as a user chooses among them: by friendly
// name, each with the ID that names it for good.
#pragma once

#include <string>
#include <vector>

namespace kivora::audio {

struct CaptureEndpoint {
  std::wstring id;    // "{0.0.1.00000000}.{GUID}"
  std::wstring name;  // the friendly name, such as "麦克风"
};

// Every active capture endpoint; empty when the system has none or cannot say.
// Read afresh at each call.
std::vector<CaptureEndpoint> ActiveCaptureEndpoints();

}  // namespace kivora::audio

// The system's audio render endpoints as a user chooses among them: by friendly
// name, each with the ID that names it for good (positions change between starts).
#pragma once

#include <string>
#include <vector>

struct IMMDevice;

namespace kivora::audio {

struct RenderEndpoint {
  std::wstring id;    // "{0.0.0.00000000}.{GUID}"
  std::wstring name;  // the friendly name, such as "扬声器" or "CABLE Input"
  bool isDefault = false;
};

// Every active render endpoint, the default one marked; empty when the system has
// none or cannot say. Read afresh at each call.
std::vector<RenderEndpoint> ActiveRenderEndpoints();

// The endpoint ID of device; empty when the system does not give one.
std::wstring EndpointIdOf(IMMDevice& device);
// The name the system shows for device; empty when it gives none.
std::wstring FriendlyNameOf(IMMDevice& device);

}  // namespace kivora::audio

#include "audio/device/capture_endpoints.h"

#include <windows.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include "audio/device/render_endpoints.h"

namespace kivora::audio {

std::vector<CaptureEndpoint> ActiveCaptureEndpoints() {
  using Microsoft::WRL::ComPtr;
  std::vector<CaptureEndpoint> endpoints;
  ComPtr<IMMDeviceEnumerator> enumerator;
  ComPtr<IMMDeviceCollection> devices;
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))) ||
      FAILED(enumerator->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &devices))) {
    return endpoints;
  }
  UINT count = 0;
  devices->GetCount(&count);
  for (UINT index = 0; index < count; ++index) {
    ComPtr<IMMDevice> device;
    if (FAILED(devices->Item(index, &device))) continue;
    CaptureEndpoint endpoint{EndpointIdOf(*device.Get()), FriendlyNameOf(*device.Get())};
    if (!endpoint.id.empty()) endpoints.push_back(std::move(endpoint));
  }
  return endpoints;
}

}  // namespace kivora::audio

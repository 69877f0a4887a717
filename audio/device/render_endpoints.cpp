#include "audio/device/render_endpoints.h"

#include <windows.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

namespace kivora::audio {
namespace {

using Microsoft::WRL::ComPtr;

// PKEY_Device_FriendlyName, defined here: the header that declares it leaves its
// definition to a library that mingw-w64 does not always carry.
const PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

}  // namespace

std::wstring FriendlyNameOf(IMMDevice& device) {
  ComPtr<IPropertyStore> properties;
  if (FAILED(device.OpenPropertyStore(STGM_READ, &properties))) return {};
  PROPVARIANT value;
  PropVariantInit(&value);
  std::wstring name;
  if (SUCCEEDED(properties->GetValue(kFriendlyName, &value)) && value.vt == VT_LPWSTR && value.pwszVal) {
    name = value.pwszVal;
  }
  PropVariantClear(&value);
  return name;
}

std::wstring EndpointIdOf(IMMDevice& device) {
  LPWSTR id = nullptr;
  if (FAILED(device.GetId(&id)) || !id) return {};
  std::wstring text = id;
  CoTaskMemFree(id);
  return text;
}

std::vector<RenderEndpoint> ActiveRenderEndpoints() {
  std::vector<RenderEndpoint> endpoints;
  ComPtr<IMMDeviceEnumerator> enumerator;
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator)))) {
    return endpoints;
  }
  std::wstring defaultId;
  ComPtr<IMMDevice> defaultDevice;
  if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &defaultDevice))) defaultId = EndpointIdOf(*defaultDevice.Get());
  ComPtr<IMMDeviceCollection> devices;
  if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &devices))) return endpoints;
  UINT count = 0;
  devices->GetCount(&count);
  for (UINT index = 0; index < count; ++index) {
    ComPtr<IMMDevice> device;
    if (FAILED(devices->Item(index, &device))) continue;
    RenderEndpoint endpoint{EndpointIdOf(*device.Get()), FriendlyNameOf(*device.Get())};
    if (endpoint.id.empty()) continue;
    endpoint.isDefault = endpoint.id == defaultId;
    endpoints.push_back(std::move(endpoint));
  }
  return endpoints;
}

}  // namespace kivora::audio

#include "audio/device/device_watch.h"

namespace kivora::audio {

ULONG STDMETHODCALLTYPE DeviceNotificationClient::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE DeviceNotificationClient::QueryInterface(REFIID id, void** object) {
  if (id == __uuidof(IUnknown) || id == __uuidof(IMMNotificationClient)) {
    *object = static_cast<IMMNotificationClient*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE DeviceNotificationClient::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) {
  if (flow == eRender && role == eConsole) heard_({DeviceEvent::Kind::DefaultChanged, id ? id : L""});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceNotificationClient::OnDeviceStateChanged(LPCWSTR id, DWORD state) {
  heard_({DeviceEvent::Kind::StateChanged, id ? id : L"", state});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceNotificationClient::OnDeviceAdded(LPCWSTR id) {
  heard_({DeviceEvent::Kind::Added, id ? id : L""});
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceNotificationClient::OnDeviceRemoved(LPCWSTR id) {
  heard_({DeviceEvent::Kind::Removed, id ? id : L""});
  return S_OK;
}

DeviceWatch::DeviceWatch(std::function<void(const DeviceEvent&)> heard) {
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator_)))) return;
  // The new client starts with the one reference that client_ takes over.
  client_.Attach(new DeviceNotificationClient(std::move(heard)));
  if (FAILED(enumerator_->RegisterEndpointNotificationCallback(client_.Get()))) client_.Reset();
}

DeviceWatch::~DeviceWatch() {
  if (enumerator_ && client_) enumerator_->UnregisterEndpointNotificationCallback(client_.Get());
}

}  // namespace kivora::audio

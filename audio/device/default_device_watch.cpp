#include "audio/device/default_device_watch.h"

#include <atomic>

namespace kivora::audio {

// The system's notification sink: reference-counted as COM wants, and passing on
// only a change of the default render device for sounds (the console role).
class DefaultDeviceWatch::Client final : public IMMNotificationClient {
 public:
  explicit Client(std::function<void()> changed) : changed_(std::move(changed)) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (id == __uuidof(IUnknown) || id == __uuidof(IMMNotificationClient)) {
      *object = static_cast<IMMNotificationClient*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
    if (flow == eRender && role == eConsole) changed_();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

 private:
  std::function<void()> changed_;
  std::atomic<ULONG> references_{1};
};

DefaultDeviceWatch::DefaultDeviceWatch(std::function<void()> changed) {
  if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator_)))) return;
  // The new client starts with the one reference that client_ takes over.
  client_.Attach(new Client(std::move(changed)));
  if (FAILED(enumerator_->RegisterEndpointNotificationCallback(client_.Get()))) client_.Reset();
}

DefaultDeviceWatch::~DefaultDeviceWatch() {
  if (enumerator_ && client_) enumerator_->UnregisterEndpointNotificationCallback(client_.Get());
}

}  // namespace kivora::audio

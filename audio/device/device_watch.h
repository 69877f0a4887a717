// Hears the system say that the audio devices changed: the default output device
// (the user picked other headphones, or plugged some in), or a device added,
// removed, enabled or disabled (a cable's driver installed or taken away), so
// each output can follow its own device. The notification client runs on a
// system thread and must only pass the event on; DeviceWatch registers it and is
// owned by the thread that made it (an output's device thread).
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <string>

namespace kivora::audio {

struct DeviceEvent {
  enum class Kind { DefaultChanged, Added, Removed, StateChanged };
  Kind kind;
  std::wstring endpointId;  // the device concerned (the new default, for DefaultChanged; may be empty)
  DWORD state = 0;          // for StateChanged: DEVICE_STATE_ACTIVE and others
};

// The system's notification sink: reference-counted as COM wants, passing on the
// render devices' events (for the default device, the console role's).
class DeviceNotificationClient final : public IMMNotificationClient {
 public:
  explicit DeviceNotificationClient(std::function<void(const DeviceEvent&)> heard) : heard_(std::move(heard)) {}

  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;

  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override;
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

 private:
  std::function<void(const DeviceEvent&)> heard_;
  std::atomic<ULONG> references_{1};
};

class DeviceWatch {
 public:
  // Starts listening; silent when the system cannot be asked (then outputs still
  // find their devices at their next open, and retry those that are missing).
  explicit DeviceWatch(std::function<void(const DeviceEvent&)> heard);
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

 private:
  Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
  Microsoft::WRL::ComPtr<IMMNotificationClient> client_;
};

}  // namespace kivora::audio

// Hears the system say that the default output device changed (the user picked
// other headphones, or plugged some in), so the engine can move its stream there.
// Registered on the engine's thread; the callback runs on a system thread and
// must only note the change and wake the engine.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <functional>

namespace kivora::audio {

class DefaultDeviceWatch {
 public:
  // Starts listening; silent when the system cannot be asked (then the engine
  // still moves at the next sound, since each stream opens on the default device).
  explicit DefaultDeviceWatch(std::function<void()> changed);
  ~DefaultDeviceWatch();
  DefaultDeviceWatch(const DefaultDeviceWatch&) = delete;
  DefaultDeviceWatch& operator=(const DefaultDeviceWatch&) = delete;

 private:
  class Client;
  Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
  Microsoft::WRL::ComPtr<IMMNotificationClient> client_;
};

}  // namespace kivora::audio

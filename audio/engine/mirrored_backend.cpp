#include "audio/engine/mirrored_backend.h"

#include <windows.h>
#include <mmsystem.h>

namespace kivora::audio {

DeviceResult MirroredBackend::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  const DeviceResult result = main_.Open(deviceType, path, alias);
  if (mirror_) mirror_->Open(deviceType, path, alias);
  return result;
}

DeviceResult MirroredBackend::Send(const std::wstring& command) {
  const DeviceResult result = main_.Send(command);
  if (mirror_) mirror_->Send(command);
  return result;
}

DeviceResult SilentBackend::Open(const std::wstring&, const std::wstring&, const std::wstring&) {
  return MCIERR_CANNOT_LOAD_DRIVER;
}

DeviceResult SilentBackend::Send(const std::wstring&) { return MCIERR_INVALID_DEVICE_NAME; }

}  // namespace kivora::audio

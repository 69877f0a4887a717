#include "audio/engine/mci_backend.h"

#include <windows.h>
#include <mmsystem.h>

namespace kivora::audio {

DeviceResult MciBackend::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  MCI_OPEN_PARMSW parameters{};
  parameters.lpstrDeviceType = deviceType.c_str();
  parameters.lpstrElementName = path.c_str();
  parameters.lpstrAlias = alias.c_str();
  return mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS,
                         reinterpret_cast<DWORD_PTR>(&parameters));
}

DeviceResult MciBackend::Send(const std::wstring& command) {
  return mciSendStringW(command.c_str(), nullptr, 0, nullptr);
}

}  // namespace kivora::audio

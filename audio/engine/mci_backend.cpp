#include "audio/engine/mci_backend.h"

#include <windows.h>
#include <mmsystem.h>

#include <string_view>

#include "base/long_path.h"

namespace kivora::audio {
namespace {

// The system player takes no path of MAX_PATH characters or more: a long one goes
// by its 8.3 form, where the volume keeps one.
std::wstring PathTheSystemPlayerTakes(const std::wstring& path) {
  const std::wstring extended = ExtendedLengthPath(path);
  if (extended == path) return path;
  std::wstring shortPath(32768, L'\0');
  const DWORD length = GetShortPathNameW(extended.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
  if (length == 0 || length >= shortPath.size()) return path;
  shortPath.resize(length);
  constexpr std::wstring_view kPrefix = L"\\\\?\\";
  if (shortPath.starts_with(L"\\\\?\\UNC\\")) return L"\\" + shortPath.substr(7);
  if (shortPath.starts_with(kPrefix)) shortPath.erase(0, kPrefix.size());
  return shortPath.size() < MAX_PATH ? shortPath : path;
}

}  // namespace

DeviceResult MciBackend::Open(const std::wstring& deviceType, const std::wstring& path, const std::wstring& alias) {
  const std::wstring element = PathTheSystemPlayerTakes(path);
  MCI_OPEN_PARMSW parameters{};
  parameters.lpstrDeviceType = deviceType.c_str();
  parameters.lpstrElementName = element.c_str();
  parameters.lpstrAlias = alias.c_str();
  return mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_OPEN_ALIAS,
                         reinterpret_cast<DWORD_PTR>(&parameters));
}

DeviceResult MciBackend::Send(const std::wstring& command) {
  return mciSendStringW(command.c_str(), nullptr, 0, nullptr);
}

}  // namespace kivora::audio

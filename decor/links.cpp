#include "decor/links.h"

#include <windows.h>

namespace kivora {

std::wstring BannerAddress() {
  const DWORD size = GetEnvironmentVariableW(kBannerAddressVariable, nullptr, 0);
  if (size > 1) {
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(kBannerAddressVariable, value.data(), size);
    if (length > 0 && length < size) {
      value.resize(length);
      return value;
    }
  }
  return std::wstring(kBannerAddress);
}

}  // namespace kivora

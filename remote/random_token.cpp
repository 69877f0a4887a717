#include "remote/random_token.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>

#include "remote/remote_settings.h"

namespace kivora::remote {

std::wstring NewRandomToken() {
  std::array<uint8_t, 16> bytes{};
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return {};
  }
  return TokenFromBytes(bytes);
}

}  // namespace kivora::remote

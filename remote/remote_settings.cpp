#include "remote/remote_settings.h"

namespace kivora::remote {

std::optional<int> ParsePort(std::wstring_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value < 1024 || value > 65535) return std::nullopt;
  return value;
}

bool UsableToken(std::wstring_view token) {
  if (token.size() < 16 || token.size() > 128) return false;
  for (wchar_t c : token) {
    const bool usable = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                        c == L'-' || c == L'_';
    if (!usable) return false;
  }
  return true;
}

std::wstring TokenFromBytes(std::span<const uint8_t> bytes) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring token;
  for (uint8_t byte : bytes) {
    token += kDigits[byte >> 4];
    token += kDigits[byte & 0x0F];
  }
  return token;
}

RemoteConfig ReadRemoteConfig(const RemoteSetting& saved) {
  RemoteConfig config;
  config.enabled = saved.enabled == L"1";
  config.port = ParsePort(saved.port).value_or(kDefaultRemotePort);
  if (UsableToken(saved.token)) config.token = saved.token;
  return config;
}

RemoteSetting RemoteSettingOf(const RemoteConfig& config) {
  return {config.enabled ? L"1" : L"0", std::to_wstring(config.port), config.token};
}

}  // namespace kivora::remote

// Section 遥控 of the settings file read into what the server needs, and back:
// 开启 (1: on; anything else: off, the default), 端口 (1024..65535) and 令牌.
// Pure code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/settings_store.h"

namespace kivora::remote {

inline constexpr int kDefaultRemotePort = 47110;

struct RemoteConfig {
  bool enabled = false;
  int port = kDefaultRemotePort;
  std::wstring token;  // empty or unusable: a new one is made before the server starts
  bool operator==(const RemoteConfig&) const = default;
};

RemoteConfig ReadRemoteConfig(const RemoteSetting& saved);
RemoteSetting RemoteSettingOf(const RemoteConfig& config);

// A port a user may choose: a number in 1024..65535 with nothing around it.
std::optional<int> ParsePort(std::wstring_view text);

// 16 to 128 characters of letters, digits, '-' and '_': safe in a header, a query
// and the settings file alike.
bool UsableToken(std::wstring_view token);

// Random bytes written as lower-case hexadecimal.
std::wstring TokenFromBytes(std::span<const uint8_t> bytes);

}  // namespace kivora::remote

// The entries of the list "同时输出到": "(无)", then every active render endpoint
// other than the default one by its friendly name; a kept device that is not
// there now shows by its kept name, marked "(未连接)". Pure: the endpoints are given.
#pragma once

#include <string>
#include <vector>

#include "audio/device/render_endpoints.h"

namespace kivora {

inline constexpr std::wstring_view kNoSecondOutput = L"(无)";
inline constexpr std::wstring_view kNotConnected = L"(未连接)";

struct OutputChoice {
  std::wstring id;     // empty: no second device
  std::wstring name;   // what is kept as 第二设备名称
  std::wstring label;  // what the list shows
};

struct OutputChoices {
  std::vector<OutputChoice> entries;
  size_t chosen = 0;  // the kept device's entry, or "(无)"
};

OutputChoices SecondOutputChoices(const std::vector<audio::RenderEndpoint>& endpoints, const std::wstring& keptId,
                                  const std::wstring& keptName);

}  // namespace kivora

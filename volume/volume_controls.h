// Layout names of the volume row's controls and the text it shows while muted.
#pragma once

#include <string_view>

namespace kivora {

inline constexpr std::wstring_view kVolumeSlider = L"滑块条1";
inline constexpr std::wstring_view kVolumeLabel = L"标签2";
inline constexpr std::wstring_view kMuteButton = L"按钮22";
inline constexpr std::wstring_view kPauseButton = L"按钮21";

inline constexpr std::wstring_view kMutedText = L"静音";

}  // namespace kivora

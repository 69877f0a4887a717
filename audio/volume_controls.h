// Layout names of the volume row's controls and the setting that keeps the volume.
#pragma once

#include <string_view>

namespace kivora::audio {

inline constexpr std::wstring_view kVolumeSlider = L"滑块条1";
inline constexpr std::wstring_view kVolumeLabel = L"标签2";
inline constexpr std::wstring_view kMuteButton = L"按钮22";
inline constexpr std::wstring_view kPauseButton = L"按钮21";

inline constexpr std::wstring_view kMutedText = L"静音";

inline constexpr std::wstring_view kVolumeSection = L"设置";
inline constexpr std::wstring_view kVolumeKey = L"音量";

}  // namespace kivora::audio

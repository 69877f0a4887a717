// The layout names of the main window's named controls (the grid buttons are
// named from the catalogue and the custom slots).
#pragma once

#include <string_view>

namespace kivora::ui {

inline constexpr std::wstring_view kSponsorLink = L"超级链接框2";
inline constexpr std::wstring_view kAlwaysOnTopBox = L"选择框1";
inline constexpr std::wstring_view kVolumeCaption = L"标签1";
inline constexpr std::wstring_view kVolumeSlider = L"滑块条1";
inline constexpr std::wstring_view kVolumeLabel = L"标签2";
inline constexpr std::wstring_view kMuteButton = L"按钮22";
inline constexpr std::wstring_view kPauseButton = L"按钮21";
inline constexpr std::wstring_view kInstructionsLabel = L"标签3";
inline constexpr std::wstring_view kPageTabs = L"选择夹1";
inline constexpr std::wstring_view kBanner = L"图片框1";

}  // namespace kivora::ui

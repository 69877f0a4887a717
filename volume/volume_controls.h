// Layout names of the volume row's controls and the text it shows while muted.
#pragma once

#include <string_view>

#include "ui/control_names.h"

namespace kivora {

using ui::kMuteButton;
using ui::kPauseButton;
using ui::kVolumeLabel;
using ui::kVolumeSlider;

inline constexpr std::wstring_view kMutedText = L"静音";

}  // namespace kivora

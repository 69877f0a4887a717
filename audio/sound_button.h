// What every sound button does: open its file in the Player, then play it at
// the volume slider's position.
#pragma once

#include <string>

#include "audio/player.h"
#include "ui/main_window.h"

namespace kivora::audio {

// The volume slider's position, in percent (a restored setting may lie above 100).
int SliderVolume(const ui::MainWindow& window);

// Player Open(path), then ApplyVolumeAndPlay with the slider's position. A file
// that cannot be opened gives silence: the sound before it is closed already.
void OpenAndPlay(const ui::MainWindow& window, Player& player, const std::wstring& path);

}  // namespace kivora::audio

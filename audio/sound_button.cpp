#include "audio/sound_button.h"

#include "audio/volume_controls.h"

namespace kivora::audio {

int SliderVolume(const ui::MainWindow& window) { return window[kVolumeSlider].SliderPosition(); }

void OpenAndPlay(const ui::MainWindow& window, Player& player, const std::wstring& path) {
  player.Open(path);
  ApplyVolumeAndPlay(player, SliderVolume(window));
}

}  // namespace kivora::audio

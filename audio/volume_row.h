// The volume row below the pages: slider 滑块条1 with its percentage label 标签2,
// the mute button 按钮22 and the pause button 按钮21. The row keeps no state of
// its own: the slider position, the label and the picture on 按钮22 are the
// state, and the volume is written to the settings file as it changes.
#pragma once

#include <string>

#include "audio/player.h"
#include "ui/main_window.h"

namespace kivora::audio {

class VolumeRow {
 public:
  // dataFolder is read at every use (the settings file lies inside it), so it
  // may still be empty when the row is bound and filled in by the start-up.
  VolumeRow(ui::MainWindow& window, Player& player, const std::wstring& dataFolder);

  // Binds the slider's changed event, the clicks of 按钮22 and 按钮21 and the
  // pop-up menu item "停止播放".
  void BindEvents();

  // The speaker picture on 按钮22, as the window starts.
  void ShowInitialPicture();

  // Slider moved: label and picture follow, the playing sound follows, and the
  // position is written to the settings file at once.
  void OnSliderChanged();

  // 按钮22: mutes the playing sound (slider disabled, left where it is), or
  // unmutes it; unmuting at position 0 moves the slider to 100.
  void OnMuteClicked();

  // 按钮21 and the menu item "停止播放": pause or resume the sound.
  void OnPauseClicked();

  // At start-up: the saved volume, if any, onto the slider, label and picture.
  void RestoreVolume();

  // While the window is destroyed: the slider position, muted or not, is saved.
  void SaveVolume();

 private:
  std::wstring SettingsPath() const;
  bool ShowsSpeaker() const;
  void ShowPicture(bool speaker);
  void ShowLabel(std::wstring_view text);

  ui::MainWindow& window_;
  Player& player_;
  const std::wstring& dataFolder_;
};

}  // namespace kivora::audio

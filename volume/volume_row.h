// The volume row below the pages: slider 滑块条1 with its percentage label 标签2,
// the mute button 按钮22 and the pause button 按钮21. The row holds the volume and
// the muted state; the slider, the label and the picture on 按钮22 show them, and
// the volume is written to the settings file as it changes.
#pragma once

#include <functional>
#include <string>

#include "audio/engine/player.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"

namespace kivora {

class VolumeRow {
 public:
  VolumeRow(ui::MainWindow& window, audio::Player& player, SettingsStore& settings);

  // Binds the slider's changed event, the clicks of 按钮22 and 按钮21 and the
  // pop-up menu item "停止播放", and shows the row as a first start has it.
  void BindEvents();

  // The volume every sound starts at, in percent. A restored setting may lie
  // above 100 (the thumb then shows the end of the track) until the user moves it.
  int Volume() const { return volume_; }
  bool Muted() const { return muted_; }

  // Slider moved: the volume becomes the thumb's position; label and picture
  // follow, the playing sound follows, and the volume is written at once.
  void OnSliderChanged();

  // 按钮22: mutes the playing sound (slider disabled, left where it is), or
  // unmutes it; unmuting at volume 0 moves the slider to 100.
  void OnMuteClicked();

  // The slider's page keys, as a hotkey gives them: the thumb moves by step
  // (clamped to the track) and the slider's changed handler runs. Nothing while
  // muted by 按钮22, when the slider takes no input.
  void OnPageKey(int step);

  // 按钮21 and the menu item "停止播放": pause or resume the sound.
  void OnPauseClicked();

  // At start-up: the saved text of the volume, if any, onto the slider, label and picture.
  void Restore(const std::wstring& saved);

  // While the window is destroyed: the volume, muted or not, is saved.
  void Save();

  // Told after the slider's or the mute button's handler has run.
  void Watch(std::function<void()> changed) { changed_ = std::move(changed); }

 private:
  void Show();
  void ShowLabel(std::wstring_view text);

  ui::MainWindow& window_;
  audio::Player& player_;
  SettingsStore& settings_;
  int volume_ = 100;
  bool muted_ = false;  // the speaker with the red cross shows on 按钮22
  std::function<void()> changed_;
};

}  // namespace kivora

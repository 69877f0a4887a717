#include "volume/volume_row.h"

#include <algorithm>
#include <string>

#include "assets/pictures.h"
#include "base/leading_integer.h"
#include "ui/popup_menu.h"
#include "volume/volume_controls.h"

namespace kivora {
namespace {

constexpr int kUnmutedVolume = 100;
// A restored setting is kept as a position the slider could have been given by program.
constexpr int kLargestStoredVolume = 32767;

std::wstring Percent(int volume) { return std::to_wstring(volume) + L"%"; }

}  // namespace

VolumeRow::VolumeRow(ui::MainWindow& window, audio::Player& player, SettingsStore& settings)
    : window_(window), player_(player), settings_(settings) {}

void VolumeRow::BindEvents() {
  window_[kVolumeSlider].Events().changed = [this] { OnSliderChanged(); };
  window_[kMuteButton].Events().clicked = [this] { OnMuteClicked(); };
  window_[kPauseButton].Events().clicked = [this] { OnPauseClicked(); };
  window_.Events().menuItems[static_cast<size_t>(ui::MenuItem::StopPlaying)] = [this] { OnPauseClicked(); };
  Show();
}

void VolumeRow::OnSliderChanged() {
  volume_ = window_.As<ui::Slider>(kVolumeSlider).TrackPosition();
  muted_ = volume_ == 0;
  Show();
  ShowLabel(muted_ ? kMutedText : Percent(volume_));
  player_.SetVolume(volume_, volume_);
  settings_.WriteVolume(volume_);
  if (changed_) changed_();
}

void VolumeRow::OnMuteClicked() {
  ui::Control& slider = window_[kVolumeSlider];
  if (!muted_) {
    muted_ = true;
    Show();
    slider.SetEnabled(false);
    ShowLabel(kMutedText);
    player_.SetVolume(0, 0);
    if (changed_) changed_();
    return;
  }
  if (volume_ == 0) {
    ShowLabel(Percent(kUnmutedVolume));
    player_.SetVolume(kUnmutedVolume, kUnmutedVolume);
    volume_ = kUnmutedVolume;
    window_.As<ui::Slider>(kVolumeSlider).SetTrackPosition(volume_);
  } else {
    ShowLabel(Percent(volume_));
    player_.SetVolume(volume_, volume_);
  }
  // Sound on always means a slider the user can move again.
  slider.SetEnabled(true);
  muted_ = false;
  Show();
  if (changed_) changed_();
}

void VolumeRow::OnPageKey(int step) {
  if (!window_[kVolumeSlider].Enabled()) return;
  auto& slider = window_.As<ui::Slider>(kVolumeSlider);
  slider.SetTrackPosition(slider.TrackPosition() + step);
  OnSliderChanged();
}

void VolumeRow::OnPauseClicked() { player_.PauseToggle(); }

void VolumeRow::Restore(const std::wstring& saved) {
  // The speaker is in the window's first picture, also on a start with nothing saved.
  if (saved.empty()) {
    Show();
    return;
  }
  volume_ = std::clamp(LeadingInteger(saved), 0, kLargestStoredVolume);
  muted_ = volume_ == 0;
  window_.As<ui::Slider>(kVolumeSlider).SetTrackPosition(volume_);
  Show();
  ShowLabel(Percent(volume_));
  player_.SetVolume(volume_, volume_);
}

void VolumeRow::Save() { settings_.WriteVolume(volume_); }

// The picture on 按钮22 follows the muted state.
void VolumeRow::Show() {
  window_.As<ui::PictureButton>(kMuteButton).SetPicture(muted_ ? assets::SpeakerMutedPictures() : assets::SpeakerPictures());
}

void VolumeRow::ShowLabel(std::wstring_view text) { window_[kVolumeLabel].SetCaption(text); }

}  // namespace kivora

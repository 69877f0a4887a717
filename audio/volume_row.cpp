#include "audio/volume_row.h"

#include <algorithm>
#include <string>

#include "assets/pictures.h"
#include "audio/leading_integer.h"
#include "audio/volume_controls.h"
#include "custom/settings_file.h"
#include "ui/popup_menu.h"

namespace kivora::audio {
namespace {

constexpr int kUnmutedPosition = 100;

std::wstring Percent(int position) { return std::to_wstring(position) + L"%"; }

}  // namespace

VolumeRow::VolumeRow(ui::MainWindow& window, Player& player, const std::wstring& dataFolder)
    : window_(window), player_(player), dataFolder_(dataFolder) {}

void VolumeRow::BindEvents() {
  window_[kVolumeSlider].Events().changed = [this] { OnSliderChanged(); };
  window_[kMuteButton].Events().clicked = [this] { OnMuteClicked(); };
  window_[kPauseButton].Events().clicked = [this] { OnPauseClicked(); };
  window_.Events().menuItems[static_cast<size_t>(ui::MenuItem::StopPlaying)] = [this] { OnPauseClicked(); };
}

void VolumeRow::ShowInitialPicture() { ShowPicture(true); }

void VolumeRow::OnSliderChanged() {
  const int position = window_[kVolumeSlider].SliderPosition();
  const std::wstring text = std::to_wstring(position);
  if (text == L"0") {
    ShowLabel(kMutedText);
    ShowPicture(false);
  } else {
    ShowLabel(text + L"%");
    ShowPicture(true);
  }
  player_.SetVolume(position, position);
  WriteSetting(SettingsPath(), std::wstring(kVolumeSection), std::wstring(kVolumeKey), text);
}

void VolumeRow::OnMuteClicked() {
  ui::Control& slider = window_[kVolumeSlider];
  if (ShowsSpeaker()) {
    ShowPicture(false);
    slider.SetEnabled(false);
    ShowLabel(kMutedText);
    player_.SetVolume(0, 0);
    return;
  }
  const int position = slider.SliderPosition();
  if (position == 0) {
    ShowLabel(Percent(kUnmutedPosition));
    player_.SetVolume(kUnmutedPosition, kUnmutedPosition);
    slider.SetSliderPosition(kUnmutedPosition);
  } else {
    ShowLabel(Percent(position));
    player_.SetVolume(position, position);
  }
  // Sound on always means a slider the user can move again.
  slider.SetEnabled(true);
  ShowPicture(true);
}

void VolumeRow::OnPauseClicked() { player_.PauseToggle(); }

void VolumeRow::RestoreVolume() {
  const std::wstring saved = ReadSetting(SettingsPath(), std::wstring(kVolumeSection), std::wstring(kVolumeKey));
  if (saved.empty()) return;
  ui::Control& slider = window_[kVolumeSlider];
  slider.SetSliderPosition(LeadingInteger(saved));
  const int position = slider.SliderPosition();
  ShowPicture(position > 0);
  ShowLabel(Percent(position));
  player_.SetVolume(position, position);
}

void VolumeRow::SaveVolume() {
  WriteSetting(SettingsPath(), std::wstring(kVolumeSection), std::wstring(kVolumeKey),
               std::to_wstring(window_[kVolumeSlider].SliderPosition()));
}

std::wstring VolumeRow::SettingsPath() const { return SettingsFilePath(dataFolder_); }

bool VolumeRow::ShowsSpeaker() const {
  // The picture on the button is the only record of the mute state.
  return std::ranges::equal(window_[kMuteButton].Picture(), assets::SpeakerPng());
}

void VolumeRow::ShowPicture(bool speaker) {
  window_[kMuteButton].SetPicture(speaker ? assets::SpeakerPng() : assets::SpeakerMutedPng());
}

void VolumeRow::ShowLabel(std::wstring_view text) { window_[kVolumeLabel].SetCaption(text); }

}  // namespace kivora::audio

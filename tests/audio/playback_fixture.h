// The real program, started in-process with a recording sound back end: the
// volume row and the built-in buttons are driven through the App's own bindings.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

#include "assets/pictures.h"
#include "settings/settings_file.h"
#include "support/app_fixture.h"

namespace kivora::audio {

using Calls = std::vector<std::wstring>;

class PlaybackTest : public ::testing::Test {
 protected:
  PlaybackTest() { backend.TakeCalls(); }

  ui::Slider& Slider() { return app.window().As<ui::Slider>(L"滑块条1"); }
  std::wstring Label() { return app.control(L"标签2").Caption(); }
  bool ShowsSpeaker() { return PictureIs(assets::SpeakerPng()); }
  bool ShowsMutedSpeaker() { return PictureIs(assets::SpeakerMutedPng()); }
  int Thumb() { return Slider().TrackPosition(); }
  int Volume() { return app.app().Volume().Volume(); }

  // What the trackbar does while the user drags its thumb.
  void DragSliderTo(int position) { app.DragSlider(position); }

  std::wstring SettingsPath() { return testing::AppFixture::SettingsFile(); }
  std::wstring SavedVolume() { return ReadSetting(SettingsPath(), L"设置", L"音量"); }

  testing::AppFixture app;
  const std::wstring dataFolder = testing::AppFixture::DataFolder();
  testing::RecordingAudioBackend& backend = app.audio;
  Player& player = app.app().Player();

 private:
  bool PictureIs(std::span<const unsigned char> png) {
    return std::ranges::equal(app.window().As<ui::PictureButton>(L"按钮22").Picture(), png);
  }
};

}  // namespace kivora::audio

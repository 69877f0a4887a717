// The real main window with the volume row and the built-in buttons bound to a
// Player that talks to a recording back end, and a settings file of its own.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "app/data_folder.h"
#include "assets/pictures.h"
#include "audio/builtin_sounds.h"
#include "audio/player.h"
#include "audio/volume_row.h"
#include "custom/settings_file.h"
#include "support/app_fixture.h"
#include "support/recording_audio_backend.h"
#include "support/temp_folder.h"

namespace kivora::audio {

using Calls = std::vector<std::wstring>;

// The program's own settings file in the session's documents folder is shared
// by every test program of the session, and the window saves the volume into
// it when it goes. This puts the file back as it was found.
class ProgramSettingsKeeper {
 public:
  ProgramSettingsKeeper() : path_(SettingsFilePath(DataFolderFrom(DocumentsFolder()))) {
    if (testing::FileExists(path_)) saved_ = testing::ReadFileBytes(path_);
  }
  ~ProgramSettingsKeeper() {
    if (saved_) {
      testing::WriteFileBytes(path_, *saved_);
    } else {
      DeleteFileW(path_.c_str());
    }
  }
  ProgramSettingsKeeper(const ProgramSettingsKeeper&) = delete;
  ProgramSettingsKeeper& operator=(const ProgramSettingsKeeper&) = delete;

 private:
  std::wstring path_;
  std::optional<std::string> saved_;
};

// The volume row as a first start shows it, whatever the shared settings file held.
inline void ShowFirstStartVolumeRow(testing::AppFixture& app, VolumeRow& row) {
  app.control(L"滑块条1").SetSliderPosition(100);
  app.control(L"滑块条1").SetEnabled(true);
  app.control(L"标签2").SetCaption(L"100%");
  row.ShowInitialPicture();
}

class PlaybackTest : public ::testing::Test {
 protected:
  PlaybackTest() {
    row.BindEvents();
    BindBuiltinSoundButtons(app.window(), player, dataFolder);
    ShowFirstStartVolumeRow(app, row);
    // Bound while the Data folder was still unknown, as at start-up.
    dataFolder = folder.Path();
  }

  ui::Control& Slider() { return app.control(L"滑块条1"); }
  std::wstring Label() { return app.control(L"标签2").Caption(); }
  bool ShowsSpeaker() { return PictureIs(assets::SpeakerPng()); }
  bool ShowsMutedSpeaker() { return PictureIs(assets::SpeakerMutedPng()); }
  int Thumb() { return static_cast<int>(SendMessageW(Slider().Handle(), TBM_GETPOS, 0, 0)); }

  // What the trackbar does while the user drags its thumb.
  void DragSliderTo(int position) {
    HWND slider = Slider().Handle();
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(app.hwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
    testing::AppFixture::Pump();
  }

  std::wstring SettingsPath() { return SettingsFilePath(folder.Path()); }
  std::wstring SavedVolume() { return ReadSetting(SettingsPath(), L"设置", L"音量"); }

  ProgramSettingsKeeper programSettings;
  testing::AppFixture app;
  testing::TempFolder folder;
  std::wstring dataFolder;
  testing::RecordingAudioBackend backend;
  Player player{backend, L"snd"};
  VolumeRow row{app.window(), player, dataFolder};

 private:
  bool PictureIs(std::span<const unsigned char> png) {
    return std::ranges::equal(app.control(L"按钮22").Picture(), png);
  }
};

}  // namespace kivora::audio

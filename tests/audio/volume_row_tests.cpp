// The volume row on the real window: what the slider, the mute button and the
// pause button show, send to the Player and keep in the settings file.
#include <gtest/gtest.h>

#include <memory>

#include "app/gbk_text.h"
#include "assets/catalogue.h"
#include "playback_fixture.h"
#include "ui/popup_menu.h"

namespace kivora::audio {
namespace {

using VolumeRowTest = PlaybackTest;

TEST_F(VolumeRowTest, SliderShowsThePercentSetsTheSoundAndSavesEveryPosition) {
  EXPECT_TRUE(ShowsSpeaker()) << "the window starts with the speaker picture";
  const struct {
    int position;
    const wchar_t* label;
    bool speaker;
    const wchar_t* deviceVolume;
  } steps[] = {
      {37, L"37%", true, L"370"},
      {0, L"静音", false, L"0"},
      {1, L"1%", true, L"10"},
      {100, L"100%", true, L"1000"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.position);
    DragSliderTo(step.position);
    EXPECT_EQ(Label(), step.label);
    EXPECT_EQ(ShowsSpeaker(), step.speaker);
    EXPECT_EQ(ShowsMutedSpeaker(), !step.speaker);
    EXPECT_EQ(backend.TakeCalls(), (Calls{std::wstring(L"setaudio snd left volume to ") + step.deviceVolume,
                                          std::wstring(L"setaudio snd right volume to ") + step.deviceVolume}));
    EXPECT_EQ(SavedVolume(), std::to_wstring(step.position));
  }
}

TEST_F(VolumeRowTest, MuteSilencesTheSoundAndUnmuteBringsBackTheSliderVolume) {
  DragSliderTo(37);
  backend.TakeCalls();

  app.Click(L"按钮22");
  EXPECT_TRUE(ShowsMutedSpeaker());
  EXPECT_FALSE(Slider().Enabled());
  EXPECT_EQ(Label(), L"静音");
  EXPECT_EQ(Slider().SliderPosition(), 37) << "muting does not move the slider";
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"setaudio snd left volume to 0", L"setaudio snd right volume to 0"}));
  EXPECT_EQ(SavedVolume(), L"37") << "muting is not saved";

  app.Click(L"按钮22");
  EXPECT_TRUE(ShowsSpeaker());
  EXPECT_TRUE(Slider().Enabled());
  EXPECT_EQ(Label(), L"37%");
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"setaudio snd left volume to 370", L"setaudio snd right volume to 370"}));
}

TEST_F(VolumeRowTest, UnmuteWithTheSliderAtZeroGoesToFullVolume) {
  DragSliderTo(0);
  backend.TakeCalls();
  app.Click(L"按钮22");
  EXPECT_EQ(Slider().SliderPosition(), 100);
  EXPECT_EQ(Thumb(), 100);
  EXPECT_EQ(Label(), L"100%");
  EXPECT_TRUE(ShowsSpeaker());
  EXPECT_TRUE(Slider().Enabled());
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"setaudio snd left volume to 1000", L"setaudio snd right volume to 1000"}));

  // Sound on again: the next click mutes.
  app.Click(L"按钮22");
  EXPECT_TRUE(ShowsMutedSpeaker());
  EXPECT_FALSE(Slider().Enabled());
}

TEST_F(VolumeRowTest, PauseButtonAndMenuItemToggleTheSameSound) {
  app.Click(L"按钮21");
  app.window().ChooseMenuItem(static_cast<int>(ui::MenuItem::StopPlaying));
  app.Click(L"按钮21");
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"pause snd", L"resume snd", L"pause snd"}));
}

// The program's own wiring rather than the test's: the real App's slider, mute
// button, built-in button and pause button reach its player, and closing its
// window saves the volume, muted or not.
TEST(ProgramVolumeRow, ItsOwnBindingsReachItsPlayerAndClosingTheWindowSavesTheVolume) {
  ProgramSettingsKeeper programSettings;
  auto fixture = std::make_unique<testing::AppFixture>();
  const std::wstring alias = fixture->app().Player().Alias();
  const std::wstring settings = testing::AppFixture::SettingsFile();
  auto volumeCalls = [&](const wchar_t* deviceVolume) {
    return Calls{L"setaudio " + alias + L" left volume to " + deviceVolume,
                 L"setaudio " + alias + L" right volume to " + deviceVolume};
  };

  HWND slider = fixture->control(L"滑块条1").Handle();
  SendMessageW(slider, TBM_SETPOS, TRUE, 37);
  SendMessageW(fixture->hwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, 37), reinterpret_cast<LPARAM>(slider));
  EXPECT_EQ(fixture->control(L"标签2").Caption(), L"37%");
  EXPECT_EQ(fixture->audio.TakeCalls(), volumeCalls(L"370"));
  EXPECT_EQ(ReadSetting(settings, L"设置", L"音量"), L"37");

  fixture->Click(L"按钮22");
  EXPECT_EQ(fixture->control(L"标签2").Caption(), L"静音");
  EXPECT_EQ(fixture->audio.TakeCalls(), volumeCalls(L"0"));

  const CatalogueEntry& first = Catalogue()[0];
  fixture->Click(first.buttonName);
  const Calls played = fixture->audio.TakeCalls();
  ASSERT_GE(played.size(), 3u);
  EXPECT_EQ(played.front(), L"close " + alias);
  EXPECT_TRUE(played[1].starts_with(L"open MPEGvideo ")) << played[1];
  EXPECT_TRUE(played[1].ends_with(first.relativePath)) << played[1];
  EXPECT_EQ(played.back(), L"play " + alias);

  fixture->Click(L"按钮21");
  EXPECT_EQ(fixture->audio.TakeCalls(), Calls{L"pause " + alias});

  DeleteFileW(settings.c_str());
  fixture.reset();
  EXPECT_EQ(ReadSetting(settings, L"设置", L"音量"), L"37") << "saved as the window closed, though muted";
}

TEST(RestoreVolume, PutsTheSavedVolumeOnTheSliderLabelAndPicture) {
  const struct {
    const char* fileContent;  // nullptr: no settings file at all
    int position;
    int thumb;
    const wchar_t* label;
    bool speaker;
    Calls calls;
  } cases[] = {
      {nullptr, 100, 100, L"100%", true, {}},
      {"[设置]\r\n音量=\r\n", 100, 100, L"100%", true, {}},
      {"[设置]\r\n最前=1\r\n", 100, 100, L"100%", true, {}},
      {"[设置]\r\n音量=37\r\n", 37, 37, L"37%", true,
       {L"setaudio snd left volume to 370", L"setaudio snd right volume to 370"}},
      {"[设置]\r\n音量=0\r\n", 0, 0, L"0%", false,
       {L"setaudio snd left volume to 0", L"setaudio snd right volume to 0"}},
      // Kept above the track's end; every SetVolume with it is out of range.
      {"[设置]\r\n音量=250\r\n", 250, 100, L"250%", true, {}},
      {"[设置]\r\n音量=-5\r\n", 0, 0, L"0%", false,
       {L"setaudio snd left volume to 0", L"setaudio snd right volume to 0"}},
      {"[设置]\r\n音量=abc\r\n", 0, 0, L"0%", false,
       {L"setaudio snd left volume to 0", L"setaudio snd right volume to 0"}},
      {"[设置]\r\n音量=64%\r\n", 64, 64, L"64%", true,
       {L"setaudio snd left volume to 640", L"setaudio snd right volume to 640"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileContent ? c.fileContent : "no settings file");
    ProgramSettingsKeeper programSettings;
    testing::AppFixture app;
    testing::TempFolder folder;
    testing::RecordingAudioBackend backend;
    Player player(backend, L"snd");
    VolumeRow row(app.window(), player, folder.Path());
    ShowFirstStartVolumeRow(app, row);
    if (c.fileContent) {
      // The literal is UTF-8 source text; the file holds GBK.
      const std::string utf8 = c.fileContent;
      std::wstring wide(utf8.size(), L'\0');
      wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                          wide.data(), static_cast<int>(wide.size()))));
      ASSERT_TRUE(testing::WriteFileBytes(SettingsFilePath(folder.Path()), ToGbk(wide)));
    }
    row.RestoreVolume();
    ui::Control& slider = app.control(L"滑块条1");
    EXPECT_EQ(slider.SliderPosition(), c.position);
    EXPECT_EQ(SendMessageW(slider.Handle(), TBM_GETPOS, 0, 0), c.thumb);
    EXPECT_EQ(app.control(L"标签2").Caption(), c.label);
    EXPECT_TRUE(std::ranges::equal(app.control(L"按钮22").Picture(),
                                   c.speaker ? assets::SpeakerPng() : assets::SpeakerMutedPng()));
    EXPECT_TRUE(slider.Enabled());
    EXPECT_EQ(backend.TakeCalls(), c.calls);
  }
}

TEST_F(VolumeRowTest, ARestoredVolumeAboveTheTrackIsSavedBackUnchanged) {
  ASSERT_TRUE(WriteSetting(SettingsPath(), L"设置", L"音量", L"250"));
  row.RestoreVolume();
  DeleteFileW(SettingsPath().c_str());
  row.SaveVolume();
  EXPECT_EQ(SavedVolume(), L"250");
}

}  // namespace
}  // namespace kivora::audio

// The volume row on the real window: what the slider, the mute button and the
// pause button show, send to the Player and keep in the settings file.
#include <gtest/gtest.h>

#include "base/gbk_text.h"
#include "support/temp_folder.h"
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
  EXPECT_EQ(Volume(), 37) << "muting does not move the slider";
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
  EXPECT_EQ(Volume(), 100);
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

TEST_F(VolumeRowTest, TheVolumeIsSavedAtTeardownEvenWhileMuted) {
  DragSliderTo(37);
  app.Click(L"按钮22");
  DeleteFileW(SettingsPath().c_str());
  app.window().Destroy();  // the teardown runs as the window goes
  EXPECT_EQ(SavedVolume(), L"37");
}

// The volume file as a previous run or a hand edit left it; the program then starts on it.
void StartWithSettingsFile(const char* utf8Content) {
  DeleteFileW(testing::AppFixture::SettingsFile().c_str());
  if (!utf8Content) return;
  // The literal is UTF-8 source text; the file holds GBK.
  const std::string utf8 = utf8Content;
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  CreateDirectoryW(testing::AppFixture::DataFolder().c_str(), nullptr);
  ASSERT_TRUE(testing::WriteFileBytes(testing::AppFixture::SettingsFile(), ToGbk(wide)));
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
    StartWithSettingsFile(c.fileContent);
    testing::AppFixture app(testing::AppFixture::Settings::AsTheyAre);
    ui::Slider& slider = app.window().As<ui::Slider>(L"滑块条1");
    EXPECT_EQ(app.app().Volume().Volume(), c.position);
    EXPECT_EQ(slider.TrackPosition(), c.thumb);
    EXPECT_EQ(app.control(L"标签2").Caption(), c.label);
    EXPECT_TRUE(std::ranges::equal(app.window().As<ui::PictureButton>(L"按钮22").Picture(),
                                   c.speaker ? assets::SpeakerPng() : assets::SpeakerMutedPng()));
    EXPECT_TRUE(slider.Enabled());
    EXPECT_EQ(app.audio.TakeCalls(), c.calls);
  }
}

TEST(RestoreVolume, AVolumeAboveTheTrackIsSavedBackUnchanged) {
  StartWithSettingsFile("[设置]\r\n音量=250\r\n");
  testing::AppFixture app(testing::AppFixture::Settings::AsTheyAre);
  DeleteFileW(testing::AppFixture::SettingsFile().c_str());
  app.window().Destroy();
  EXPECT_EQ(ReadSetting(testing::AppFixture::SettingsFile(), L"设置", L"音量"), L"250");
}

// A restored volume above the track's end is a value the thumb cannot show. The
// first thing the user does with the slider takes the track's real position, even
// when the thumb stays at the end (End, Right, a drag to the end): each sends its
// scroll notification with the thumb at 100.
TEST(RestoreVolume, TheFirstUserMoveTakesTheTracksPositionEvenAtTheEnd) {
  const struct {
    const char* action;
    WORD code;
  } actions[] = {{"End", TB_BOTTOM}, {"Right", TB_LINEDOWN}, {"drag to the end", TB_THUMBTRACK}};
  for (const auto& action : actions) {
    SCOPED_TRACE(action.action);
    StartWithSettingsFile("[设置]\r\n音量=250\r\n");
    testing::AppFixture app(testing::AppFixture::Settings::AsTheyAre);
    app.audio.TakeCalls();
    HWND slider = app.control(L"滑块条1").Handle();
    SendMessageW(app.hwnd(), WM_HSCROLL, MAKEWPARAM(action.code, 100), reinterpret_cast<LPARAM>(slider));
    testing::AppFixture::Pump();
    EXPECT_EQ(app.app().Volume().Volume(), 100);
    EXPECT_EQ(app.control(L"标签2").Caption(), L"100%");
    EXPECT_EQ(app.audio.TakeCalls(), (Calls{L"setaudio snd left volume to 1000", L"setaudio snd right volume to 1000"}));
    EXPECT_EQ(ReadSetting(testing::AppFixture::SettingsFile(), L"设置", L"音量"), L"100");
  }
}

}  // namespace
}  // namespace kivora::audio

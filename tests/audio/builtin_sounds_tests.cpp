// The sixty built-in buttons on the real window: each opens its own file from
// the Data folder and plays it at the slider's volume, whatever state the
// Player and the volume row are in.
#include <gtest/gtest.h>

#include "assets/catalogue.h"
#include "playback_fixture.h"

namespace kivora::audio {
namespace {

using BuiltinSoundsTest = PlaybackTest;

Calls OpenAndPlayAt(const std::wstring& path, const std::wstring& deviceVolume) {
  return {L"close snd", L"open MPEGvideo snd " + path, L"setaudio snd left volume to " + deviceVolume,
          L"setaudio snd right volume to " + deviceVolume, L"play snd"};
}

TEST_F(BuiltinSoundsTest, EveryButtonPlaysItsOwnCatalogueFile) {
  ASSERT_EQ(Catalogue().size(), 60u);
  for (const CatalogueEntry& entry : Catalogue()) {
    app.ClickTab(PageOf(entry));
    backend.TakeCalls();
    app.Click(entry.buttonName);
    EXPECT_EQ(backend.TakeCalls(), OpenAndPlayAt(dataFolder + std::wstring(entry.relativePath), L"1000"))
        << std::wstring(entry.buttonName);
  }
}

TEST_F(BuiltinSoundsTest, PlaysWhilePausedAndTheNextToggleThenPauses) {
  app.Click(L"按钮21");
  EXPECT_TRUE(player.Paused());
  backend.TakeCalls();
  app.Click(L"按钮63");
  EXPECT_EQ(backend.TakeCalls(), OpenAndPlayAt(dataFolder + L"音乐\\01群众笑声.mp3", L"1000"));
  app.Click(L"按钮21");
  EXPECT_EQ(backend.TakeCalls(), (Calls{L"pause snd"}));
}

TEST_F(BuiltinSoundsTest, PlaysAtTheSliderVolumeWhileMuted) {
  DragSliderTo(37);
  app.Click(L"按钮22");
  backend.TakeCalls();
  app.Click(L"按钮63");
  EXPECT_EQ(backend.TakeCalls(), OpenAndPlayAt(dataFolder + L"音乐\\01群众笑声.mp3", L"370"));
  // The row still reads muted until the next click on the mute button.
  EXPECT_EQ(Label(), L"静音");
  EXPECT_FALSE(Slider().Enabled());
}

TEST_F(BuiltinSoundsTest, AMissingFileEndsInSilenceWithoutAMessage) {
  backend.scriptedResults = {0, 275};  // close answers, then the open finds no file
  app.Click(L"按钮63");
  EXPECT_EQ(backend.TakeCalls(), OpenAndPlayAt(dataFolder + L"音乐\\01群众笑声.mp3", L"1000"));
  EXPECT_TRUE(app.prompts.shown.empty());
}

}  // namespace
}  // namespace kivora::audio

// Every sound on a second device: the Player's commands reach both back ends in
// the same order, the Player hears only the main one's answers, and a mirror that
// fails or is taken away mid-sound changes nothing on the main device.
#include <gtest/gtest.h>

#include "audio/engine/mirrored_backend.h"
#include "audio/engine/player.h"
#include "support/recording_audio_backend.h"

namespace kivora::audio {
namespace {

TEST(MirroredBackend, EveryCommandReachesBothAndOnlyTheMainOneAnswers) {
  testing::RecordingAudioBackend main, mirror;
  mirror.defaultResult = 263;  // the second device is gone: every command fails there
  MirroredBackend mirrored(main);
  mirrored.SetMirror(&mirror);
  Player player(mirrored, L"a");

  EXPECT_TRUE(player.Open(L"C:\\clip.mp3"));
  EXPECT_TRUE(ApplyVolumeAndPlay(player, 40));
  EXPECT_TRUE(player.PauseToggle());
  player.Close();
  const std::vector<std::wstring> heard = main.TakeCalls();
  EXPECT_EQ(mirror.TakeCalls(), heard) << "volume, pause and the cut-off act on both devices";
  EXPECT_GE(heard.size(), 5u);

  // Taken away between two sounds: the next one plays on the main device alone.
  mirrored.SetMirror(nullptr);
  EXPECT_TRUE(player.Open(L"C:\\next.mp3"));
  EXPECT_FALSE(main.TakeCalls().empty());
  EXPECT_TRUE(mirror.TakeCalls().empty());
}

TEST(MirroredBackend, TheMainAnswerIsTheOneThePlayerGets) {
  testing::RecordingAudioBackend main, mirror;
  main.defaultResult = 275;  // the main device cannot open the file; the mirror can
  MirroredBackend mirrored(main);
  mirrored.SetMirror(&mirror);
  Player player(mirrored, L"a");
  EXPECT_FALSE(player.Open(L"C:\\missing.mp3"));
  SilentBackend silent;
  EXPECT_NE(silent.Open(L"mpegvideo", L"C:\\x.mp3", L"a"), 0u) << "the mirror's fallback plays nothing";
  EXPECT_NE(silent.Send(L"play a"), 0u);
}

}  // namespace
}  // namespace kivora::audio

// The Player on each of its real back ends (the Media Control Interface, and the
// sound engine in front of it), heard through the session's file-backed sound
// device: sounds play, cut each other off, pause, resume and follow the volume.
// Skipped outside a session that records sound.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "backend_under_test.h"
#include "audio/engine/player.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

constexpr DWORD kDeadlineMs = 8000;
// Falling silent must happen well inside the six seconds of a clip, or the
// clip's own end would pass for a pause.
constexpr DWORD kSilenceDeadlineMs = 2000;
constexpr size_t kBlocksPerSecond = 100;
// The clips are sines at half of full scale; decoded at full volume their
// level is about 11000.
constexpr double kClipLevel = 11000.0;

// Delivers this thread's messages, as the program's event loop does while a sound plays.
void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The level of the last count blocks that hold tone, or -1 when there are fewer.
double RecentLevel(const std::vector<Block>& blocks, Tone tone, size_t count) {
  std::vector<Block> recent;
  for (auto it = blocks.rbegin(); it != blocks.rend() && recent.size() < count; ++it) {
    if (it->tone == tone) recent.push_back(*it);
  }
  return recent.size() < count ? -1.0 : MedianLevel(recent, tone);
}

class RealSoundTest : public ::testing::TestWithParam<BackendKind> {
 protected:
  // The program's user-interface thread is a single-threaded apartment before
  // any sound opens; the sound device relies on COM being there.
  static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    const std::wstring recording = RecordedSoundPath();
    if (recording.empty()) GTEST_SKIP() << "KIVORA_AUDIO_OUT is not set: no session records the sound device";
    tap = std::make_unique<SoundTap>(recording);
    // Clips named and placed like the program's own: Chinese names under 音乐.
    const std::wstring music = folder.Path() + L"音乐\\";
    CreateDirectoryW(music.c_str(), nullptr);
    lowClip = music + L"01低音 测试.mp3";
    highClip = music + L"02高音.mp3";
    ASSERT_TRUE(CopyFileW(FixturePath(L"low_tone.mp3").c_str(), lowClip.c_str(), FALSE)) << FixturePath(L"low_tone.mp3");
    ASSERT_TRUE(CopyFileW(FixturePath(L"high_tone.mp3").c_str(), highClip.c_str(), FALSE));
  }

  // Pumps messages and listens until done() holds; false when the deadline passed first.
  bool ListenUntil(const std::function<bool(const std::vector<Block>&)>& done, DWORD timeoutMs = kDeadlineMs) {
    const DWORD start = GetTickCount();
    for (;;) {
      PumpMessages();
      tap->Poll();
      if (done(tap->BlocksSinceMark())) return true;
      if (GetTickCount() - start > timeoutMs) return false;
      Sleep(10);
    }
  }

  static size_t Audible(const std::vector<Block>& blocks) {
    return blocks.size() - CountBlocks(blocks, Tone::Silence);
  }

  // Listens until nothing audible has come out for quietMs. The device pads the
  // gaps between buffers with silence, so quiet is judged by the clock, not by
  // counting silent blocks.
  bool ListenUntilQuietFor(DWORD quietMs, DWORD timeoutMs = kSilenceDeadlineMs) {
    size_t audibleSoFar = 0;
    DWORD lastSound = GetTickCount();
    return ListenUntil(
        [&](const std::vector<Block>& blocks) {
          const size_t audible = Audible(blocks);
          if (audible != audibleSoFar) {
            audibleSoFar = audible;
            lastSound = GetTickCount();
          }
          return GetTickCount() - lastSound >= quietMs;
        },
        timeoutMs);
  }

  // Pumps messages and listens for a fixed time: for showing that something does not happen.
  std::vector<Block> ListenFor(DWORD durationMs) {
    ListenUntil([](const std::vector<Block>&) { return false; }, durationMs);
    return tap->BlocksSinceMark();
  }

  static auto AtLeast(size_t count, Tone tone) {
    return [count, tone](const std::vector<Block>& blocks) { return CountBlocks(blocks, tone) >= count; };
  }

  testing::TempFolder folder;
  std::wstring lowClip, highClip;
  std::unique_ptr<SoundTap> tap;
  BackendUnderTest backend{GetParam()};
  Player player{backend.Get()};
};

TEST_P(RealSoundTest, AClipPlaysThroughTheDevice) {
  ASSERT_TRUE(player.Open(lowClip));
  EXPECT_TRUE(ApplyVolumeAndPlay(player, 100));
  ASSERT_TRUE(ListenUntil(AtLeast(kBlocksPerSecond / 2, Tone::Low))) << "half a second of the clip within the deadline";
  const std::vector<Block> blocks = tap->BlocksSinceMark();
  EXPECT_EQ(CountBlocks(blocks, Tone::High), 0u);
  // Volume 100 is the device's full 1000: the clip comes out at its own level.
  EXPECT_NEAR(MedianLevel(blocks, Tone::Low), kClipLevel, 0.04 * kClipLevel);
}

TEST_P(RealSoundTest, ASecondOpenCutsTheFirstSoundOff) {
  ASSERT_TRUE(player.Open(lowClip));
  ApplyVolumeAndPlay(player, 100);
  ASSERT_TRUE(ListenUntil(AtLeast(10, Tone::Low)));

  tap->Mark();
  ASSERT_TRUE(player.Open(highClip));
  ApplyVolumeAndPlay(player, 100);
  ASSERT_TRUE(ListenUntil(AtLeast(kBlocksPerSecond, Tone::High))) << "a second of the new clip";

  const std::vector<Block> blocks = tap->BlocksSinceMark();
  const auto firstHigh = std::ranges::find(blocks, Tone::High, &Block::tone);
  const auto lowAfterwards = std::count_if(firstHigh, blocks.end(), [](const Block& b) { return b.tone == Tone::Low; });
  EXPECT_EQ(lowAfterwards, 0) << "the first clip went on under the second";
}

TEST_P(RealSoundTest, PauseStopsTheSoundAndResumeBringsItBack) {
  ASSERT_TRUE(player.Open(lowClip));
  ApplyVolumeAndPlay(player, 100);
  ASSERT_TRUE(ListenUntil(AtLeast(20, Tone::Low)));

  EXPECT_TRUE(player.PauseToggle());
  // What the device had buffered before the pause may still come out.
  tap->Mark();
  ASSERT_TRUE(ListenUntilQuietFor(500)) << "the sound did not fall silent after the pause";
  tap->Mark();
  const std::vector<Block> whilePaused = ListenFor(1000);
  EXPECT_EQ(Audible(whilePaused), 0u) << "sound came out of a paused player";

  tap->Mark();
  EXPECT_TRUE(player.PauseToggle());
  EXPECT_TRUE(ListenUntil(AtLeast(20, Tone::Low))) << "the sound did not come back after resume";
}

TEST_P(RealSoundTest, ThePlayingSoundFollowsTheVolume) {
  ASSERT_TRUE(player.Open(lowClip));
  ApplyVolumeAndPlay(player, 100);
  ASSERT_TRUE(ListenUntil(AtLeast(40, Tone::Low)));
  const double full = MedianLevel(tap->BlocksSinceMark(), Tone::Low);

  EXPECT_TRUE(player.SetVolume(37, 37));
  tap->Mark();
  ASSERT_TRUE(ListenUntil([full](const std::vector<Block>& blocks) {
    const double recent = RecentLevel(blocks, Tone::Low, 10);
    return recent >= 0 && recent < 0.6 * full;
  })) << "the level did not drop after volume 37";
  tap->Mark();
  ASSERT_TRUE(ListenUntil(AtLeast(30, Tone::Low)));
  const double ratio = MedianLevel(tap->BlocksSinceMark(), Tone::Low) / full;
  EXPECT_NEAR(ratio, 0.37, 0.03) << "full level " << full;

  EXPECT_TRUE(player.SetVolume(0, 0));
  tap->Mark();
  ASSERT_TRUE(ListenUntilQuietFor(500)) << "the sound did not fall silent at volume 0";
  tap->Mark();
  const std::vector<Block> atZero = ListenFor(1000);
  EXPECT_EQ(Audible(atZero), 0u);
  EXPECT_GT(tap->BytesSinceMark(), 0u) << "the device stopped instead of playing silence";
}

// Files a user may point a button at that are no sound at all: each is refused
// quietly, and the next good clip still plays.
TEST_P(RealSoundTest, FilesThatAreNoSoundGiveSilenceAndTheNextClipPlays) {
  const std::wstring text = folder.Path() + L"说明.mp3";
  const std::wstring empty = folder.Path() + L"空.mp3";
  ASSERT_TRUE(testing::WriteFileBytes(text, "this is not an MP3 file, only text"));
  ASSERT_TRUE(testing::WriteFileBytes(empty, ""));
  for (const std::wstring& bad : {text, empty, folder.Path() + L"不存在.mp3", std::wstring()}) {
    EXPECT_FALSE(player.Open(bad)) << std::string(bad.begin(), bad.end());
    ApplyVolumeAndPlay(player, 100);
  }
  tap->Mark();
  ASSERT_TRUE(player.Open(lowClip));
  ApplyVolumeAndPlay(player, 100);
  EXPECT_TRUE(ListenUntil(AtLeast(10, Tone::Low))) << "a good clip after the bad ones";
}

INSTANTIATE_TEST_SUITE_P(Backends, RealSoundTest, ::testing::Values(BackendKind::Mci, BackendKind::Engine),
                         [](const ::testing::TestParamInfo<BackendKind>& info) { return BackendName(info.param); });

}  // namespace
}  // namespace kivora::audio

// The sound engine heard through the session's recorded sound device: what it
// plays is the clip's own decode, sample for sample; a cut fades instead of
// clicking; what it cannot decode goes to the Media Control Interface; a device
// that fails is opened again for the next sound. Skipped outside a session
// that records sound.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "assets/catalogue.h"
#include "audio/engine/player.h"
#include "backend_under_test.h"
#include "recorded_sound.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

constexpr DWORD kDeadlineMs = 8000;
constexpr int kSoundThreshold = 64;  // |sample| above this is sound

size_t FirstSound(const std::vector<int16_t>& samples, size_t from = 0) {
  for (size_t i = from; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > kSoundThreshold) return i;
  }
  return samples.size();
}

class EngineSoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void SetUp() override {
    const std::wstring recording = RecordedSoundPath();
    if (recording.empty()) GTEST_SKIP() << "KIVORA_AUDIO_OUT is not set: no session records the sound device";
    tap = std::make_unique<SoundTap>(recording);
    lowClip = folder.Path() + L"低音.mp3";
    highClip = folder.Path() + L"高音.mp3";
    ASSERT_TRUE(CopyFileW(FixturePath(L"low_tone.mp3").c_str(), lowClip.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(FixturePath(L"high_tone.mp3").c_str(), highClip.c_str(), FALSE));
  }

  // Listens until done() holds on the samples since the mark; false at the deadline.
  bool ListenUntil(const std::function<bool(const std::vector<int16_t>&)>& done, DWORD timeoutMs = kDeadlineMs) {
    const DWORD start = GetTickCount();
    for (;;) {
      tap->Poll();
      if (done(tap->Left())) return true;
      if (GetTickCount() - start > timeoutMs) return false;
      Sleep(10);
    }
  }

  // Listens until count samples have come after the first sound.
  bool ListenPastSound(size_t count) {
    return ListenUntil([count](const std::vector<int16_t>& left) {
      const size_t first = FirstSound(left);
      return first < left.size() && left.size() - first >= count;
    });
  }

  bool Play(const std::wstring& path, int volume = 100) {
    return player.Open(path) && ApplyVolumeAndPlay(player, volume);
  }

  testing::TempFolder folder;
  std::wstring lowClip, highClip;
  std::unique_ptr<SoundTap> tap;
  BackendUnderTest backend{BackendKind::Engine};
  Player player{backend.Get()};
};

// A built-in clip comes out as the reference decoder (lame --decode, taken to
// 48 kHz by sox) makes it: encoder delay gone, the same samples from the first
// on. A decode that kept the delay, or lost samples, would be shifted.
TEST_F(EngineSoundTest, ABuiltInClipSoundsAsTheReferenceDecodeFromItsFirstSample) {
  const std::wstring clip = folder.Path() + L"01.mp3";
  const auto body = BodyOf(Catalogue()[0]);
  ASSERT_TRUE(testing::WriteFileBytes(clip, std::string(body.begin(), body.end())));
  const std::vector<int16_t> reference = LeftChannelOf(testing::ReadFileBytes(FixturePath(L"clip01_reference_48k.raw")));
  ASSERT_GT(reference.size(), 10000u);

  ASSERT_TRUE(Play(clip));
  ASSERT_TRUE(ListenPastSound(reference.size()));
  const std::vector<int16_t>& heard = tap->Left();
  const size_t heardStart = FirstSound(heard);
  const size_t referenceStart = FirstSound(reference);
  ASSERT_GE(heardStart, referenceStart) << "the device began with sound the clip does not start with";
  const size_t offset = heardStart - referenceStart;
  double errorEnergy = 0, signalEnergy = 0;
  int worst = 0;
  for (size_t i = 0; i < reference.size(); ++i) {
    const int difference = heard[offset + i] - reference[i];
    worst = std::max(worst, std::abs(difference));
    errorEnergy += double(difference) * difference;
    signalEnergy += double(reference[i]) * reference[i];
  }
  // Two different resamplers took the clip to 48 kHz; what remains is their
  // difference near the top of the band, far below the sound itself.
  EXPECT_LT(std::sqrt(errorEnergy / signalEnergy), 0.005) << "worst sample difference " << worst;
  EXPECT_LT(worst, 64);
}

// Cutting a sound off fades it, whatever the phase at which the cut comes: the
// sound ends quietly instead of dropping from full level to nothing (a click).
TEST_F(EngineSoundTest, CuttingASoundOffFadesInsteadOfClicking) {
  for (int round = 0; round < 3; ++round) {
    tap->Mark();
    ASSERT_TRUE(Play(lowClip));
    ASSERT_TRUE(ListenPastSound(4800 + round * 1117));  // cut at a different phase each round
    player.Close();
    ASSERT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
      const size_t first = FirstSound(left);
      // 100 ms of exact silence after the sound.
      return first < left.size() && left.size() > 4800 &&
             std::all_of(left.end() - 4800, left.end(), [](int16_t s) { return s == 0; });
    }));
    const std::vector<int16_t>& left = tap->Left();
    const auto lastSound = std::find_if(left.rbegin(), left.rend(), [](int16_t s) { return s != 0; });
    const size_t end = static_cast<size_t>(left.rend() - lastSound);
    ASSERT_GT(end, FirstSound(left) + 960);
    const auto peak = [&left](size_t from, size_t to) {
      int largest = 0;
      for (size_t i = from; i < to; ++i) largest = std::max(largest, std::abs(int{left[i]}));
      return largest;
    };
    // A 1 ms window of a 440 Hz tone always holds nearly its peak, so a hard
    // cut ends at full level; a 4 ms fade ends at under a quarter of it. (The
    // device's own gaps when the machine is busy lie earlier and do not count.)
    const int tone = peak(FirstSound(left), end - 960);
    EXPECT_LT(peak(end - 48, end), tone / 4) << "round " << round << ", tone peak " << tone;
  }
}

// A mu-law WAVE at 8 kHz, once the system player's, is the engine's own.
TEST_F(EngineSoundTest, AMuLawWavePlaysThroughTheEngine) {
  const std::wstring mulaw = folder.Path() + L"低音μ.wav";
  ASSERT_TRUE(CopyFileW(FixturePath(L"low_tone_mulaw.wav").c_str(), mulaw.c_str(), FALSE));
  ASSERT_TRUE(Play(mulaw));
  EXPECT_TRUE(backend.EngineBack()->EngineHasSound());
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::Low) >= 30;
  })) << "the engine did not play the mu-law file";
}

// A file the engine cannot decode (MPEG audio in WAVE) plays through MCI, exactly
// as without the engine; the next MP3 is the engine's again.
TEST_F(EngineSoundTest, AFileTheEngineRefusesPlaysThroughTheMediaControlInterface) {
  const std::wstring mpeg = folder.Path() + L"低音.wav";
  ASSERT_TRUE(CopyFileW(FixturePath(L"low_tone_mpeg.wav").c_str(), mpeg.c_str(), FALSE));
  ASSERT_TRUE(Play(mpeg));
  EXPECT_FALSE(backend.EngineBack()->EngineHasSound());
  ASSERT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::Low) >= 30;
  })) << "the fallback did not play the file";

  player.Close();
  tap->Mark();
  ASSERT_TRUE(Play(highClip));
  EXPECT_TRUE(backend.EngineBack()->EngineHasSound());
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::High) >= 30;
  })) << "the engine did not take the next clip";
}

// A quiet spell after the last sound closes the stream (a stopped stream still
// costs a timer on some systems); the next sound opens it again and is heard
// whole, as is one that comes while the stream is still open.
TEST_F(EngineSoundTest, AfterAQuietSpellTheStreamClosesAndTheNextSoundOpensItAgain) {
  ASSERT_TRUE(Play(lowClip));
  ASSERT_TRUE(ListenPastSound(4800));
  player.Close();
  SoundEngine& engine = *backend.Engine();
  const int openings = engine.StreamOpenings();
  EXPECT_TRUE(engine.StreamOpen()) << "the stream closed at once instead of after a quiet spell";
  const DWORD start = GetTickCount();
  while (engine.StreamOpen() && GetTickCount() - start < kDeadlineMs) Sleep(20);
  EXPECT_FALSE(engine.StreamOpen()) << "the stream stayed open through the quiet";
  EXPECT_GT(GetTickCount() - start, 1000u) << "the stream closed before the quiet spell was over";

  tap->Mark();
  ASSERT_TRUE(Play(highClip));
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::High) >= 30;
  })) << "no sound after the stream closed";
  EXPECT_EQ(engine.StreamOpenings(), openings + 1);
  EXPECT_TRUE(engine.StreamOpen());
}

// A pause longer than the quiet spell that closes an unused stream: the paused
// sound keeps its place and goes on when resumed.
TEST_F(EngineSoundTest, ASoundPausedThroughTheQuietSpellGoesOnWhenResumed) {
  ASSERT_TRUE(Play(lowClip));
  ASSERT_TRUE(ListenPastSound(4800));
  EXPECT_TRUE(player.PauseToggle());
  Sleep(4000);
  tap->Mark();
  EXPECT_TRUE(player.PauseToggle());
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::Low) >= 30;
  })) << "the paused sound did not come back";
}

// When the device fails while a sound plays, the engine closes its stream and
// the next sound opens it again and plays.
TEST_F(EngineSoundTest, AfterTheDeviceFailsTheNextSoundOpensItAgainAndPlays) {
  ASSERT_TRUE(Play(lowClip));
  ASSERT_TRUE(ListenPastSound(4800));
  SoundEngine& engine = *backend.Engine();
  const int openings = engine.StreamOpenings();

  backend.Device().FailNow();
  const DWORD start = GetTickCount();
  while (engine.StreamOpen() && GetTickCount() - start < 2000) Sleep(5);
  EXPECT_FALSE(engine.StreamOpen()) << "the engine kept a failed stream";
  // A sound while the device is still gone: silence, and the player carries on.
  EXPECT_TRUE(Play(highClip));

  backend.Device().Recover();
  tap->Mark();
  ASSERT_TRUE(Play(highClip));
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::High) >= 30;
  })) << "no sound after the device came back";
  EXPECT_GT(engine.StreamOpenings(), openings);
}

// The device is invalidated while the stream waits stopped between two sounds:
// the click that meets the failure is heard all the same, on a stream opened afresh.
TEST_F(EngineSoundTest, TheClickThatMeetsAnInvalidatedDeviceIsHeard) {
  ASSERT_TRUE(Play(lowClip));
  ASSERT_TRUE(ListenPastSound(4800));
  player.Close();
  SoundEngine& engine = *backend.Engine();
  const int openings = engine.StreamOpenings();
  Sleep(600);  // past the moment the stream stops after the last sound (a running one must fail alike)

  backend.Device().InvalidateOpenStreams();
  tap->Mark();
  ASSERT_TRUE(Play(highClip));
  EXPECT_TRUE(ListenUntil([](const std::vector<int16_t>& left) {
    return CountBlocks(Blocks(left), Tone::High) >= 30;
  })) << "the click that met the failed device was lost";
  EXPECT_GT(engine.StreamOpenings(), openings);
}

}  // namespace
}  // namespace kivora::audio

// Each sound as its button is set, through the Player, the engine's back end and
// the engine, on scripted devices played in real time: how a second press acts
// in each mode, the level, the fades, the trim, a loop's seam, many sounds at
// once, pause, a preview heard on the monitor alone, and each output's own level.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "audio/dsp/voice_envelope.h"
#include "audio/engine/engine_backend.h"
#include "audio/engine/player.h"
#include "audio/engine/sound_engine.h"
#include "support/scripted_output.h"
#include "support/wait_for.h"
#include "support/recording_audio_backend.h"
#include "support/temp_folder.h"

namespace kivora::audio {
namespace {

using scripted::ClockedStream;
using scripted::ScriptedDevice;

constexpr DWORD kDeadlineMs = 15000;
constexpr unsigned kRate = 48000;
constexpr int kFullVolume = 100;
const wchar_t* const kCable = L"{0.0.0.00000000}.{cable}";

bool WaitFor(auto done, DWORD timeoutMs = kDeadlineMs) { return testing::WaitUntil(done, timeoutMs); }

int64_t Frames(int ms) { return FramesOfMilliseconds(ms, kRate); }
// A press takes effect at the device thread's next wake after the frames that
// were waited for, later on a busy machine.
const int64_t kPressSlack = Frames(100);

// A level that never touches zero, 0.25 ± 0.2 at 100 Hz: any frame of it can be
// told from silence, and any step larger than its own is a click.
std::vector<float> SineLevel(int64_t frames) {
  std::vector<float> samples(static_cast<size_t>(frames));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = 0.25f + 0.2f * std::sin(2.0f * std::numbers::pi_v<float> * 100.0f * static_cast<float>(i) / kRate);
  }
  return samples;
}
const float kSineLargestStep = 0.2f * 2.0f * std::numbers::pi_v<float> * 100.0f / kRate;

// A value of its own for every frame, rising from 0.1 to 0.5: a frame lost,
// repeated or shifted shows.
std::vector<float> Ramp(int64_t frames) {
  std::vector<float> samples(static_cast<size_t>(frames));
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = 0.1f + 0.4f * static_cast<float>(i) / static_cast<float>(frames);
  return samples;
}

std::vector<float> Constant(int64_t frames, float level) { return std::vector<float>(static_cast<size_t>(frames), level); }

// The samples as a 32-bit float stereo WAVE at 48 kHz, both channels alike: its
// decode is the samples themselves, the reference every case compares with.
std::string FloatWave(const std::vector<float>& samples) {
  auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  std::string data(samples.size() * 8, '\0');
  for (size_t i = 0; i < samples.size(); ++i) {
    std::memcpy(&data[i * 8], &samples[i], 4);
    std::memcpy(&data[i * 8 + 4], &samples[i], 4);
  }
  return "RIFF" + le32(36 + uint32_t(data.size())) + "WAVE" + "fmt " + le32(16) + le16(3) + le16(2) + le32(kRate) +
         le32(kRate * 8) + le16(8) + le16(32) + "data" + le32(uint32_t(data.size())) + data;
}

// What a device played, every stream in order, left channel.
std::vector<float> Played(ScriptedDevice& device) {
  std::vector<float> played;
  for (ClockedStream* stream : device.All()) {
    std::vector<float> written = stream->Written();
    played.insert(played.end(), written.begin(), written.end());
  }
  return played;
}

// The same, silence left out.
std::vector<float> Sound(ScriptedDevice& device) {
  std::vector<float> sound;
  for (float sample : Played(device)) {
    if (sample != 0.0f) sound.push_back(sample);
  }
  return sound;
}

size_t SoundFrames(ScriptedDevice& device) {
  size_t frames = 0;
  for (ClockedStream* stream : device.All()) frames += stream->FramesAtLeast(1e-9f);
  return frames;
}

// The device has played no new sound for a while: every sound has ended there.
bool Settled(ScriptedDevice& device) {
  size_t heard = SIZE_MAX;
  return WaitFor([&] {
    const size_t now = SoundFrames(device);
    const bool settled = now > 0 && now == heard;
    heard = now;
    Sleep(250);
    return settled;
  });
}

float LargestStep(const std::vector<float>& sound) {
  float largest = 0;
  for (size_t i = 1; i < sound.size(); ++i) largest = std::max(largest, std::abs(sound[i] - sound[i - 1]));
  return largest;
}

size_t CountAtLeast(const std::vector<float>& sound, float level) {
  return static_cast<size_t>(std::ranges::count_if(sound, [&](float sample) { return sample >= level; }));
}

// The Player over the engine's back end, as the program has them, on a scripted
// monitor and a scripted broadcast device; each button plays a file of its own,
// shaped as the case sets it.
struct Board {
  Board() {
    engine.SetOutput(kBroadcastSink, cable, kCable);
    player.SetPressShapes([this](const std::wstring& key) {
      const auto found = presses.find(key);
      return found == presses.end() ? SoundPress{} : found->second;
    });
  }
  // Button key plays samples, shaped as press says.
  void Set(const std::wstring& key, const std::vector<float>& samples, SoundPress press = {}) {
    const std::wstring path = folder.Path() + key + L".wav";
    ASSERT_TRUE(testing::WriteFileBytes(path, FloatWave(samples)));
    paths[key] = path;
    presses[key] = press;
  }
  void Press(const std::wstring& key) { player.Press(key, paths.at(key), kFullVolume); }
  // Presses key once the monitor has played at least frames of sound.
  void PressAfter(const std::wstring& key, size_t frames) {
    ASSERT_TRUE(WaitFor([&] { return SoundFrames(*monitor) >= frames; }));
    Press(key);
  }

  testing::TempFolder folder;
  std::shared_ptr<ScriptedDevice> monitor = std::make_shared<ScriptedDevice>(std::vector<unsigned>{kRate});
  std::shared_ptr<ScriptedDevice> cable = std::make_shared<ScriptedDevice>(std::vector<unsigned>{kRate});
  SoundEngine engine{monitor};
  testing::RecordingAudioBackend fallback;
  EngineBackend backend{engine, fallback};
  Player player{backend};
  std::map<std::wstring, std::wstring> paths;
  std::map<std::wstring, SoundPress> presses;
};

SoundPress InMode(SecondPress mode, ClipShape clip = {}) {
  SoundPress press;
  press.mode = mode;
  press.clip = clip;
  press.clip.loop = mode == SecondPress::Loop;
  return press;
}

// The second press of each mode, on a sound of a constant level (0.25 a voice,
// so the level tells how many voices sound): 重新开始 cuts the first off and
// plays the clip whole again; 停止 ends it with the fade and a third press starts
// it again; 叠加 plays both, and then the second alone; 循环 goes round with no gap
// until the second press stops it.
TEST(SoundShaping, EachModeTakesASecondPressAsItSays) {
  constexpr float kVoice = 0.25f;
  const int64_t clip = Frames(400);
  const size_t secondAt = static_cast<size_t>(Frames(150));
  const int64_t ramp = Frames(4);
  struct Case {
    const char* name;
    SecondPress mode;
    std::function<void(Board&)> after;  // what follows the second press, if anything
    std::function<void(const std::vector<float>& played, Board&)> check;
  };
  const Case cases[] = {
      {"restart", SecondPress::Restart, {},
       [&](const std::vector<float>& played, Board&) {
         // The first voice fades over the engine's 4 ms while the second starts at full level.
         EXPECT_LE(CountAtLeast(played, 1.5f * kVoice), static_cast<size_t>(ramp));
         const size_t sound = static_cast<size_t>(std::ranges::count_if(played, [](float s) { return s != 0; }));
         EXPECT_GE(sound, secondAt + static_cast<size_t>(clip));
         EXPECT_LE(sound, secondAt + static_cast<size_t>(clip) + static_cast<size_t>(kPressSlack));
       }},
      {"stop", SecondPress::Stop,
       [&](Board& board) {
         ASSERT_TRUE(Settled(*board.monitor));
         EXPECT_FALSE(board.backend.Sounding(L"a"));
         const size_t before = SoundFrames(*board.monitor);
         EXPECT_LT(before, static_cast<size_t>(clip));
         board.Press(L"a");  // silent now: the third press starts it again
       },
       [&](const std::vector<float>& played, Board&) {
         const size_t sound = static_cast<size_t>(std::ranges::count_if(played, [](float s) { return s != 0; }));
         EXPECT_GE(sound, static_cast<size_t>(clip) + secondAt);
         EXPECT_LE(sound, static_cast<size_t>(clip) + secondAt + static_cast<size_t>(kPressSlack + ramp));
         EXPECT_EQ(CountAtLeast(played, 1.5f * kVoice), 0u);
       }},
      {"overlap", SecondPress::Overlap, {},
       [&](const std::vector<float>& played, Board&) {
         // Both sound together for what is left of the first: 250 ms, give or take the press's moment.
         const size_t together = CountAtLeast(played, 1.9f * kVoice);
         EXPECT_GE(together, static_cast<size_t>(clip) - secondAt - static_cast<size_t>(kPressSlack));
         EXPECT_LE(together, static_cast<size_t>(clip) - secondAt);
         EXPECT_LE(played.size() - static_cast<size_t>(std::ranges::count(played, 0.0f)),
                   secondAt + static_cast<size_t>(clip) + static_cast<size_t>(kPressSlack));
       }},
      {"loop", SecondPress::Loop, {},
       [&](const std::vector<float>& played, Board&) {
         // Three turns and more before the second press, and no silent frame between the turns.
         const auto first = std::ranges::find_if(played, [](float s) { return s != 0; });
         const auto last = std::find_if(played.rbegin(), played.rend(), [](float s) { return s != 0; }).base();
         ASSERT_LT(first, last);
         EXPECT_GE(last - first, 3 * clip);
         EXPECT_EQ(std::count(first, last, 0.0f), 0) << "a gap in the loop";
         EXPECT_EQ(CountAtLeast(played, 1.5f * kVoice), 0u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board;
    board.Set(L"a", Constant(clip, kVoice), InMode(c.mode));
    board.Press(L"a");
    // A loop goes round three times and more before it is pressed again.
    board.PressAfter(L"a", c.mode == SecondPress::Loop ? static_cast<size_t>(3 * clip + Frames(50)) : secondAt);
    if (c.after) c.after(board);
    ASSERT_TRUE(Settled(*board.monitor));
    EXPECT_FALSE(board.backend.Sounding(L"a"));
    c.check(Played(*board.monitor), board);
  }
}

// Where a sound's expected frames lie in what a device played: the offset at
// which they match best, looked for around the first sound.
size_t OffsetOf(const std::vector<float>& played, const std::vector<float>& expected) {
  const auto first = static_cast<size_t>(std::ranges::find_if(played, [](float s) { return s != 0; }) - played.begin());
  size_t best = first;
  float bestError = INFINITY;
  for (size_t offset = first > 2 ? first - 2 : 0; offset <= first + 2 && offset < played.size(); ++offset) {
    float worst = 0;
    for (size_t i = 0; i < expected.size() && offset + i < played.size(); i += 7) {
      worst = std::max(worst, std::abs(played[offset + i] - expected[i]));
    }
    if (worst < bestError) {
      bestError = worst;
      best = offset;
    }
  }
  return best;
}

// One press of a shaped sound, compared with its reference decode frame by frame:
// the level to 0.1 dB, each fade's length to a millisecond with no step larger
// than the sound's own, the trim to the frame, a loop's seam with no frame lost
// or repeated.
TEST(SoundShaping, ASoundPlaysAsShapedAgainstItsReferenceDecode) {
  struct Case {
    const char* name;
    std::vector<float> reference;
    ClipShape shape;
    int turns;  // a loop: whole turns to hear before it is stopped
  };
  const Case cases[] = {
      {"level -30 dB", SineLevel(Frames(200)), {.gain = GainOfDecibels(-30)}, 0},
      {"level -6 dB", SineLevel(Frames(200)), {.gain = GainOfDecibels(-6)}, 0},
      {"level +6 dB", SineLevel(Frames(200)), {.gain = GainOfDecibels(6)}, 0},
      {"fades 120 and 250 ms", SineLevel(Frames(600)), {.fadeInMs = 120, .fadeOutMs = 250}, 0},
      {"fade out longer than the sound", SineLevel(Frames(150)), {.fadeOutMs = 400}, 0},
      {"trim 123 and 77 ms", Ramp(Frames(500)), {.headMs = 123, .tailMs = 77}, 0},
      {"loop", Ramp(Frames(90)), {.loop = true}, 4},
      {"loop of a trimmed sound", Ramp(Frames(120)), {.headMs = 15, .tailMs = 25, .loop = true}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board;
    board.Set(L"a", c.reference, {.key = L"a", .mode = c.shape.loop ? SecondPress::Loop : SecondPress::Restart, .clip = c.shape});
    const FrameRange kept = TrimmedRange(static_cast<int64_t>(c.reference.size()), Frames(c.shape.headMs), Frames(c.shape.tailMs));
    const std::vector<float> once(c.reference.begin() + kept.first, c.reference.begin() + kept.end);
    std::vector<float> expected;
    for (int turn = 0; turn < std::max(c.turns, 1); ++turn) expected.insert(expected.end(), once.begin(), once.end());
    board.Press(L"a");
    if (c.turns > 0) board.PressAfter(L"a", expected.size() + static_cast<size_t>(Frames(20)));
    ASSERT_TRUE(Settled(*board.monitor));
    const std::vector<float> played = Played(*board.monitor);
    const int64_t fadeIn = Frames(c.shape.fadeInMs), fadeOut = Frames(c.shape.fadeOutMs);
    // The gain each frame was heard at, against the reference.
    std::vector<float> scaled(expected);
    for (float& sample : scaled) sample *= c.shape.gain;
    if (fadeIn == 0 && fadeOut == 0) {
      const size_t at = OffsetOf(played, scaled);
      ASSERT_LE(at + scaled.size(), played.size());
      if (c.shape.gain == 1.0f) {
        // Trimmed and looped frames are the reference decode's own, bit for bit.
        const std::vector<float> heard(played.begin() + static_cast<std::ptrdiff_t>(at),
                                       played.begin() + static_cast<std::ptrdiff_t>(at + scaled.size()));
        EXPECT_EQ(heard, scaled) << "frames lost, repeated or changed";
        if (c.turns == 0) {
          EXPECT_EQ(played[at + scaled.size()], 0.0f) << "the trimmed tail was heard";
        }
      } else {
        double worstDb = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
          const double heardDb = 20 * std::log10(static_cast<double>(played[at + i]) / expected[i]);
          worstDb = std::max(worstDb, std::abs(heardDb - 20 * std::log10(static_cast<double>(c.shape.gain))));
        }
        EXPECT_LT(worstDb, 0.1);
      }
      continue;
    }
    // Fades: where the gain first reaches full, and how long before the end it leaves full.
    const size_t first = static_cast<size_t>(std::ranges::find_if(played, [](float s) { return s != 0; }) - played.begin());
    const size_t start = first > 0 && fadeIn > 0 ? first - 1 : first;  // a fade in's first frame is silent
    std::vector<float> gain(expected.size());
    for (size_t i = 0; i < expected.size(); ++i) gain[i] = start + i < played.size() ? played[start + i] / expected[i] : 0;
    // Full: within what a float's rounding leaves of the reference's own value.
    const auto full = [](float g) { return g >= 0.99999f; };
    const auto fullFrom = std::ranges::find_if(gain, full) - gain.begin();
    const auto fullTo = gain.rend() - std::find_if(gain.rbegin(), gain.rend(), full);
    const int64_t length = static_cast<int64_t>(expected.size());
    if (fadeOut < length) {
      EXPECT_NEAR(fullFrom, fadeIn, Frames(1));
      EXPECT_NEAR(length - fullTo, fadeOut, Frames(1));
    } else {
      // A fade out longer than the sound: the sound is all fade, as the end of one that long.
      EXPECT_NEAR(gain.front(), FadeCurve(static_cast<double>(length) / static_cast<double>(fadeOut)), 0.01);
      EXPECT_LT(gain.back(), 0.01f);
    }
    EXPECT_LE(LargestStep(std::vector<float>(played.begin() + static_cast<std::ptrdiff_t>(start), played.end())),
              kSineLargestStep * 1.01f);
  }
}

// A stop of a sound set to fade out longer than the engine's 4 ms takes that
// long, with no step larger than the sound's own; a cut-off by a sound that cuts
// the others off fades the same way.
TEST(SoundShaping, AStopOrACutOffFadesOverTheSoundsOwnFadeOut) {
  for (const bool cutOff : {false, true}) {
    SCOPED_TRACE(cutOff ? "cut off" : "stopped");
    Board board;
    board.Set(L"a", SineLevel(Frames(1000)), InMode(SecondPress::Stop, {.fadeOutMs = 300}));
    board.Set(L"b", Constant(Frames(50), 0.0f));  // silence: leaves only the cut-off sound to hear
    board.Press(L"a");
    board.PressAfter(cutOff ? L"b" : L"a", static_cast<size_t>(Frames(200)));
    ASSERT_TRUE(Settled(*board.monitor));
    const std::vector<float> sound = Sound(*board.monitor);
    // Heard: up to the press, then 300 ms of fade.
    EXPECT_GE(sound.size(), static_cast<size_t>(Frames(200) + Frames(300)));
    EXPECT_LE(sound.size(), static_cast<size_t>(Frames(200) + Frames(300) + kPressSlack));
    EXPECT_LE(LargestStep(sound), kSineLargestStep * 1.01f);
  }
}

// Thirty-two sounds at once, each loud: all of them start, and the mix never
// goes beyond full scale; it keeps its shape rather than being cut flat.
TEST(SoundShaping, ThirtyTwoOverlappingSoundsStayWithinFullScale) {
  Board board;
  board.Set(L"a", Constant(Frames(600), 0.5f), InMode(SecondPress::Overlap));
  for (int press = 0; press < 32; ++press) board.Press(L"a");
  ASSERT_TRUE(WaitFor([&] { return board.backend.SoundsHeld() == 32 && SoundFrames(*board.monitor) > 0; }));
  ASSERT_TRUE(Settled(*board.monitor));
  const std::vector<float> played = Played(*board.monitor);
  float loudest = 0;
  for (float sample : played) loudest = std::max(loudest, std::abs(sample));
  EXPECT_LE(loudest, 1.0f);
  EXPECT_GT(loudest, 0.9f);
}

// The pause button pauses every sound that plays, and resumes every one; a press
// of another sound while paused lets them all go on.
TEST(SoundShaping, PausePausesEverySound) {
  Board board;
  board.Set(L"a", Constant(Frames(500), 0.25f), InMode(SecondPress::Overlap));
  board.Set(L"b", Constant(Frames(500), 0.25f), InMode(SecondPress::Overlap));
  board.Press(L"a");
  board.PressAfter(L"b", static_cast<size_t>(Frames(50)));
  ASSERT_TRUE(WaitFor([&] { return CountAtLeast(Played(*board.monitor), 0.45f) > 0; }));
  board.player.PauseToggle();
  ASSERT_TRUE(Settled(*board.monitor));
  const size_t whilePaused = SoundFrames(*board.monitor);
  Sleep(300);
  EXPECT_EQ(SoundFrames(*board.monitor), whilePaused) << "a sound went on while paused";
  board.player.PauseToggle();
  ASSERT_TRUE(Settled(*board.monitor));
  // Every frame of both was heard, together for most of their length; none twice.
  const std::vector<float> played = Played(*board.monitor);
  const size_t sound = played.size() - static_cast<size_t>(std::ranges::count(played, 0.0f));
  EXPECT_GE(sound, static_cast<size_t>(Frames(550)));
  EXPECT_LT(sound, static_cast<size_t>(Frames(1000)));
  EXPECT_GE(CountAtLeast(played, 0.45f), static_cast<size_t>(Frames(300)));
  EXPECT_FALSE(board.backend.Sounding(L"a"));
  EXPECT_FALSE(board.backend.Sounding(L"b"));
}

// A preview plays on the monitor alone; a sound played as usual reaches both.
TEST(SoundShaping, APreviewIsHeardOnTheMonitorOnly) {
  Board board;
  board.Set(L"a", Constant(Frames(200), 0.25f));
  ASSERT_TRUE(WaitFor([&] { return board.cable->Last() != nullptr; }));
  board.player.Preview({}, board.paths.at(L"a"), kFullVolume);
  ASSERT_TRUE(Settled(*board.monitor));
  EXPECT_EQ(Sound(*board.monitor).size(), static_cast<size_t>(Frames(200)));
  Sleep(200);
  EXPECT_EQ(SoundFrames(*board.cable), 0u);
  board.Press(L"a");
  ASSERT_TRUE(Settled(*board.cable));
  EXPECT_EQ(Sound(*board.cable).size(), static_cast<size_t>(Frames(200)));
}

// The headphones' level scales the monitor alone: the broadcast's samples are
// bit for bit those of a run with both at full level.
TEST(SoundShaping, EachOutputsLevelLeavesTheOtherBitIdentical) {
  std::vector<float> cableAtFull, monitorAtFull;
  for (const float monitorLevel : {1.0f, 0.5f}) {
    SCOPED_TRACE(monitorLevel);
    Board board;
    board.engine.SetOutputLevel(kMonitorSink.name, monitorLevel);
    board.Set(L"a", SineLevel(Frames(300)));
    ASSERT_TRUE(WaitFor([&] { return board.cable->Last() != nullptr; }));
    board.Press(L"a");
    ASSERT_TRUE(Settled(*board.monitor));
    ASSERT_TRUE(Settled(*board.cable));
    const std::vector<float> cable = Sound(*board.cable), monitor = Sound(*board.monitor);
    ASSERT_EQ(cable.size(), static_cast<size_t>(Frames(300)));
    if (monitorLevel == 1.0f) {
      cableAtFull = cable;
      monitorAtFull = monitor;
      continue;
    }
    EXPECT_EQ(cable, cableAtFull);
    ASSERT_EQ(monitor.size(), monitorAtFull.size());
    for (size_t i = 0; i < monitor.size(); i += 101) EXPECT_FLOAT_EQ(monitor[i], 0.5f * monitorAtFull[i]);
  }
}

}  // namespace
}  // namespace kivora::audio

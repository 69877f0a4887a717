// One engine, several outputs, on scripted devices played in real time: no click
// waits for the broadcast device, however slow, broken or hung it is; a change
// of the default device moves the monitor's sound without a click or a gap and
// leaves the broadcast untouched; the broadcast device may go and come back, and
// may be changed or removed at any step of its open, the program's exit included.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audio/device/device_watch.h"
#include "audio/engine/sound_engine.h"
#include "support/scripted_output.h"
#include "support/wait_for.h"

namespace kivora::audio {
namespace {

using scripted::ClockedStream;
using scripted::ScriptedDevice;

constexpr DWORD kDeadlineMs = 10000;
constexpr unsigned kRate = 48000;
const wchar_t* const kCable = L"{0.0.0.00000000}.{cable}";

bool WaitFor(auto done, DWORD timeoutMs = kDeadlineMs) { return testing::WaitUntil(done, timeoutMs); }

// A level that never touches zero, 0.25 ± 0.2 at 100 Hz, so every frame of the
// sound can be told from silence and any step larger than its own is a click.
float Level(size_t frame) { return 0.25f + 0.2f * std::sin(2.0f * std::numbers::pi_v<float> * 100.0f * frame / kRate); }
const float kLargestOwnStep = 0.2f * 2.0f * std::numbers::pi_v<float> * 100.0f / kRate;

// seconds of that level as a 32-bit float stereo WAVE at 48 kHz.
std::string LevelWave(double seconds) {
  const uint32_t frames = static_cast<uint32_t>(seconds * kRate);
  auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  std::string data(size_t{frames} * 8, '\0');
  for (uint32_t i = 0; i < frames; ++i) {
    const float level = Level(i);
    std::memcpy(&data[i * 8], &level, 4);
    std::memcpy(&data[i * 8 + 4], &level, 4);
  }
  return "RIFF" + le32(36 + uint32_t(data.size())) + "WAVE" + "fmt " + le32(16) + le16(3) + le16(2) + le32(kRate) +
         le32(kRate * 8) + le16(8) + le16(32) + "data" + le32(uint32_t(data.size())) + data;
}

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The frames of sound a device played, in order, across every stream it opened:
// silence left out, and what a stream held unplayed when it closed counted as lost.
std::vector<float> SoundPlayed(ScriptedDevice& device) {
  std::vector<float> sound;
  for (ClockedStream* stream : device.All()) {
    std::vector<float> written = stream->Written();
    written.resize(written.size() - std::min<size_t>(written.size(), stream->UnplayedAtClose()));
    for (float sample : written) {
      if (sample != 0.0f) sound.push_back(sample);
    }
  }
  return sound;
}

float LargestStep(const std::vector<float>& sound) {
  float largest = 0;
  for (size_t i = 1; i < sound.size(); ++i) largest = std::max(largest, std::abs(sound[i] - sound[i - 1]));
  return largest;
}

// Waits until the device has played no new sound for a while: the sound has ended there.
void WaitForTheEnd(ScriptedDevice& device) {
  size_t heard = SIZE_MAX;
  WaitFor([&] {
    size_t now = 0;
    for (ClockedStream* stream : device.All()) now += stream->FramesAtLeast(1e-9f);
    const bool settled = now > 0 && now == heard;
    heard = now;
    Sleep(300);
    return settled;
  });
}

// The monitor on one scripted device and the broadcast on another, with what the
// broadcast output told of its device.
struct TwoOutputs {
  explicit TwoOutputs(std::vector<unsigned> cableScript = {kRate}, bool holdCable = false)
      : cable(std::make_shared<ScriptedDevice>(std::move(cableScript))) {
    if (holdCable) cable->Hold();
    engine.SetOutput(kBroadcastSink, cable, kCable, [this](SinkPresence presence) {
      std::lock_guard lock(mutex);
      told.push_back(presence);
    });
  }
  ~TwoOutputs() { cable->Release(); }
  std::vector<SinkPresence> Told() {
    std::lock_guard lock(mutex);
    return told;
  }
  bool Play(const std::string& clip) {
    std::shared_ptr<Sound> sound = engine.Prepare(Bytes(clip));
    if (!sound) return false;
    engine.Start(sound);
    return true;
  }

  std::shared_ptr<ScriptedDevice> monitor = std::make_shared<ScriptedDevice>(std::vector<unsigned>{kRate});
  std::shared_ptr<ScriptedDevice> cable;
  SoundEngine engine{monitor};
  std::mutex mutex;
  std::vector<SinkPresence> told;
};

// Whatever the broadcast device does while it opens, the click plays on the
// monitor without waiting for it: the sound is there while the broadcast's open
// is still blocked, and a device that fails is not tried again at every click.
TEST(EngineOutputs, NoClickWaitsForTheBroadcastDevice) {
  const std::string clip = LevelWave(0.3);
  struct Case {
    const char* name;
    std::vector<unsigned> cableScript;
    bool held;  // the broadcast's open blocks until released: a slow device, or one that hangs
  };
  const Case cases[] = {
      {"a broadcast device slow to open", {kRate}, true},
      {"a broadcast device that fails", {0}, false},
      {"a broadcast device that never opens", {kRate}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TwoOutputs outputs(c.cableScript, c.held);
    ASSERT_TRUE(WaitFor([&] { return outputs.cable->OpensBegun() > 0; }));
    const ULONGLONG start = GetTickCount64();
    for (int click = 0; click < 4; ++click) {
      // Each click finds the monitor's stream closed, as after a quiet spell, and opens it.
      outputs.engine.ReleaseDevice();
      ASSERT_TRUE(WaitFor([&] { return !outputs.engine.StreamOpen(); }));
      ASSERT_TRUE(outputs.Play(clip)) << "click " << click;
      ASSERT_TRUE(WaitFor([&] { return outputs.monitor->Last() && outputs.monitor->Last()->FramesAtLeast(0.05f) > 0; }))
          << "click " << click << " never reached the monitor";
      if (c.held) {
        EXPECT_EQ(outputs.cable->OpensEnded(), 0) << "the broadcast's open ended before the click was heard";
      }
    }
    // A failing device is tried at most once a second, and never because of a click.
    const ULONGLONG seconds = (GetTickCount64() - start) / 1000;
    EXPECT_LE(outputs.cable->OpensBegun(), static_cast<int>(seconds) + 2);
    if (!c.held) {
      EXPECT_EQ(outputs.Told(), std::vector<SinkPresence>{SinkPresence::Missing}) << "told once";
    }
  }
}

// The default device changes mid-sound: the monitor fades out on the old device
// and in on the new one from the frame that follows, the broadcast plays on as
// if nothing happened.
TEST(EngineOutputs, ADefaultDeviceChangeMovesTheMonitorWithoutAClickAndTheBroadcastLosesNothing) {
  const std::string clip = LevelWave(1.0);
  TwoOutputs outputs;
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->OpenNow() == 1; }));
  ASSERT_TRUE(outputs.Play(clip));
  ASSERT_TRUE(WaitFor([&] { return outputs.monitor->Last() && outputs.monitor->Last()->FramesAtLeast(0.01f) > kRate * 2 / 5; }));
  outputs.engine.NotifyDeviceEvent({DeviceEvent::Kind::DefaultChanged, L"{0.0.0.00000000}.{headphones}"});
  ASSERT_TRUE(WaitFor([&] { return outputs.monitor->All().size() == 2; })) << "the monitor did not move";
  WaitForTheEnd(*outputs.monitor);
  WaitForTheEnd(*outputs.cable);

  const std::vector<float> monitor = SoundPlayed(*outputs.monitor);
  const size_t period = kRate / 100;
  EXPECT_LE(monitor.size(), size_t{kRate});
  EXPECT_GE(monitor.size() + period, size_t{kRate}) << "the monitor lost more than a period";
  // A fade adds at most its own step (the level over its frames) to the signal's.
  EXPECT_LE(LargestStep(monitor), kLargestOwnStep * 2.0f) << "the move skipped or repeated part of the sound";
  // Each device hears the move as a fade: the old one's sound ends, and the new
  // one's begins, near silence rather than mid-waveform (a click).
  const std::vector<ClockedStream*> streams = outputs.monitor->All();
  const std::vector<float> old = streams[0]->Written(), moved = streams[1]->Written();
  const auto lastSound = std::find_if(old.rbegin(), old.rend(), [](float sample) { return sample != 0.0f; });
  const auto firstSound = std::ranges::find_if(moved, [](float sample) { return sample != 0.0f; });
  ASSERT_TRUE(lastSound != old.rend() && firstSound != moved.end());
  EXPECT_LT(std::abs(*lastSound), 0.01f) << "the sound was cut off hard on the old device";
  EXPECT_LT(std::abs(*firstSound), 0.01f) << "the sound began mid-waveform on the new device";

  EXPECT_EQ(outputs.cable->All().size(), 1u) << "the broadcast followed the default device";
  const std::vector<float> cable = SoundPlayed(*outputs.cable);
  EXPECT_EQ(cable.size(), size_t{kRate}) << "the broadcast lost frames";
  EXPECT_LE(LargestStep(cable), kLargestOwnStep * 1.5f);
}

// The broadcast device goes mid-sound and comes back, as the system's
// notifications tell: the monitor plays on whole, the broadcast is tried again
// at once when the device is back and goes on from where the sound is then, and
// the user is told once each way.
TEST(EngineOutputs, TheBroadcastDeviceGoesAndComesBackWhileTheMonitorPlaysOnWhole) {
  const std::string clip = LevelWave(2.0);
  TwoOutputs outputs;
  // Delivered as the system delivers it, through the notification client.
  auto* notifier = new DeviceNotificationClient([&](const DeviceEvent& event) { outputs.engine.NotifyDeviceEvent(event); });
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->OpenNow() == 1; }));
  ASSERT_TRUE(outputs.Play(clip));
  ASSERT_TRUE(WaitFor([&] { return outputs.monitor->Last() && outputs.monitor->Last()->FramesAtLeast(0.01f) > kRate / 4; }));

  outputs.cable->Script({0});
  notifier->OnDeviceRemoved(kCable);
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->OpenNow() == 0; })) << "the broadcast kept a removed device";
  ASSERT_TRUE(WaitFor([&] { return !outputs.Told().empty(); }));
  Sleep(400);
  const int triedWhileGone = outputs.cable->OpensBegun();
  outputs.cable->Script({kRate});
  const ULONGLONG back = GetTickCount64();
  notifier->OnDeviceAdded(kCable);
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->OpenNow() == 1; }));
  EXPECT_LT(GetTickCount64() - back, 700u) << "the device back was not tried at once";
  EXPECT_LE(triedWhileGone, 3) << "the missing device was tried more than once a second";
  WaitForTheEnd(*outputs.monitor);
  WaitForTheEnd(*outputs.cable);
  notifier->Release();

  EXPECT_EQ(SoundPlayed(*outputs.monitor).size(), 2u * kRate) << "the broadcast's trouble reached the monitor";
  const std::vector<float> cable = SoundPlayed(*outputs.cable);
  EXPECT_LT(cable.size(), 2u * kRate - kRate / 4) << "the broadcast did not go on from where the sound was";
  EXPECT_GT(cable.size(), size_t{kRate / 2}) << "the broadcast did not come back";
  EXPECT_EQ(outputs.Told(), (std::vector<SinkPresence>{SinkPresence::Missing, SinkPresence::Present}));
}

// A source (the microphone) that adds a steady level, and notes whether the
// output said a sound played beside it.
class SteadySource final : public OutputSource {
 public:
  void MixInto(float* mix, uint32_t frames, unsigned, double, bool soundsPlaying) noexcept override {
    for (uint32_t i = 0; i < 2 * frames; ++i) mix[i] += 0.3f;
    if (soundsPlaying) withSound_.store(true);
  }
  bool SawASound() const { return withSound_.load(); }

 private:
  std::atomic<bool> withSound_{false};
};

// The microphone set on the broadcast output is heard there with no sound at
// all, a sound is mixed over it rather than in its place, and the stream runs on
// for it after the sound; the monitor never hears it.
TEST(EngineOutputs, ASourceOnTheBroadcastIsHeardThereAloneAndUnderEverySound) {
  const std::string clip = LevelWave(0.5);
  TwoOutputs outputs;
  auto source = std::make_shared<SteadySource>();
  outputs.engine.Output(kBroadcastSink.name)->SetSource(source);
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->Last() && outputs.cable->Last()->FramesAtLeast(0.25f) > kRate / 2; }))
      << "the source was not heard without a sound";
  EXPECT_FALSE(source->SawASound());
  ASSERT_TRUE(outputs.Play(clip));
  // The sound's 0.05 to 0.45 over the source's 0.3.
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->Last()->FramesAtLeast(0.5f) > kRate / 8; })) << "the sound replaced the source";
  EXPECT_TRUE(source->SawASound());
  WaitForTheEnd(*outputs.monitor);
  // Every frame of the sound, at least 0.35 with the source under it.
  ASSERT_TRUE(WaitFor([&] { return outputs.cable->Last()->FramesAtLeast(0.34f) >= kRate / 2 - kRate / 100; }))
      << "the sound reached the broadcast with the source in part only";
  const size_t after = outputs.cable->Last()->FramesAtLeast(0.25f);
  EXPECT_TRUE(WaitFor([&] { return outputs.cable->Last()->FramesAtLeast(0.25f) > after + kRate; }))
      << "the stream stopped after the sound";
  EXPECT_EQ(outputs.cable->All().size(), 1u);
  EXPECT_EQ(SoundPlayed(*outputs.monitor).size(), size_t{kRate / 2}) << "the monitor did not play the sound whole";
  EXPECT_EQ(outputs.monitor->Last() ? outputs.monitor->Last()->FramesAtLeast(0.46f) : 0u, 0u)
      << "the source reached the monitor";
  // Taken away, the source is no longer heard; the stream stays open for the sounds.
  outputs.engine.Output(kBroadcastSink.name)->SetSource(nullptr);
  size_t heard = 0;
  EXPECT_TRUE(WaitFor([&] {
    const size_t now = outputs.cable->Last()->FramesAtLeast(0.25f);
    Sleep(300);
    return std::exchange(heard, now) == now;
  })) << "the source was still heard after it was taken away";
  EXPECT_EQ(outputs.cable->OpenNow(), 1u);
}

// The broadcast device is changed or removed at every step of its open, and the
// program exits during one: the opening thread keeps its own share of the
// device, which it lets go when it ends, and a stream that comes too late is closed.
TEST(EngineOutputs, TheBroadcastDeviceMayGoAtEveryStepOfItsOpen) {
  enum class Step { BeforeTheOpen, DuringTheOpen, AsTheOpenReturns, AfterTheOpen, ExitDuringTheOpen };
  const struct {
    const char* name;
    Step step;
  } cases[] = {
      {"removed before its open began", Step::BeforeTheOpen},
      {"removed while its open blocks", Step::DuringTheOpen},
      {"removed as its open returns", Step::AsTheOpenReturns},
      {"removed once open", Step::AfterTheOpen},
      {"the program exits while its open blocks", Step::ExitDuringTheOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int round = 0; round < 5; ++round) {
      auto monitor = std::make_shared<ScriptedDevice>(std::vector<unsigned>{kRate});
      auto engine = std::make_unique<SoundEngine>(monitor);
      auto cable = std::make_shared<ScriptedDevice>(std::vector<unsigned>{kRate});
      std::weak_ptr<ScriptedDevice> watched = cable;
      const bool held = c.step == Step::DuringTheOpen || c.step == Step::ExitDuringTheOpen;
      if (held) cable->Hold();
      engine->SetOutput(kBroadcastSink, cable, kCable);
      if (held || c.step == Step::AsTheOpenReturns) {
        ASSERT_TRUE(WaitFor([&] { return cable->OpensBegun() > 0; }));
      }
      if (c.step == Step::AfterTheOpen) {
        ASSERT_TRUE(WaitFor([&] { return cable->OpenNow() == 1; }));
      }
      if (c.step == Step::ExitDuringTheOpen) engine.reset();
      else engine->SetOutput(kBroadcastSink, nullptr);
      // The test lets go of the device: only the opening thread may still hold it.
      cable->Release();
      cable.reset();
      ASSERT_TRUE(WaitFor([&] { return watched.expired(); })) << "the device was never let go";
      EXPECT_EQ(ScriptedDevice::UsesAfterDestruction(), 0) << "an open used a device already destroyed";
    }
  }
}

}  // namespace
}  // namespace kivora::audio

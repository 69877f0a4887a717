// The engine against a scripted device that plays in real time and keeps what
// it was given: the rate it opens at, whether it opens at all or hangs opening,
// and a clip whose bytes stall on the way. No sound card is needed.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/device/output_device.h"
#include "audio/engine/sound_engine.h"
#include "base/unique_handle.h"
#include "support/scripted_output.h"
#include "support/wait_for.h"
#include "support/stalling_byte_source.h"

namespace kivora::audio {
namespace {

constexpr DWORD kDeadlineMs = 10000;

using scripted::ClockedStream;
using scripted::ScriptedDevice;

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Le16(uint16_t v) { return {char(v), char(v >> 8)}; }

// seconds of a steady level of half full scale, 16-bit stereo at rate.
std::string SteadyWave(unsigned rate, double seconds) {
  const uint32_t frames = static_cast<uint32_t>(std::lround(rate * seconds));
  std::string data;
  data.reserve(frames * 4);
  for (uint32_t i = 0; i < frames; ++i) data += Le16(16384) + Le16(16384);
  return "RIFF" + Le32(36 + uint32_t(data.size())) + "WAVE" + "fmt " + Le32(16) + Le16(1) + Le16(2) + Le32(rate) +
         Le32(rate * 4) + Le16(4) + Le16(16) + "data" + Le32(uint32_t(data.size())) + data;
}

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool WaitFor(auto done, DWORD timeoutMs = kDeadlineMs) { return testing::WaitUntil(done, timeoutMs, 10); }

// Waits for the clip to be heard to its end, then for the stream to have taken nothing more of it.
size_t HeardFrames(ClockedStream& stream) {
  size_t heard = 0;
  WaitFor([&] {
    const size_t now = stream.FramesAtLeast(0.25f);
    const bool settled = now > 0 && now == heard;
    heard = now;
    Sleep(100);
    return settled;
  });
  return heard;
}

// A 1 s clip lasts 1 s at whatever rate the stream opened at: the rate is taken
// when the voice plays, not from the stream that was open when it was prepared.
TEST(EngineOnAScriptedDevice, AClipLastsItsLengthWhateverRateTheStreamReopensAt) {
  struct Case {
    const char* name;
    std::vector<unsigned> opens;  // 0: the open fails
  };
  const Case cases[] = {
      {"48 kHz, then 44.1 kHz", {48000, 44100}},
      {"44.1 kHz, then 48 kHz", {44100, 48000}},
      {"48 kHz, then 192 kHz", {48000, 192000}},
      {"a failed open, then 48 kHz", {0, 48000}},
  };
  const std::string clip = SteadyWave(44100, 1.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = std::make_shared<ScriptedDevice>(c.opens);
    SoundEngine engine(device);
    engine.OpenStream();
    ASSERT_TRUE(WaitFor([&] { return engine.StreamOpen() || c.opens[0] == 0; }));
    // The stream closes (another player wanted the device) and reopens for the
    // next sound, on the next entry of the script.
    engine.ReleaseDevice();
    ASSERT_TRUE(WaitFor([&] { return !engine.StreamOpen(); }));
    std::shared_ptr<Sound> voice = engine.Prepare(Bytes(clip));
    if (c.opens[0] == 0 && !voice) voice = engine.Prepare(Bytes(clip));  // the fallback had the first click
    ASSERT_TRUE(voice);
    engine.Start(voice);
    ASSERT_TRUE(WaitFor([&] { return device->Last() != nullptr; }));
    const size_t heard = HeardFrames(*device->Last());
    const unsigned rate = c.opens[1];
    EXPECT_NEAR(double(heard), double(rate), rate / 1000.0) << "frames heard at " << rate << " Hz";
  }
}

// A clip whose bytes stall for 200 ms part-way (a drive waking up): the sound
// plays through the stall, since the decoder runs ahead of the device.
TEST(EngineOnAScriptedDevice, AStallInReadingTheFileReachesNeitherTheDeviceNorTheSound) {
  const std::string clip = SteadyWave(44100, 2.0);
  auto device = std::make_shared<ScriptedDevice>(std::vector<unsigned>{48000});
  SoundEngine engine(device);
  auto source = std::make_unique<testing::StallingByteSource>(Bytes(clip), clip.size() / 2, 200);
  const testing::StallingByteSource& stalling = *source;
  std::shared_ptr<Sound> voice = engine.Prepare(std::move(source));
  ASSERT_TRUE(voice);
  engine.Start(voice);
  ASSERT_TRUE(WaitFor([&] { return device->Last() != nullptr; }));
  ClockedStream& stream = *device->Last();
  const size_t heard = HeardFrames(stream);
  EXPECT_TRUE(stalling.Stalled());
  EXPECT_EQ(engine.FeedStarvations(), 0u) << "the voice found its decoding behind";
  // A busy machine may hold the device thread up for a moment (the test's figure
  // for underruns is the benchmark's), but never for the stall's time.
  EXPECT_LT(stream.LongestDry(), 0.1) << "the stall reached the device";
  EXPECT_NEAR(double(heard), 96000.0, 48.0);
}

// Each click cuts the sound before it off; the engine then lets go of that
// clip's decoder and file at once, with a stream or without one.
TEST(EngineOnAScriptedDevice, CutSoundsLetTheirDecodersGo) {
  const std::string clip = SteadyWave(44100, 3.0);
  for (const unsigned rate : {48000u, 0u}) {
    SCOPED_TRACE(rate ? "with a stream" : "with no stream");
    auto device = std::make_shared<ScriptedDevice>(std::vector<unsigned>{rate});
    SoundEngine engine(device);
    for (int click = 0; click < 5; ++click) {
      if (std::shared_ptr<Sound> voice = engine.Prepare(Bytes(clip))) engine.Start(std::move(voice));
      Sleep(30);
    }
    // The last sound still plays and its decoder works ahead of it; the four it cut are gone.
    EXPECT_TRUE(WaitFor([&] { return engine.DecodersHeld() <= (rate ? 1u : 0u); }))
        << engine.DecodersHeld() << " decoders held";
  }
}

// A device whose open never returns (a driver that hangs): the click goes to the
// fallback once the open has had its time, the next one at once, and the engine
// closes without waiting for the device.
class HangingDevice final : public OutputDevice {
 public:
  std::unique_ptr<OutputStream> Open() override {
    entered_ = true;
    WaitForSingleObject(never_.Get(), INFINITE);
    return nullptr;
  }
  std::atomic<bool> entered_{false};

 private:
  kivora::KernelHandle never_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

TEST(EngineOnAScriptedDevice, ADeviceThatHangsOpeningHoldsUpNeitherClicksNorExit) {
  // The thread that hangs in it keeps its own share of it.
  auto device = std::make_shared<HangingDevice>();
  const std::string clip = SteadyWave(44100, 1.0);
  auto engine = std::make_unique<SoundEngine>(device);
  engine->OpenStream();
  ASSERT_TRUE(WaitFor([&] { return device->entered_.load(); }));
  EXPECT_FALSE(engine->Prepare(Bytes(clip))) << "a click played on a device that never opened";
  ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(engine->Prepare(Bytes(clip)));
  EXPECT_LT(GetTickCount64() - start, 1000u) << "the next click waited for the hung device again";
  start = GetTickCount64();
  engine.reset();
  EXPECT_LT(GetTickCount64() - start, 1000u) << "closing the engine waited for the hung device";
}

}  // namespace
}  // namespace kivora::audio

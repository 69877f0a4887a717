// Sound devices for the engine's tests, scripted and played in real time: a
// stream that empties its buffer at its rate by the clock and keeps what it was
// given, and a device whose opens follow a script (a rate, a refusal, or an open
// that blocks until the test releases it). No sound card is needed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/device/output_device.h"
#include "base/unique_handle.h"

namespace kivora::audio::scripted {

double NowSeconds();

// A stream that takes frames as a device does: a buffer of 80 ms (room for a
// busy machine's scheduling, as a shared-mode device keeps), emptied at its rate
// by the clock, with a signal every 5 ms. What was written is kept, silence included.
class ClockedStream final : public OutputStream {
 public:
  explicit ClockedStream(unsigned rate);
  unsigned SampleRate() const override { return rate_; }
  uint32_t BufferFrames() const override { return buffer_; }
  HANDLE ReadyEvent() const override { return timer_.Get(); }
  std::optional<uint32_t> WritableFrames() override;
  bool Write(const float* stereo, uint32_t frames) override;
  bool Discard() override;

  // The longest the device ran dry while running, in seconds.
  double LongestDry() const { return longestDry_; }
  // Frames that have sounded at least at level (left channel).
  size_t FramesAtLeast(float level);
  // The left channel of every frame written, and when the first one at least
  // at level was written (0: none yet).
  std::vector<float> Written();
  double FirstAtLeast(float level);
  // Frames written that the device had not played yet when the stream closed.
  uint32_t UnplayedAtClose() const { return unplayedAtClose_; }
  void Closed() { unplayedAtClose_ = Padding(); }

 private:
  uint32_t Padding() const;

  const unsigned rate_;
  const uint32_t buffer_;
  kivora::KernelHandle timer_{CreateWaitableTimerW(nullptr, FALSE, nullptr)};
  bool stopped_ = true;
  double startedAt_ = 0;
  uint64_t written_ = 0;  // since the stream last started, silence the device played when dry included
  std::atomic<double> longestDry_{0};
  std::atomic<uint32_t> unplayedAtClose_{0};
  std::mutex mutex_;  // heard_ and writtenAt_ are read by the test
  std::vector<float> heard_;
  std::vector<double> writtenAt_;  // when each frame of heard_ was written
};

// Opens streams as scripted, one entry an open: a rate, or a refusal (0). Past
// the script it repeats its last entry. While held, an open blocks until
// released. The streams stay the device's, for the test to read. A canary tells
// an open that runs on a device already destroyed.
class ScriptedDevice final : public OutputDevice {
 public:
  explicit ScriptedDevice(std::vector<unsigned> rates);
  ~ScriptedDevice() override;
  std::unique_ptr<OutputStream> Open() override;

  // Opens from now on block until Release (or for ever).
  void Hold();
  void Release();
  // Opens from now on follow this script.
  void Script(std::vector<unsigned> rates);
  // Opens begun (blocked ones included) and opens that ended.
  int OpensBegun() const { return begun_.load(); }
  int OpensEnded() const { return ended_.load(); }
  // The stream opened last, while it is open; every stream opened, in order.
  ClockedStream* Last();
  std::vector<ClockedStream*> All();
  size_t OpenNow();

  // Opens that ran on a destroyed device (counted across all devices).
  static int UsesAfterDestruction() { return usesAfterDestruction_.load(); }

 private:
  class Borrowed;
  static constexpr uint32_t kAlive = 0x600DF00D;
  static std::atomic<int> usesAfterDestruction_;

  std::atomic<uint32_t> canary_{kAlive};
  kivora::KernelHandle gate_{CreateEventW(nullptr, TRUE, TRUE, nullptr)};  // set: opens go through
  std::atomic<int> begun_{0}, ended_{0};
  std::mutex mutex_;
  std::vector<unsigned> rates_;
  size_t opens_ = 0;
  std::vector<ClockedStream*> open_;
  std::vector<std::unique_ptr<ClockedStream>> streams_;  // every stream opened, kept for the test
};

}  // namespace kivora::audio::scripted

// The microphone as a source of an output: a capture thread reads the chosen
// device and writes into a ClockBridge, and the output's render thread reads it
// at its own clock, with the user's gain and mute, and lowered while a sound
// plays when ducking is set. A device that is missing or fails is tried again
// every second; the sounds play on meanwhile.
//
// Threads: made, set up and destroyed on the window's thread; the capture
// thread owns the capture stream; MixInto runs on the output's render thread.
// They share the settings (atomics) and the bridge (replaced under a lock the
// render thread only ever tries).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/device/wasapi_capture.h"
#include "audio/dsp/clock_bridge.h"
#include "audio/engine/output_source.h"
#include "base/unique_handle.h"

namespace kivora::audio {

class MicrophoneSource final : public OutputSource {
 public:
  static constexpr double kMinGainDb = -20.0;
  static constexpr double kMaxGainDb = 20.0;

  // kFree for devices that are not paced in real time (see ClockBridge).
  explicit MicrophoneSource(FillPolicy policy = FillPolicy::kHeld);
  ~MicrophoneSource() override;
  MicrophoneSource(const MicrophoneSource&) = delete;
  MicrophoneSource& operator=(const MicrophoneSource&) = delete;

  // Captures from the endpoint of this ID from now on; empty: from none.
  void Use(const std::wstring& endpointId);
  const std::wstring& EndpointId() const { return endpointId_; }
  void SetGainDb(double gainDb);
  void SetMuted(bool muted) { muted_.store(muted); }
  bool Muted() const { return muted_.load(); }
  // Lowers the voice by this many dB while a sound plays; 0: never.
  void SetDuckDb(double duckDb);

  // A device is chosen and could not be opened at the last try.
  bool Missing() const { return missing_.load(); }
  // Frames captured since the device was chosen.
  uint64_t FramesCaptured() const { return captured_.load(); }

  void MixInto(float* mix, uint32_t frames, unsigned rate, double playSeconds, bool soundsPlaying) noexcept override;

 private:
  class BridgeWriter;
  void Capture(std::wstring endpointId) noexcept;
  // Makes a bridge for the capture's rate and the output's, when that changed.
  void MatchBridge(unsigned captureRate, double capturePeriod);
  void StopCapture();

  FillPolicy policy_;
  std::wstring endpointId_;  // the window thread's
  std::atomic<float> gain_{1.0f};
  std::atomic<float> duck_{1.0f};
  std::atomic<bool> muted_{false};
  std::atomic<bool> missing_{false};
  std::atomic<uint64_t> captured_{0};
  std::atomic<unsigned> outputRate_{0};      // written by the render thread
  std::atomic<double> outputBuffer_{0.02};   // seconds the output holds, written by the render thread

  std::mutex bridgeMutex_;
  std::unique_ptr<ClockBridge> bridge_;  // replaced by the capture thread only

  KernelHandle stop_;
  std::thread capture_;

  // The render thread's own.
  float appliedGain_ = 0.0f;
  float appliedDuck_ = 1.0f;
  float scratch_[2 * 512];
};

}  // namespace kivora::audio

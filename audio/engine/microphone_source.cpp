#include "audio/engine/microphone_source.h"

#include <objbase.h>

#include <algorithm>
#include <cmath>

#include "audio/device/audio_thread_role.h"

namespace kivora::audio {
namespace {

constexpr DWORD kRetryMs = 1000;
constexpr double kDuckAttackSeconds = 0.010;
constexpr double kDuckReleaseSeconds = 0.250;
// A change of gain or mute glides over this long, so it never clicks.
constexpr double kGainGlideSeconds = 0.010;

float FromDb(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

}  // namespace

class MicrophoneSource::BridgeWriter final : public CaptureStream::Sink {
 public:
  explicit BridgeWriter(MicrophoneSource& owner) : owner_(owner) {}
  void Captured(std::span<const float> stereo, double captureSeconds) override {
    // Only the capture thread replaces the bridge, and this is it: no lock to write.
    if (owner_.bridge_) owner_.bridge_->Write(stereo, captureSeconds);
    owner_.captured_.fetch_add(stereo.size() / 2);
  }

 private:
  MicrophoneSource& owner_;
};

MicrophoneSource::MicrophoneSource(FillPolicy policy)
    : policy_(policy), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

MicrophoneSource::~MicrophoneSource() { StopCapture(); }

void MicrophoneSource::SetGainDb(double gainDb) { gain_.store(FromDb(std::clamp(gainDb, kMinGainDb, kMaxGainDb))); }

void MicrophoneSource::SetDuckDb(double duckDb) { duck_.store(duckDb > 0 ? FromDb(-duckDb) : 1.0f); }

void MicrophoneSource::StopCapture() {
  if (!capture_.joinable()) return;
  SetEvent(stop_.Get());
  capture_.join();
  ResetEvent(stop_.Get());
}

void MicrophoneSource::Use(const std::wstring& endpointId) {
  if (endpointId == endpointId_) return;
  StopCapture();
  endpointId_ = endpointId;
  missing_.store(false);
  captured_.store(0);
  {
    std::lock_guard lock(bridgeMutex_);
    bridge_.reset();
  }
  if (!endpointId_.empty()) capture_ = std::thread([this, id = endpointId_] { Capture(id); });
}

void MicrophoneSource::MatchBridge(unsigned captureRate, double capturePeriod) {
  // Until the output has said its rate, it is taken to be the capture's (it
  // mostly is), so the voice is kept from the first packet on.
  const unsigned outputRate = outputRate_.load() != 0 ? outputRate_.load() : captureRate;
  if (bridge_ && bridge_->Settings().inRate == captureRate && bridge_->Settings().outRate == outputRate) return;
  ClockBridge::Config config;
  config.inRate = captureRate;
  config.outRate = outputRate;
  config.policy = policy_;
  if (policy_ == FillPolicy::kHeld) {
    config.targetSeconds = ClockBridge::HeldTarget(capturePeriod, outputBuffer_.load(), captureRate);
  } else {
    // Devices at any pace: a cushion of seconds before reading starts, so an output
    // that runs faster than the capture does not break a phrase into pieces, and
    // room for seconds of difference either way.
    config.targetSeconds = 4.0;
    config.capacitySeconds = 12.0;
  }
  auto made = ClockBridge::Create(config);
  std::lock_guard lock(bridgeMutex_);
  bridge_ = std::move(made);
}

void MicrophoneSource::Capture(std::wstring endpointId) noexcept {
  NameThisThread(L"kivora-microphone");
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  BridgeWriter writer(*this);
  ProAudioRegistration proAudio;
  while (WaitForSingleObject(stop_.Get(), 0) != WAIT_OBJECT_0) {
    std::unique_ptr<CaptureStream> stream = OpenCaptureStream(endpointId);
    missing_.store(stream == nullptr);
    if (!stream) {
      WaitForSingleObject(stop_.Get(), kRetryMs);
      continue;
    }
    const double period = static_cast<double>(stream->PeriodFrames()) / stream->SampleRate();
    for (;;) {
      HANDLE handles[2] = {stop_.Get(), stream->ReadyEvent()};
      const DWORD woke = WaitForMultipleObjects(2, handles, FALSE, 200);
      if (woke == WAIT_OBJECT_0) break;
      MatchBridge(stream->SampleRate(), period);
      if (!stream->ReadPackets(writer)) break;  // the device went: open it again
    }
  }
  {
    std::lock_guard lock(bridgeMutex_);
    bridge_.reset();
  }
  if (SUCCEEDED(com)) CoUninitialize();
}

void MicrophoneSource::MixInto(float* mix, uint32_t frames, unsigned rate, double playSeconds, bool soundsPlaying) noexcept {
  outputRate_.store(rate);
  // What the device holds once this block is written: its own buffer.
  outputBuffer_.store(playSeconds - PerformanceSeconds() + static_cast<double>(frames) / std::max(1u, rate));
  std::unique_lock lock(bridgeMutex_, std::try_to_lock);
  if (!lock.owns_lock() || !bridge_ || bridge_->Settings().outRate != rate) return;
  const float targetGain = muted_.load() ? 0.0f : gain_.load();
  const float duckTarget = soundsPlaying ? duck_.load() : 1.0f;
  const float glide = static_cast<float>(1.0 - std::exp(-1.0 / (kGainGlideSeconds * rate)));
  const float duckStep = static_cast<float>(
      1.0 - std::exp(-1.0 / ((duckTarget < appliedDuck_ ? kDuckAttackSeconds : kDuckReleaseSeconds) * rate)));
  for (uint32_t done = 0; done < frames;) {
    const uint32_t chunk = std::min<uint32_t>(frames - done, 512);
    // The voice is read even while muted, so the bridge keeps its pace.
    bridge_->Read(scratch_, chunk, playSeconds + static_cast<double>(done) / rate);
    for (uint32_t i = 0; i < chunk; ++i) {
      appliedGain_ += glide * (targetGain - appliedGain_);
      appliedDuck_ += duckStep * (duckTarget - appliedDuck_);
      const float scale = appliedGain_ * appliedDuck_;
      mix[2 * (done + i)] += scale * scratch_[2 * i];
      mix[2 * (done + i) + 1] += scale * scratch_[2 * i + 1];
    }
    done += chunk;
  }
}

}  // namespace kivora::audio

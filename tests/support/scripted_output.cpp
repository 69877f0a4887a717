#include "support/scripted_output.h"

#include <algorithm>
#include <cmath>

namespace kivora::audio::scripted {

std::atomic<int> ScriptedDevice::usesAfterDestruction_{0};

double NowSeconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return double(now.QuadPart) / double(frequency.QuadPart);
}

ClockedStream::ClockedStream(unsigned rate) : rate_(rate), buffer_(rate * 2 / 25) {
  LARGE_INTEGER period{.QuadPart = -50000};
  SetWaitableTimer(timer_.Get(), &period, 5, nullptr, nullptr, FALSE);
}

std::optional<uint32_t> ClockedStream::WritableFrames() {
  if (!stopped_) {
    // A device that ran dry played silence meanwhile, and goes on from now.
    const double played = (NowSeconds() - startedAt_) * rate_;
    if (played > double(written_)) {
      longestDry_ = std::max(longestDry_.load(), (played - double(written_)) / rate_);
      written_ = static_cast<uint64_t>(played);
    }
  }
  return buffer_ - Padding();
}

bool ClockedStream::Write(const float* stereo, uint32_t frames) {
  if (Padding() + frames > buffer_) return false;
  const double now = NowSeconds();
  if (stopped_) {
    stopped_ = false;
    startedAt_ = now;
    written_ = 0;
  }
  written_ += frames;
  std::lock_guard lock(mutex_);
  for (uint32_t i = 0; i < frames; ++i) {
    heard_.push_back(stereo ? stereo[2 * i] : 0.0f);
    writtenAt_.push_back(now);
  }
  return true;
}

bool ClockedStream::Discard() {
  stopped_ = true;
  return true;
}

size_t ClockedStream::FramesAtLeast(float level) {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::ranges::count_if(heard_, [level](float sample) { return std::abs(sample) >= level; }));
}

std::vector<float> ClockedStream::Written() {
  std::lock_guard lock(mutex_);
  return heard_;
}

double ClockedStream::FirstAtLeast(float level) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < heard_.size(); ++i) {
    if (std::abs(heard_[i]) >= level) return writtenAt_[i];
  }
  return 0;
}

uint32_t ClockedStream::Padding() const {
  if (stopped_) return 0;
  const double played = (NowSeconds() - startedAt_) * rate_;
  return played >= double(written_) ? 0 : static_cast<uint32_t>(double(written_) - played);
}

// Hands the engine a stream while the device can still read it after it closes.
class ScriptedDevice::Borrowed final : public OutputStream {
 public:
  Borrowed(ClockedStream& stream, ScriptedDevice& device) : stream_(stream), device_(device) {}
  ~Borrowed() override {
    stream_.Closed();
    std::lock_guard lock(device_.mutex_);
    std::erase(device_.open_, &stream_);
  }
  unsigned SampleRate() const override { return stream_.SampleRate(); }
  uint32_t BufferFrames() const override { return stream_.BufferFrames(); }
  HANDLE ReadyEvent() const override { return stream_.ReadyEvent(); }
  std::optional<uint32_t> WritableFrames() override { return stream_.WritableFrames(); }
  bool Write(const float* stereo, uint32_t frames) override { return stream_.Write(stereo, frames); }
  bool Discard() override { return stream_.Discard(); }

 private:
  ClockedStream& stream_;
  ScriptedDevice& device_;
};

ScriptedDevice::ScriptedDevice(std::vector<unsigned> rates) : rates_(std::move(rates)) {}

ScriptedDevice::~ScriptedDevice() { canary_.store(0); }

std::unique_ptr<OutputStream> ScriptedDevice::Open() {
  ++begun_;
  WaitForSingleObject(gate_.Get(), INFINITE);
  // Read after the wait: an opener that kept only a reference would find the device gone by now.
  if (canary_.load() != kAlive) {
    ++usesAfterDestruction_;
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  ++ended_;
  const unsigned rate = rates_[std::min(opens_++, rates_.size() - 1)];
  if (rate == 0) return nullptr;
  streams_.push_back(std::make_unique<ClockedStream>(rate));
  open_.push_back(streams_.back().get());
  return std::make_unique<Borrowed>(*streams_.back(), *this);
}

void ScriptedDevice::Hold() { ResetEvent(gate_.Get()); }
void ScriptedDevice::Release() { SetEvent(gate_.Get()); }

void ScriptedDevice::Script(std::vector<unsigned> rates) {
  std::lock_guard lock(mutex_);
  rates_ = std::move(rates);
  opens_ = 0;
}

ClockedStream* ScriptedDevice::Last() {
  std::lock_guard lock(mutex_);
  return open_.empty() ? nullptr : open_.back();
}

std::vector<ClockedStream*> ScriptedDevice::All() {
  std::lock_guard lock(mutex_);
  std::vector<ClockedStream*> all;
  for (auto& stream : streams_) all.push_back(stream.get());
  return all;
}

size_t ScriptedDevice::OpenNow() {
  std::lock_guard lock(mutex_);
  return open_.size();
}

}  // namespace kivora::audio::scripted

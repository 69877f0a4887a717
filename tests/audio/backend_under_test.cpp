#include "backend_under_test.h"

namespace kivora::audio {
namespace {

class FailingStream final : public OutputStream {
 public:
  FailingStream(std::unique_ptr<OutputStream> real, const std::atomic<bool>& failed, int number,
                const std::atomic<int>& validFrom)
      : real_(std::move(real)), failed_(failed), number_(number), validFrom_(validFrom) {}
  unsigned SampleRate() const override { return real_->SampleRate(); }
  uint32_t BufferFrames() const override { return real_->BufferFrames(); }
  HANDLE ReadyEvent() const override { return real_->ReadyEvent(); }
  std::optional<uint32_t> WritableFrames() override {
    if (Failed()) return std::nullopt;
    return real_->WritableFrames();
  }
  bool Write(const float* stereo, uint32_t frames) override { return !Failed() && real_->Write(stereo, frames); }
  // A stopped stream is not asked whether its device still works: the next write finds out.
  bool Discard() override { return !failed_ && real_->Discard(); }

 private:
  bool Failed() const { return failed_ || number_ < validFrom_; }

  std::unique_ptr<OutputStream> real_;
  const std::atomic<bool>& failed_;
  const int number_;
  const std::atomic<int>& validFrom_;
};

}  // namespace

std::unique_ptr<OutputStream> FailingOutputDevice::Open() {
  if (failed_) return nullptr;
  auto real = real_.Open();
  if (!real) return nullptr;
  return std::make_unique<FailingStream>(std::move(real), failed_, opened_++, validFrom_);
}

BackendUnderTest::BackendUnderTest(BackendKind kind) {
  if (kind == BackendKind::Engine) {
    engine_ = std::make_unique<SoundEngine>(device_);
    engineBackend_ = std::make_unique<EngineBackend>(*engine_, mci_);
  }
}

}  // namespace kivora::audio

#include "audio/dsp/clip_gain.h"

namespace kivora::audio {
namespace {

class ScaledDecoder final : public PcmDecoder {
 public:
  ScaledDecoder(std::unique_ptr<PcmDecoder> inner, float gain) : inner_(std::move(inner)), gain_(gain) {}
  unsigned SampleRate() const override { return inner_->SampleRate(); }
  unsigned Channels() const override { return inner_->Channels(); }
  bool DecodeMore(std::vector<float>& samples) override {
    const size_t from = samples.size();
    if (!inner_->DecodeMore(samples)) return false;
    for (size_t i = from; i < samples.size(); ++i) samples[i] *= gain_;
    return true;
  }
  std::optional<uint64_t> TotalFrames() override { return inner_->TotalFrames(); }

 private:
  std::unique_ptr<PcmDecoder> inner_;
  float gain_;
};

}  // namespace

void ClipGains::Set(const std::wstring& path, float gain) {
  std::lock_guard lock(mutex_);
  gains_[path] = gain;
}

void ClipGains::Forget(const std::wstring& path) {
  std::lock_guard lock(mutex_);
  gains_.erase(path);
}

float ClipGains::For(const std::wstring& path) const {
  std::lock_guard lock(mutex_);
  const auto found = gains_.find(path);
  return found == gains_.end() ? 1.0f : found->second;
}

std::unique_ptr<PcmDecoder> WithGain(std::unique_ptr<PcmDecoder> decoder, float gain) {
  if (!decoder || gain == 1.0f) return decoder;
  return std::make_unique<ScaledDecoder>(std::move(decoder), gain);
}

}  // namespace kivora::audio

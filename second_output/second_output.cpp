#include "second_output/second_output.h"

#include <cwchar>

#include "second_output/microphone_values.h"

namespace kivora {

SecondOutput::Chain::Chain(const std::wstring& endpointId, audio::ClipGains& gains)
    : device(endpointId), engine(device, gains), backend(engine, none) {}

SecondOutput::~SecondOutput() { mirrored_.SetMirror(nullptr); }

void SecondOutput::Use(const std::wstring& endpointId) {
  if (endpointId == endpointId_) return;
  // The old device's sound ends with its engine; the new one plays from the next sound on.
  mirrored_.SetMirror(nullptr);
  chain_.reset();
  endpointId_ = endpointId;
  if (endpointId_.empty()) return;
  chain_ = std::make_unique<Chain>(endpointId_, gains_);
  chain_->engine.OpenStream();
  if (!microphone_->EndpointId().empty()) chain_->engine.SetSource(microphone_);
  mirrored_.SetMirror(&chain_->backend);
}

}  // namespace kivora

namespace kivora {

void SecondOutput::UseMicrophone(const MicrophoneSetting& setting) {
  const MicrophoneValues values = MicrophoneValuesOf(setting);
  microphone_->SetGainDb(values.gainDb);
  microphone_->SetMuted(values.muted);
  microphone_->SetDuckDb(values.duckDb);
  microphone_->Use(setting.id);
  if (chain_) chain_->engine.SetSource(setting.id.empty() ? nullptr : microphone_);
}

}  // namespace kivora

#include "second_output/second_output.h"

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
  mirrored_.SetMirror(&chain_->backend);
}

}  // namespace kivora

// A gain per file path that the engine applies to a clip as it decodes it: how
// a feature above the engine levels a file without touching the volume the user
// set. Set from any thread, read when a sound is prepared. Gains may exceed 1.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "audio/decode/pcm_decoder.h"

namespace kivora::audio {

class ClipGains {
 public:
  void Set(const std::wstring& path, float gain);
  void Forget(const std::wstring& path);
  float For(const std::wstring& path) const;  // 1 for a path without a gain

 private:
  mutable std::mutex mutex_;  // guards gains_: written by the UI and measuring threads, read by the player
  std::map<std::wstring, float> gains_;
};

// decoder's samples times gain; the decoder itself when the gain is 1 (or there is none).
std::unique_ptr<PcmDecoder> WithGain(std::unique_ptr<PcmDecoder> decoder, float gain);

}  // namespace kivora::audio

// Any bytes as the start of a sound file: recognising it and judging whether it
// is damaged reads nothing outside them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/decode/clip_verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  kivora::audio::RecogniseClip(bytes);
  kivora::audio::KnownDamaged(bytes);
  kivora::audio::MemoryByteSource source(bytes);
  kivora::audio::KnownDamaged(source);
  return 0;
}

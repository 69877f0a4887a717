// Measuring a WAVE file of arbitrary bytes: whatever its header claims (rate,
// channels, sizes) and whatever its samples hold, measuring ends without a bad
// read or undefined arithmetic, and the loudness is a number or -infinity.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "audio/loudness_meter.h"
#include "audio/wav_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kivora::audio;
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(std::span(data, size)));
  if (!decoder) return 0;
  const ClipLoudness measured = MeasureDecoded(*decoder);
  if (std::isnan(measured.lufs) && measured.seconds >= 0.4) {
    // Only samples the decoder made from the bytes reach the meter: it never yields NaN for them.
    std::abort();
  }
  (void)MatchingGain(measured.lufs, measured.samplePeak, -20.0, -1.0);
  return 0;
}

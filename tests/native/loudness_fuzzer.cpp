// Measuring a WAVE file of arbitrary bytes: whatever its header claims (rate,
// channels, sizes) and whatever its samples hold, measuring ends without a bad
// read or undefined arithmetic. The same bytes, as text, are read as a saved
// loudness record: one that is accepted writes back to the same record.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "audio/dsp/loudness_meter.h"
#include "audio/decode/wav_decoder.h"
#include "loudness/loudness_record.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kivora::audio;
  const std::wstring text(data, data + size);
  if (const auto record = kivora::ParseLoudnessRecord(text)) {
    const auto again = kivora::ParseLoudnessRecord(kivora::FormatLoudnessRecord(*record));
    if (!again || !again->SameFile(*record) || again->lufs.has_value() != record->lufs.has_value()) std::abort();
  }
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

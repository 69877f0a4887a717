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
    // What a record lets through: a gain of at most +20 dB that keeps the true peak
    // under the ceiling.
    if (record->lufs) {
      const float gain = MatchingGain(*record->lufs, record->truePeak, -14.6, -1.0);
      if (!(*record->lufs >= -70.0 && *record->lufs <= 0.0 && record->truePeak > 0.0f)) std::abort();
      if (20.0 * std::log10(gain) > kMostMatchingGainDb + 1e-3) std::abort();
      if (20.0 * std::log10(gain * record->truePeak) > -1.0 + 1e-3) std::abort();
    }
  }
  auto decoder = WavDecoder::Open(std::make_unique<MemoryByteSource>(std::span(data, size)));
  if (!decoder) return 0;
  const ClipLoudness measured = *MeasureDecoded(*decoder);
  if (std::isnan(measured.lufs) || measured.truePeak < measured.samplePeak) {
    // Only samples the decoder made from the bytes reach the meter: it never yields NaN for
    // them, whatever the clip's length, and the true peak includes the samples themselves.
    std::abort();
  }
  const float gain = MatchingGain(measured.lufs, measured.truePeak, -20.0, -1.0);
  if (!(gain > 0.0f) || 20.0 * std::log10(gain) > kMostMatchingGainDb + 1e-3) std::abort();
  return 0;
}

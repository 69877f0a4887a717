// One slot's measurement as the settings file keeps it: the file's size and last
// write time (a file replaced since then is measured again), its integrated
// loudness and sample peak. "size,time,lufs,peak", e.g. "482113,133801234567890000,-19.73,0.8123";
// a file with nothing to measure keeps "none" for its loudness. Pure code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivora {

struct LoudnessRecord {
  uint64_t size = 0;
  uint64_t writeTime = 0;  // FILETIME as one number
  std::optional<double> lufs;
  float samplePeak = 0.0f;

  bool SameFile(const LoudnessRecord& other) const { return size == other.size && writeTime == other.writeTime; }
};

std::wstring FormatLoudnessRecord(const LoudnessRecord& record);
// Nothing for text that is not exactly such a record (hand-edited, cut short, other characters).
std::optional<LoudnessRecord> ParseLoudnessRecord(const std::wstring& text);

}  // namespace kivora

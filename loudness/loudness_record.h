// One slot's measurement as the settings file keeps it: the file's size and last
// write time (a file replaced since then is measured again), its integrated
// loudness and true peak. "size,time,lufs,peak,tp", e.g.
// "482113,133801234567890000,-19.73,0.8123,tp"; a file with nothing to measure
// keeps "none" for its loudness. Records of four fields held a sample peak and
// are measured again. A record whose values no measurement can give (edited by
// hand, or damaged) is refused, and so measured again too. Pure code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivora {

struct LoudnessRecord {
  uint64_t size = 0;
  uint64_t writeTime = 0;  // FILETIME as one number
  std::optional<double> lufs;
  float truePeak = 0.0f;

  bool SameFile(const LoudnessRecord& other) const { return size == other.size && writeTime == other.writeTime; }
};

std::wstring FormatLoudnessRecord(const LoudnessRecord& record);
// Nothing for text that is not exactly such a record (hand-edited, cut short, other
// characters), or whose values do not fit together: a loudness under -70 LUFS (the
// absolute gate) or over 0, a peak of 0 with a loudness, or a peak too low for the
// loudness (a clip's K-weighted loudness lies at most kMostLoudnessOverPeakDb over
// its peak level).
inline constexpr double kMostLoudnessOverPeakDb = 7.0;
std::optional<LoudnessRecord> ParseLoudnessRecord(const std::wstring& text);

}  // namespace kivora

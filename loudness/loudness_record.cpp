#include "loudness/loudness_record.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kivora {
namespace {

constexpr std::string_view kNoLoudness = "none";
constexpr std::string_view kTruePeakMark = "tp";
// The meter's absolute gate, and full scale: a louder record was not measured by us.
constexpr double kLowestLufs = -70.0, kHighestLufs = 0.0;
constexpr float kLargestPeak = 1000.0f;

// Two full-scale channels give -0.691 + 3 dB, and K-weighting adds at most 4 dB
// to a signal's power: nothing measures louder than its peak level plus 6.3 dB.
bool PeakFitsLoudness(double lufs, float truePeak) {
  return truePeak > 0.0f && 20.0 * std::log10(truePeak) >= lufs - kMostLoudnessOverPeakDb;
}

template <typename Number>
bool ReadWhole(std::string_view text, Number& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::wstring FormatLoudnessRecord(const LoudnessRecord& record) {
  char text[128];
  // Rounded so that the record reads back as consistent as it was: the loudness
  // down, the peak up.
  const double lufs = record.lufs ? std::floor(*record.lufs * 100.0) / 100.0 : 0.0;
  const double peak = std::ceil(static_cast<double>(record.truePeak) * 1e6) / 1e6;
  if (record.lufs) {
    std::snprintf(text, sizeof(text), "%llu,%llu,%.2f,%.6f,%s", static_cast<unsigned long long>(record.size),
                  static_cast<unsigned long long>(record.writeTime), lufs, peak, kTruePeakMark.data());
  } else {
    std::snprintf(text, sizeof(text), "%llu,%llu,%s,%.6f,%s", static_cast<unsigned long long>(record.size),
                  static_cast<unsigned long long>(record.writeTime), kNoLoudness.data(), peak,
                  kTruePeakMark.data());
  }
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

std::optional<LoudnessRecord> ParseLoudnessRecord(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c > 0x7E || c < 0x20) return std::nullopt;
    narrow.push_back(static_cast<char>(c));
  }
  std::vector<std::string_view> fields;
  std::string_view rest = narrow;
  for (size_t comma; (comma = rest.find(',')) != std::string_view::npos; rest.remove_prefix(comma + 1)) {
    fields.push_back(rest.substr(0, comma));
  }
  fields.push_back(rest);
  if (fields.size() != 5 || fields[4] != kTruePeakMark) return std::nullopt;
  LoudnessRecord record;
  float peak = 0.0f;
  if (!ReadWhole(fields[0], record.size) || !ReadWhole(fields[1], record.writeTime) || !ReadWhole(fields[3], peak)) {
    return std::nullopt;
  }
  if (!(peak >= 0.0f && peak <= kLargestPeak)) return std::nullopt;
  record.truePeak = peak;
  if (fields[2] != kNoLoudness) {
    double lufs = 0.0;
    if (!ReadWhole(fields[2], lufs) || !(lufs >= kLowestLufs && lufs <= kHighestLufs)) return std::nullopt;
    if (!PeakFitsLoudness(lufs, peak)) return std::nullopt;
    record.lufs = lufs;
  }
  return record;
}

}  // namespace kivora

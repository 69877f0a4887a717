#include "loudness/loudness_record.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

namespace kivora {
namespace {

constexpr std::string_view kNoLoudness = "none";
// Wider than any measurement can be; what lies outside was not written by us.
constexpr double kLowestLufs = -200.0, kHighestLufs = 50.0;
constexpr float kLargestPeak = 1000.0f;

template <typename Number>
bool ReadWhole(std::string_view text, Number& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::wstring FormatLoudnessRecord(const LoudnessRecord& record) {
  char text[96];
  if (record.lufs) {
    std::snprintf(text, sizeof(text), "%llu,%llu,%.2f,%.4f", static_cast<unsigned long long>(record.size),
                  static_cast<unsigned long long>(record.writeTime), *record.lufs, record.samplePeak);
  } else {
    std::snprintf(text, sizeof(text), "%llu,%llu,%s,%.4f", static_cast<unsigned long long>(record.size),
                  static_cast<unsigned long long>(record.writeTime), kNoLoudness.data(), record.samplePeak);
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
  if (fields.size() != 4) return std::nullopt;
  LoudnessRecord record;
  float peak = 0.0f;
  if (!ReadWhole(fields[0], record.size) || !ReadWhole(fields[1], record.writeTime) || !ReadWhole(fields[3], peak)) {
    return std::nullopt;
  }
  if (!(peak >= 0.0f && peak <= kLargestPeak)) return std::nullopt;
  record.samplePeak = peak;
  if (fields[2] != kNoLoudness) {
    double lufs = 0.0;
    if (!ReadWhole(fields[2], lufs) || !(lufs >= kLowestLufs && lufs <= kHighestLufs)) return std::nullopt;
    record.lufs = lufs;
  }
  return record;
}

}  // namespace kivora

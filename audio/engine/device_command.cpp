#include "audio/engine/device_command.h"

#include <array>
#include <vector>

namespace kivora::audio {
namespace {

std::vector<std::wstring_view> Words(std::wstring_view text) {
  std::vector<std::wstring_view> words;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && text[at] == L' ') ++at;
    const size_t start = at;
    while (at < text.size() && text[at] != L' ') ++at;
    if (at > start) words.push_back(text.substr(start, at - start));
  }
  return words;
}

bool SameLetters(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct VerbName {
  std::wstring_view name;
  DeviceVerb verb;
};
constexpr std::array<VerbName, 4> kPlainVerbs = {{
    {L"play", DeviceVerb::Play}, {L"pause", DeviceVerb::Pause}, {L"resume", DeviceVerb::Resume}, {L"close", DeviceVerb::Close},
}};

std::optional<long> Volume(std::wstring_view digits) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  long value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  if (value > 1000) return std::nullopt;
  return value;
}

}  // namespace

std::optional<DeviceCommand> ParseDeviceCommand(std::wstring_view command) {
  const std::vector<std::wstring_view> words = Words(command);
  if (words.size() < 2) return std::nullopt;
  if (words.size() == 2) {
    for (const VerbName& plain : kPlainVerbs) {
      if (SameLetters(words[0], plain.name)) return DeviceCommand{plain.verb, std::wstring(words[1])};
    }
    return std::nullopt;
  }
  // setaudio <alias> [left|right] volume to <n>
  if (!SameLetters(words[0], L"setaudio")) return std::nullopt;
  DeviceCommand parsed{DeviceVerb::SetVolume, std::wstring(words[1])};
  size_t at = 2;
  if (SameLetters(words[at], L"left")) {
    parsed.channel = VolumeChannel::Left;
    ++at;
  } else if (SameLetters(words[at], L"right")) {
    parsed.channel = VolumeChannel::Right;
    ++at;
  }
  if (words.size() != at + 3 || !SameLetters(words[at], L"volume") || !SameLetters(words[at + 1], L"to")) {
    return std::nullopt;
  }
  const auto volume = Volume(words[at + 2]);
  if (!volume) return std::nullopt;
  parsed.volume = *volume;
  return parsed;
}

}  // namespace kivora::audio

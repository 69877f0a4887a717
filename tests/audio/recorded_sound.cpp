#include "recorded_sound.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kivora::audio {
namespace {

constexpr double kSampleRate = 48000.0;
constexpr size_t kBlockSamples = 480;  // 10 ms
constexpr size_t kFrameBytes = 4;      // 16-bit stereo
// Below this a block counts as silence: about -60 dB of full scale. Wine's
// padding is exact zeros, a quiet tone stays well above it.
constexpr double kSilenceLevel = 30.0;
// A tone owns a block when its share of the block's energy is this many times
// the other tone's.
constexpr double kDominance = 10.0;

// Energy of samples at frequency, by the Goertzel recurrence.
double PowerAt(const int16_t* samples, size_t count, double frequency) {
  const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / kSampleRate);
  double previous = 0.0, beforePrevious = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double current = samples[i] + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

std::wstring Environment(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// Paths handed over from Linux (the environment, the compiler) are Unix paths;
// Wine knows the drive letter that reaches them.
std::wstring WindowsPathOf(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  using UnixToDos = wchar_t*(__cdecl*)(const char*);
  const auto unixToDos = reinterpret_cast<UnixToDos>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!unixToDos) return path;
  const int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  wchar_t* dos = unixToDos(utf8.c_str());
  if (!dos) return path;
  std::wstring result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

std::wstring SourceRoot() {
  std::wstring root = Environment(L"KIVORA_SOURCE_DIR");
  if (root.empty()) {
    // This file is <root>/tests/audio/recorded_sound.cpp.
    const std::string self = __FILE__;
    root.assign(self.begin(), self.end());
    for (int level = 0; level < 3; ++level) root.resize(root.find_last_of(L"/\\"));
  }
  return WindowsPathOf(root);
}

}  // namespace

std::vector<Block> Blocks(const std::vector<int16_t>& samples) {
  std::vector<Block> blocks;
  for (size_t start = 0; start + kBlockSamples <= samples.size(); start += kBlockSamples) {
    const int16_t* block = samples.data() + start;
    double energy = 0.0;
    for (size_t i = 0; i < kBlockSamples; ++i) energy += double(block[i]) * block[i];
    const double rms = std::sqrt(energy / kBlockSamples);
    Tone tone = Tone::Silence;
    if (rms >= kSilenceLevel) {
      const double low = PowerAt(block, kBlockSamples, kLowTone);
      const double high = PowerAt(block, kBlockSamples, kHighTone);
      tone = low > kDominance * high ? Tone::Low : high > kDominance * low ? Tone::High : Tone::Other;
    }
    blocks.push_back({rms, tone});
  }
  return blocks;
}

size_t CountBlocks(const std::vector<Block>& blocks, Tone tone) {
  return static_cast<size_t>(std::ranges::count(blocks, tone, &Block::tone));
}

double MedianLevel(const std::vector<Block>& blocks, Tone tone) {
  std::vector<double> levels;
  for (const Block& block : blocks) {
    if (block.tone == tone) levels.push_back(block.rms);
  }
  if (levels.empty()) return 0.0;
  std::ranges::nth_element(levels, levels.begin() + levels.size() / 2);
  return levels[levels.size() / 2];
}

SoundTap::SoundTap(std::wstring path) : path_(std::move(path)) { Mark(); }

void SoundTap::Mark() {
  Poll();
  left_.clear();
  bytesSinceMark_ = 0;
}

uint64_t SoundTap::FileSize() const {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

void SoundTap::Poll() {
  const uint64_t size = FileSize();
  if (size < readOffset_) {
    readOffset_ = 0;
    partialFrame_.clear();
  }
  if (size == readOffset_) return;
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(readOffset_);
  std::string bytes(static_cast<size_t>(size - readOffset_), '\0');
  DWORD read = 0;
  if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
      ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    bytes.resize(read);
    readOffset_ += read;
    bytesSinceMark_ += read;
    partialFrame_ += bytes;
    const size_t whole = partialFrame_.size() / kFrameBytes * kFrameBytes;
    for (size_t frame = 0; frame < whole; frame += kFrameBytes) {
      left_.push_back(static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(partialFrame_[frame])) |
                                           static_cast<uint16_t>(static_cast<unsigned char>(partialFrame_[frame + 1]))
                                               << 8));
    }
    partialFrame_.erase(0, whole);
  }
  CloseHandle(file);
}

std::vector<int16_t> LeftChannelOf(const std::string& stereo16) {
  std::vector<int16_t> left;
  for (size_t at = 0; at + kFrameBytes <= stereo16.size(); at += kFrameBytes) {
    left.push_back(static_cast<int16_t>(static_cast<unsigned char>(stereo16[at]) |
                                        (static_cast<unsigned char>(stereo16[at + 1]) << 8)));
  }
  return left;
}

std::wstring RecordedSoundPath() { return WindowsPathOf(Environment(L"KIVORA_AUDIO_OUT")); }

std::wstring FixturePath(const std::wstring& name) { return SourceRoot() + L"\\tests\\audio\\fixtures\\" + name; }

}  // namespace kivora::audio

// Loudness measurement: the built-in clips' loudness (what custom sounds are
// matched to), then the speed of measuring a ten-minute file, in seconds of audio
// per second on this one thread, WAVE and MP3, and the process's peak memory
// after a one-minute and after a ten-minute file (flat: measured by streaming).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/catalogue.h"
#include "audio/dsp/file_loudness.h"
#include "audio/decode/lame_header.h"
#include "audio/decode/mp3_frame.h"

namespace {

using Clock = std::chrono::steady_clock;

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

double PeakMegabytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return static_cast<double>(counters.PeakPagefileUsage) / (1024.0 * 1024.0);
}

// 44.1 kHz stereo 16-bit noise-like tone mix of the given length.
void WriteWave(const std::wstring& path, double seconds) {
  const uint32_t frames = static_cast<uint32_t>(seconds * 44100);
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  put32(36 + frames * 4);
  out.write("WAVEfmt ", 8);
  put32(16);
  put16(1), put16(2), put32(44100), put32(44100 * 4), put16(4), put16(16);
  out.write("data", 4);
  put32(frames * 4);
  std::vector<int16_t> chunk;
  uint32_t seed = 1;
  for (uint32_t at = 0; at < frames;) {
    chunk.clear();
    for (uint32_t i = 0; i < 44100 && at < frames; ++i, ++at) {
      seed = seed * 1664525u + 1013904223u;
      const double value = 0.2 * std::sin(at * 0.0627) + 0.05 * ((seed >> 16) / 32768.0 - 1.0);
      const auto sample = static_cast<int16_t>(value * 32767);
      chunk.push_back(sample), chunk.push_back(sample);
    }
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 2));
  }
}

// A clip's audio frames alone, without its ID3 tag and its Xing frame, whose frame
// count would end a longer stream made of several clips at the first clip's end.
std::string AudioFramesOf(std::span<const unsigned char> body) {
  using namespace kivora::audio;
  size_t at = static_cast<size_t>(Id3v2TagLength(body));
  const auto first = FindLayer3Audio(body, at, body.size());
  if (!first) return {};
  at = *first;
  if (const auto header = ParseMp3FrameHeader(body.subspan(at)); header && at + header->frameBytes <= body.size()) {
    if (ParseXingFrame(body.subspan(at, header->frameBytes), *header)) at += header->frameBytes;
  }
  size_t end = at;
  while (const auto header = ParseMp3FrameHeader(body.subspan(end))) {
    if (end + header->frameBytes > body.size()) break;
    end += header->frameBytes;
  }
  return std::string(reinterpret_cast<const char*>(body.data() + at), end - at);
}

void Time(const char* what, const std::wstring& path) {
  const auto start = Clock::now();
  const auto measured = kivora::audio::MeasureFile(path);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  if (!measured) {
    std::printf("%s: not measured\n", what);
    return;
  }
  std::printf("%s: %.0f s of audio in %.2f s = %.0fx real time, %.2f LUFS; peak memory %.1f MB\n", what,
              measured->seconds, wall, measured->seconds / wall, measured->lufs, PeakMegabytes());
}

}  // namespace

int wmain() {
  // The built-in clips, written out as files, as the program has them in its data folder.
  std::vector<double> loudness;
  double oneRoundSeconds = 0;
  std::string allClips;
  for (const auto& entry : kivora::Catalogue()) {
    const auto body = kivora::BodyOf(entry);
    const std::wstring path = TempPath(L"kivora-loudness-clip.mp3");
    std::ofstream(std::filesystem::path(path), std::ios::binary).write(reinterpret_cast<const char*>(body.data()),
                                               static_cast<std::streamsize>(body.size()));
    allClips += AudioFramesOf(body);
    const auto measured = kivora::audio::MeasureFile(path);
    if (!measured) continue;
    loudness.push_back(measured->lufs);
    oneRoundSeconds += measured->seconds;
  }
  std::sort(loudness.begin(), loudness.end());
  double energy = 0;
  for (double lufs : loudness) energy += std::pow(10.0, lufs / 10.0);
  std::printf("built-in clips: %zu measured, %.2f .. %.2f LUFS, median %.2f, power mean %.2f\n", loudness.size(),
              loudness.front(), loudness.back(), loudness[loudness.size() / 2],
              10.0 * std::log10(energy / static_cast<double>(loudness.size())));

  const std::wstring wave1 = TempPath(L"kivora-loudness-1min.wav");
  const std::wstring wave10 = TempPath(L"kivora-loudness-10min.wav");
  WriteWave(wave1, 60);
  WriteWave(wave10, 600);
  std::printf("peak memory before: %.1f MB\n", PeakMegabytes());
  Time("WAVE, one minute", wave1);
  Time("WAVE, ten minutes", wave10);
  // The clips one after another until ten minutes: MP3 frames follow each other in one stream.
  const std::wstring mp3 = TempPath(L"kivora-loudness-10min.mp3");
  {
    std::ofstream out(std::filesystem::path(mp3), std::ios::binary);
    for (double seconds = 0; seconds < 600 && oneRoundSeconds > 0; seconds += oneRoundSeconds) out << allClips;
  }
  Time("MP3, the clips end to end past ten minutes", mp3);
  DeleteFileW(wave1.c_str());
  DeleteFileW(wave10.c_str());
  DeleteFileW(mp3.c_str());
  DeleteFileW(TempPath(L"kivora-loudness-clip.mp3").c_str());
  return 0;
}

// Click-to-sound latency of the built-in buttons, with the real MCI back end.
// Run inside a Wine session whose ALSA device writes raw PCM to a file
// ($KIVORA_AUDIO_OUT, 48 kHz S16LE stereo): each click is timed from the button's
// release to the first non-silent sample that reaches that file, and the click
// handler itself is timed on its own. Prints median and spread over the clicks.
//   click_latency.exe [clicks]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/process_start.h"
#include "app/shell_texts.h"
#include "assets/catalogue.h"
#include "stopwatch.h"
#include "system_services.h"

namespace {

using kivora::bench::NowMs;
using kivora::bench::Quantile;

constexpr int kSilenceThreshold = 64;  // |sample| above this counts as sound
constexpr double kGiveUpMs = 3000;

void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Where the device output file stands now (its size in bytes).
long long OutputSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True when the bytes from offset on hold a sample louder than the threshold.
bool HasSoundAfter(const std::wstring& path, long long offset) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  in.seekg(offset - (offset % 4));
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    int sample = static_cast<short>(static_cast<unsigned char>(bytes[i]) | (bytes[i + 1] << 8));
    if (std::abs(sample) > kSilenceThreshold) return true;
  }
  return false;
}

void Report(const char* what, const std::vector<double>& values) {
  std::printf("%-34s median %6.1f ms  min %6.1f  p10 %6.1f  p90 %6.1f  max %6.1f  (n=%zu)\n", what,
              Quantile(values, 0.5), Quantile(values, 0), Quantile(values, 0.1), Quantile(values, 0.9),
              Quantile(values, 1), values.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const char* out = std::getenv("KIVORA_AUDIO_OUT");
  if (!out) {
    std::fprintf(stderr, "KIVORA_AUDIO_OUT is not set: run inside scripts/wine-session.sh\n");
    return 2;
  }
  // The Linux path of the file as Wine sees it, on drive Z:.
  std::wstring outputPath = L"Z:";
  for (const char* c = out; *c; ++c) outputPath += (*c == '/') ? L'\\' : static_cast<wchar_t>(*c);
  const int clicks = argc > 1 ? _wtoi(argv[1]) : 24;

  kivora::StartProcess();
  kivora::bench::SystemServices services;
  kivora::App app(services.Get());
  app.Start(GetModuleHandleW(nullptr));
  Pump();

  std::vector<double> handler, toSound;
  int missed = 0;
  for (int click = 0; click < clicks; ++click) {
    const kivora::CatalogueEntry& entry = kivora::Catalogue()[click % 20];  // page 0 is the page shown
    app.Player().Close();
    for (double until = NowMs() + 400; NowMs() < until;) {
      Pump();
      Sleep(5);
    }
    // Wine truncates the device file whenever a sound opens the device, so the
    // search starts at the old end and falls back to the start after a truncation.
    long long searchFrom = OutputSize(outputPath);
    HWND button = app.Window()[entry.buttonName].Handle();

    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    const double start = NowMs();
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    handler.push_back(NowMs() - start);

    double heard = -1;
    while (NowMs() - start < kGiveUpMs) {
      Pump();
      const long long size = OutputSize(outputPath);
      if (size < searchFrom) searchFrom = 0;
      if (size > searchFrom && HasSoundAfter(outputPath, searchFrom)) {
        heard = NowMs() - start;
        break;
      }
      Sleep(1);
    }
    if (heard < 0) ++missed;
    else toSound.push_back(heard);
  }
  // Where the handler's time goes: the device open against the volume and play commands.
  std::vector<double> openTimes, playTimes;
  for (int round = 0; round < 12; ++round) {
    const kivora::CatalogueEntry& entry = kivora::Catalogue()[round % 20];
    const std::wstring path = kivora::Shell().dataFolder + std::wstring(entry.relativePath);
    double start = NowMs();
    app.Player().Open(path);
    double opened = NowMs();
    kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
    openTimes.push_back(opened - start);
    playTimes.push_back(NowMs() - opened);
    for (double until = NowMs() + 200; NowMs() < until;) {
      Pump();
      Sleep(5);
    }
  }
  app.Player().Close();

  Report("click handler", handler);
  Report("  of which close + open", openTimes);
  Report("  of which volume + play", playTimes);
  if (!toSound.empty()) Report("click to first non-silent sample", toSound);
  std::printf("clicks with no sound within %.0f ms: %d\n", kGiveUpMs, missed);
  return 0;
}

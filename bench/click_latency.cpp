// Click-to-sound latency of the built-in buttons, with the real MCI back end,
// clicked while the previous clip still plays (and, for comparison, from silence).
// Run inside a Wine session whose ALSA device writes raw PCM to a file
// ($KIVORA_AUDIO_OUT, 48 kHz S16LE stereo): each click is timed from the button's
// release to the first non-silent sample that reaches that file, and the click
// handler itself is timed on its own. Prints median and spread over the clicks.
//   click_latency.exe [clicks of each kind, 24 when not given]
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

void WaitPumping(double ms) {
  for (double until = NowMs() + ms; NowMs() < until;) {
    Pump();
    Sleep(5);
  }
}

// How long the previous clip plays before the next click: every built-in clip
// lasts longer than this, so the click always cuts one off.
constexpr double kPlayingBeforeClickMs = 400;

std::wstring ClipPath(const kivora::App& app, int index) {
  return app.Shell().dataFolder + std::wstring(kivora::Catalogue()[index % 20].relativePath);
}

enum class Before { kPlaying, kSilent };

struct ClickFigures {
  std::vector<double> handler, toSound;
  int missed = 0;
};

// Clicks one built-in button of the page shown, timed from the button's release
// to the end of its handler and to its first loud sample. Before the click either
// the clip of the click before still plays, or the player has been closed.
void ClickOnce(kivora::App& app, const std::wstring& outputPath, int click, Before before, ClickFigures& figures) {
  const kivora::CatalogueEntry& entry = kivora::Catalogue()[click % 20];
  if (before == Before::kSilent) app.Player().Close();
  WaitPumping(kPlayingBeforeClickMs);
  // Wine truncates the device file whenever a sound opens the device, so the
  // search starts at the old end and falls back to the start after a truncation.
  // While a clip plays the file grows by 192 bytes a millisecond, far too
  // slowly to pass the old end again before a 1 ms poll sees the truncation.
  long long searchFrom = OutputSize(outputPath);
  HWND button = app.Window()[entry.buttonName].Handle();

  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  const double start = NowMs();
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  figures.handler.push_back(NowMs() - start);

  double heard = -1;
  bool truncated = false;
  while (NowMs() - start < kGiveUpMs) {
    Pump();
    const long long size = OutputSize(outputPath);
    if (size < searchFrom) {
      searchFrom = 0;
      truncated = true;
    }
    // With a clip playing, loud bytes before the truncation are the old clip's.
    const bool searchable = before == Before::kSilent || truncated;
    if (searchable && size > searchFrom && HasSoundAfter(outputPath, searchFrom)) {
      heard = NowMs() - start;
      break;
    }
    Sleep(1);
  }
  if (heard < 0) ++figures.missed;
  else figures.toSound.push_back(heard);
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
  kivora::App app(services.Get(), services.Shell());
  app.Start(GetModuleHandleW(nullptr));
  Pump();

  // A broadcaster presses the next sound while the last one still plays, so the
  // main figures are of clicks that land on a playing clip and whose handler pays
  // for cutting it off. Clicks from silence alternate with them, so that both
  // kinds see the same machine load; two untimed clicks warm the device up first.
  ClickFigures warmUp, whilePlaying, fromSilence;
  for (int click = 0; click < 2; ++click) ClickOnce(app, outputPath, click, Before::kSilent, warmUp);
  for (int click = 0; click < 2 * clicks; ++click) {
    // The click before an even one left its clip playing.
    if (click % 2 == 0) ClickOnce(app, outputPath, click, Before::kPlaying, whilePlaying);
    else ClickOnce(app, outputPath, click, Before::kSilent, fromSilence);
  }

  // Where the handler's time goes: stopping the playing clip, opening the next,
  // and the volume and play commands.
  std::vector<double> closeTimes, openTimes, playTimes;
  for (int round = 0; round < 12; ++round) {
    const std::wstring path = ClipPath(app, round);
    WaitPumping(kPlayingBeforeClickMs);
    double start = NowMs();
    app.Player().Close();
    double closed = NowMs();
    app.Player().Open(path);
    double opened = NowMs();
    kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
    closeTimes.push_back(closed - start);
    openTimes.push_back(opened - closed);
    playTimes.push_back(NowMs() - opened);
  }
  app.Player().Close();

  Report("click handler, a clip playing", whilePlaying.handler);
  Report("  of which close of the playing clip", closeTimes);
  Report("  of which open", openTimes);
  Report("  of which volume + play", playTimes);
  if (!whilePlaying.toSound.empty()) Report("click to first sample, a clip playing", whilePlaying.toSound);
  std::printf("clicks with no sound within %.0f ms: %d\n", kGiveUpMs, whilePlaying.missed);
  Report("click handler, nothing playing", fromSilence.handler);
  if (!fromSilence.toSound.empty()) Report("click to first sample, nothing playing", fromSilence.toSound);
  std::printf("clicks with no sound within %.0f ms: %d\n", kGiveUpMs, fromSilence.missed);
  return 0;
}

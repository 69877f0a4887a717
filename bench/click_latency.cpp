// Click-to-sound latency of the built-in buttons, with each real back end in
// turn (the sound engine, then MCI alone), the same clicks on the same clips.
// Run inside a Wine session whose ALSA device writes raw PCM to a file
// ($KIVORA_AUDIO_OUT, 48 kHz S16LE stereo): each click is timed from the button's
// release to the first non-silent sample that reaches that file, and the click
// handler itself is timed on its own. Prints median and spread over the clicks.
// Also measured in the same run: the device's own floor (a bare event-driven
// stream, silence flowing, then a loud block), how soon a cut-off sound falls
// silent, and the process's private memory and CPU time (from /proc under Wine).
//   click_latency.exe [clicks]
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/process_start.h"
#include "app/shell_texts.h"
#include "assets/catalogue.h"
#include "audio/engine/engine_backend.h"
#include "audio/engine/mci_backend.h"
#include "audio/device/wasapi_output.h"
#include "process_memory.h"
#include "support/stalling_byte_source.h"
#include "stopwatch.h"

namespace {

using kivora::bench::NowMs;
using kivora::bench::Median;
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

// How many ms of sound the device wrote after offset: the position of the last
// sample louder than the threshold, at 48 kHz stereo 16-bit.
double LastSoundAfterMs(const std::wstring& path, long long offset) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  in.seekg(offset - (offset % 4));
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  size_t last = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    int sample = static_cast<short>(static_cast<unsigned char>(bytes[i]) | (bytes[i + 1] << 8));
    if (std::abs(sample) > kSilenceThreshold) last = i;
  }
  return static_cast<double>(last / 4) / 48.0;
}

// From the first sample louder than the threshold after offset to the last, in ms at 48 kHz.
double SoundSpanMs(const std::wstring& path, long long offset) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  in.seekg(offset - (offset % 4));
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  size_t first = bytes.size(), last = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    int sample = static_cast<short>(static_cast<unsigned char>(bytes[i]) | (bytes[i + 1] << 8));
    if (std::abs(sample) <= kSilenceThreshold) continue;
    first = std::min(first, i);
    last = i;
  }
  return first > last ? 0.0 : static_cast<double>(last / 4 - first / 4) / 48.0;
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

// The App's back end, switched between the two measured ones.
class SwitchedBackend final : public kivora::audio::AudioBackend {
 public:
  explicit SwitchedBackend(kivora::audio::AudioBackend& first) : current_(&first) {}
  void Use(kivora::audio::AudioBackend& backend) { current_ = &backend; }
  kivora::audio::DeviceResult Open(const std::wstring& type, const std::wstring& path, const std::wstring& alias) override {
    return current_->Open(type, path, alias);
  }
  kivora::audio::DeviceResult Send(const std::wstring& command) override { return current_->Send(command); }

 private:
  kivora::audio::AudioBackend* current_;
};

// This process as Linux knows it.
const std::string& ProcessFolder() {
  static const std::string folder = kivora::bench::LinuxProcessFolder("click_latency.exe");
  return folder;
}

double PrivateMegabytes() { return kivora::bench::PrivateMegabytes(ProcessFolder()); }
double CpuMs() { return kivora::bench::CpuMs(ProcessFolder()); }

// Pumps messages for ms milliseconds, at the pace of an idle event loop.
void PumpFor(double ms) {
  for (double until = NowMs() + ms; NowMs() < until;) {
    Pump();
    Sleep(5);
  }
}

// The share of one core the process used over ms of an event loop that waits
// for messages, as the program's own does; the threads that used it are kept
// for the report under what.
double CpuShareWhile(double ms, const char* what) {
  const auto threadsBefore = kivora::bench::CpuMsByThread(ProcessFolder());
  const double cpuBefore = CpuMs(), wallBefore = NowMs();
  for (double now = NowMs(); now < wallBefore + ms; now = NowMs()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wallBefore + ms - now) + 1, QS_ALLINPUT);
    Pump();
  }
  const double share = 100.0 * (CpuMs() - cpuBefore) / (NowMs() - wallBefore);
  kivora::bench::PrintThreadCpu(what, threadsBefore, kivora::bench::CpuMsByThread(ProcessFolder()), NowMs() - wallBefore);
  return share;
}

void Report(const char* what, const std::vector<double>& values) {
  std::printf("%-34s median %6.1f ms  min %6.1f  p10 %6.1f  p90 %6.1f  max %6.1f  (n=%zu)\n", what,
              Quantile(values, 0.5), Quantile(values, 0), Quantile(values, 0.1), Quantile(values, 0.9),
              Quantile(values, 1), values.size());
}

// One click on entry's button from silence: the handler's time, and the time
// from the release to the first sound in the device file (-1 when none came).
std::pair<double, double> ClickFromSilence(kivora::App& app, const kivora::CatalogueEntry& entry, const std::wstring& outputPath) {
  // Wine truncates the device file whenever a sound opens the device, so the
  // search starts at the old end and falls back to the start after a truncation.
  long long searchFrom = OutputSize(outputPath);
  HWND button = app.Window()[entry.buttonName].Handle();
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  const double start = NowMs();
  SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  const double handler = NowMs() - start;
  while (NowMs() - start < kGiveUpMs) {
    Pump();
    const long long size = OutputSize(outputPath);
    if (size < searchFrom) searchFrom = 0;
    if (size > searchFrom && HasSoundAfter(outputPath, searchFrom)) return {handler, NowMs() - start};
    Sleep(1);
  }
  return {handler, -1.0};
}

// Clicks that each come after a quiet spell long enough for the engine to
// close its stream: the click opens it again.
std::vector<double> ClicksAfterQuiet(kivora::App& app, kivora::audio::SoundEngine& engine, int rounds,
                                     const std::wstring& outputPath) {
  std::vector<double> toSound;
  for (int round = 0; round < rounds; ++round) {
    app.Player().Close();
    for (double until = NowMs() + 8000; engine.StreamOpen() && NowMs() < until;) PumpFor(20);
    if (engine.StreamOpen()) break;
    const double heard = ClickFromSilence(app, kivora::Catalogue()[round % 20], outputPath).second;
    if (heard >= 0) toSound.push_back(heard);
  }
  app.Player().Close();
  return toSound;
}

struct ClickFigures {
  std::vector<double> handler, handlerWhilePlaying, toSound, openTimes, playTimes, cutOff;
  int missed = 0;
};

// The clicks of one back end: each built-in button of the first page in turn,
// from silence, timed from the release to the first sound in the device file.
ClickFigures MeasureClicks(kivora::App& app, int clicks, const std::wstring& outputPath) {
  ClickFigures figures;
  std::vector<double>& handler = figures.handler;
  std::vector<double>& toSound = figures.toSound;
  int& missed = figures.missed;
  for (int click = 0; click < clicks; ++click) {
    const kivora::CatalogueEntry& entry = kivora::Catalogue()[click % 20];  // page 0 is the page shown
    app.Player().Close();
    for (double until = NowMs() + 400; NowMs() < until;) {
      Pump();
      Sleep(5);
    }
    const auto [handlerMs, heard] = ClickFromSilence(app, entry, outputPath);
    handler.push_back(handlerMs);
    if (heard < 0) ++missed;
    else toSound.push_back(heard);
  }
  // A broadcaster presses the next sound while the last one plays: the handler then
  // also cuts the playing clip off. Each click lands 400 ms into the clip before.
  for (int click = 0; click < clicks; ++click) {
    HWND button = app.Window()[kivora::Catalogue()[click % 20].buttonName].Handle();
    PumpFor(400);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    const double start = NowMs();
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    figures.handlerWhilePlaying.push_back(NowMs() - start);
  }
  app.Player().Close();
  // Where the handler's time goes: the device open against the volume and play commands.
  for (int round = 0; round < 12; ++round) {
    const kivora::CatalogueEntry& entry = kivora::Catalogue()[round % 20];
    const std::wstring path = app.Shell().dataFolder + std::wstring(entry.relativePath);
    double start = NowMs();
    app.Player().Open(path);
    double opened = NowMs();
    kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
    figures.openTimes.push_back(opened - start);
    figures.playTimes.push_back(NowMs() - opened);
    for (double until = NowMs() + 200; NowMs() < until;) {
      Pump();
      Sleep(5);
    }
  }
  // Cut-off: a playing clip closed; the device file, written at the pace of the
  // sound, tells how much of it still came out after the close.
  for (int round = 0; round < 8; ++round) {
    const kivora::CatalogueEntry& entry = kivora::Catalogue()[round % 20];
    app.Player().Open(app.Shell().dataFolder + std::wstring(entry.relativePath));
    kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
    PumpFor(500 + 37 * round);
    const long long closedAt = OutputSize(outputPath);
    app.Player().Close();
    PumpFor(400);
    if (OutputSize(outputPath) < closedAt) continue;  // the device started its file afresh
    figures.cutOff.push_back(LastSoundAfterMs(outputPath, closedAt));
  }
  app.Player().Close();
  return figures;
}

// The device's floor: a bare event-driven stream of its own, silence flowing,
// then a loud block; the time from writing that block to its first sample in the file.
std::vector<double> MeasureDeviceFloor(const std::wstring& outputPath, int rounds) {
  std::vector<double> floor;
  kivora::audio::WasapiOutputDevice device;
  // What a stream costs to open once the audio libraries are loaded, as a
  // reopen after the stream was closed would: open and close a few in a row.
  std::vector<double> openTimes;
  for (int round = 0; round < 5; ++round) {
    const double start = NowMs();
    auto trial = device.Open();
    openTimes.push_back(NowMs() - start);
  }
  Report("stream open, libraries loaded", openTimes);
  auto stream = device.Open();
  if (!stream) {
    std::printf("floor: the bare stream did not open\n");
    return floor;
  }
  std::vector<float> loud;
  auto feedSilence = [&](double ms) {
    for (double until = NowMs() + ms; NowMs() < until;) {
      WaitForSingleObject(stream->ReadyEvent(), 100);
      if (auto room = stream->WritableFrames()) stream->Write(nullptr, *room);
    }
  };
  for (int round = 0; round < rounds; ++round) {
    feedSilence(300 + 17 * round);
    const long long searchFrom = OutputSize(outputPath);
    // The stream is kept full: the loud block goes into the room the next period frees.
    std::optional<uint32_t> room;
    while ((room = stream->WritableFrames()) && *room == 0) WaitForSingleObject(stream->ReadyEvent(), 100);
    if (!room) break;
    loud.assign(static_cast<size_t>(*room) * 2, 0.5f);
    const double start = NowMs();
    stream->Write(loud.data(), *room);
    while (NowMs() - start < kGiveUpMs) {
      WaitForSingleObject(stream->ReadyEvent(), 5);
      if (auto more = stream->WritableFrames()) stream->Write(nullptr, *more);
      if (HasSoundAfter(outputPath, searchFrom)) {
        floor.push_back(NowMs() - start);
        break;
      }
    }
  }
  return floor;
}

// The same floor through waveOut, the other output the engine could use: 16-bit
// stereo at 48 kHz, four buffers of 10 ms kept queued with silence, then a loud one.
std::vector<double> MeasureWaveOutFloor(const std::wstring& outputPath, int rounds) {
  constexpr int kBuffers = 4;
  constexpr DWORD kFrames = 480;
  std::vector<double> floor;
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 48000, 48000 * 4, 4, 16, 0};
  HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT) != 0) {
    std::printf("floor: waveOut did not open\n");
    CloseHandle(done);
    return floor;
  }
  std::vector<std::vector<short>> samples(kBuffers, std::vector<short>(kFrames * 2));
  std::vector<WAVEHDR> headers(kBuffers);
  for (int i = 0; i < kBuffers; ++i) {
    headers[i].lpData = reinterpret_cast<LPSTR>(samples[i].data());
    headers[i].dwBufferLength = kFrames * 4;
    waveOutPrepareHeader(device, &headers[i], sizeof(WAVEHDR));
    waveOutWrite(device, &headers[i], sizeof(WAVEHDR));
  }
  int next = 0;
  // Requeues every finished buffer, loud when asked; true when one was loud.
  auto requeue = [&](bool loud) {
    bool wroteLoud = false;
    while (headers[next].dwFlags & WHDR_DONE) {
      std::fill(samples[next].begin(), samples[next].end(), static_cast<short>(loud && !wroteLoud ? 16000 : 0));
      wroteLoud = wroteLoud || loud;
      waveOutWrite(device, &headers[next], sizeof(WAVEHDR));
      next = (next + 1) % kBuffers;
    }
    return wroteLoud;
  };
  for (int round = 0; round < rounds; ++round) {
    for (double until = NowMs() + 300 + 17 * round; NowMs() < until;) {
      WaitForSingleObject(done, 20);
      requeue(false);
    }
    const long long searchFrom = OutputSize(outputPath);
    while (!(headers[next].dwFlags & WHDR_DONE)) WaitForSingleObject(done, 20);
    const double start = NowMs();
    requeue(true);
    while (NowMs() - start < kGiveUpMs) {
      WaitForSingleObject(done, 5);
      requeue(false);
      if (HasSoundAfter(outputPath, searchFrom)) {
        floor.push_back(NowMs() - start);
        break;
      }
    }
  }
  waveOutReset(device);
  for (WAVEHDR& header : headers) waveOutUnprepareHeader(device, &header, sizeof(WAVEHDR));
  waveOutClose(device);
  CloseHandle(done);
  return floor;
}

// Plays every built-in clip for a moment, one after another.
void PlayAllSixty(kivora::App& app) {
  for (const kivora::CatalogueEntry& entry : kivora::Catalogue()) {
    app.Player().Open(app.Shell().dataFolder + std::wstring(entry.relativePath));
    kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
    PumpFor(150);
  }
}

void ReportBackend(const char* name, const ClickFigures& figures) {
  std::printf("--- %s\n", name);
  Report("click handler", figures.handler);
  Report("click handler, a clip playing", figures.handlerWhilePlaying);
  Report("  of which close + open", figures.openTimes);
  Report("  of which volume + play", figures.playTimes);
  if (!figures.toSound.empty()) Report("click to first non-silent sample", figures.toSound);
  if (!figures.cutOff.empty()) Report("close to silence", figures.cutOff);
  std::printf("clicks with no sound within %.0f ms: %d\n", kGiveUpMs, figures.missed);
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

  const double memoryAtStart = PrivateMegabytes();
  kivora::StartProcess();
  kivora::ui::SystemPrompts prompts;
  kivora::ShellWebOpener web;
  kivora::SystemFileChooser chooser;
  kivora::audio::MciBackend mci;
  kivora::audio::SoundEngine engine(std::make_shared<kivora::audio::WasapiOutputDevice>());
  kivora::audio::EngineBackend engineBackend(engine, mci);
  SwitchedBackend backend(engineBackend);
  kivora::ExitCleanup exitCleanup;
  // "plain" as the second argument starts the window without skin and shadow, to
  // tell the window's share of a click from the sound's.
  const bool plain = argc > 2 && std::wstring(argv[2]) == L"plain";
  kivora::App app({prompts, web, chooser, backend, {}, !plain}, exitCleanup.Texts());
  app.Start(GetModuleHandleW(nullptr));
  PumpFor(300);
  const double noStreamCpu = CpuShareWhile(3000, "window idle, no stream");
  engine.OpenStream();
  PumpFor(500);  // the engine's stream opens on its own thread
  const double memoryBeforeSound = PrivateMegabytes();
  const auto groupsBeforeSound = kivora::bench::PrivateMemoryByGroup(ProcessFolder());
  const auto heapsBeforeSound = kivora::bench::HeapBusyKilobytes();

  // The engine first, before MCI has loaded its media framework into the process.
  const double idleCpu = CpuShareWhile(2000, "idle, stream open and stopped");
  for (double until = NowMs() + 8000; engine.StreamOpen() && NowMs() < until;) PumpFor(20);
  const double quietCpu = CpuShareWhile(5000, "idle, stream closed after the quiet spell");
  const ClickFigures engineFigures = MeasureClicks(app, clicks, outputPath);
  const std::vector<double> afterQuiet = ClicksAfterQuiet(app, engine, 6, outputPath);
  PlayAllSixty(app);
  const double memoryAfterFirstRound = PrivateMegabytes();
  PlayAllSixty(app);
  const double memoryWhilePlaying = PrivateMegabytes();
  const auto groupsWhilePlaying = kivora::bench::PrivateMemoryByGroup(ProcessFolder());
  app.Player().Open(app.Shell().dataFolder + std::wstring(kivora::Catalogue()[53].relativePath));  // 15 s
  kivora::audio::ApplyVolumeAndPlay(app.Player(), 100);
  const double playingCpu = CpuShareWhile(5000, "playing a 15 s clip");
  app.Player().Close();
  PumpFor(300);
  const uint64_t underrunsPlaying = engine.DeviceUnderruns(), starvedPlaying = engine.FeedStarvations();
  // A clip of a few seconds from memory, played whole, then again with its reading
  // stalled for 200 ms half-way (a drive waking up): silence the stall put into the
  // sound makes the second span longer.
  const auto few = std::ranges::find_if(kivora::Catalogue(), [](const kivora::CatalogueEntry& entry) {
    const size_t size = kivora::BodyOf(entry).size();
    return size > 60000 && size < 120000;
  });
  const auto body = kivora::BodyOf(*few);
  auto playWhole = [&](std::unique_ptr<kivora::audio::ByteSource> source) {
    const long long offset = OutputSize(outputPath);
    auto voice = engine.Prepare(std::move(source));
    if (!voice) return 0.0;
    engine.Start(voice);
    double span = -1;
    for (double until = NowMs() + 30000, steadySince = NowMs(); NowMs() < until; PumpFor(100)) {
      const double now = SoundSpanMs(outputPath, offset);
      if (now != span) span = now, steadySince = NowMs();
      if (span > 0 && NowMs() - steadySince > 1000) break;
    }
    return span;
  };
  const double wholeMs = playWhole(std::make_unique<kivora::audio::MemoryByteSource>(body));
  auto stalling = std::make_unique<kivora::testing::StallingByteSource>(body, body.size() / 2, 200);
  const auto& stall = *stalling;
  const double stalledMs = playWhole(std::move(stalling));
  const uint64_t underrunsStall = engine.DeviceUnderruns() - underrunsPlaying;
  const uint64_t starvedStall = engine.FeedStarvations() - starvedPlaying;
  const double memoryIdle = PrivateMegabytes();
  const auto groupsIdle = kivora::bench::PrivateMemoryByGroup(ProcessFolder());
  const auto heapsIdle = kivora::bench::HeapBusyKilobytes();

  // MCI alone, with the engine's stream closed so MCI has the device to itself.
  engine.ReleaseDevice();
  backend.Use(mci);
  PumpFor(300);
  const ClickFigures mciFigures = MeasureClicks(app, clicks, outputPath);
  PlayAllSixty(app);
  const double mciMemoryWhilePlaying = PrivateMegabytes();
  app.Player().Close();
  PumpFor(300);
  const double mciMemoryIdle = PrivateMegabytes();

  const std::vector<double> floor = MeasureDeviceFloor(outputPath, 12);
  const std::vector<double> waveOutFloor = MeasureWaveOutFloor(outputPath, 12);
  std::printf("(process %s)\n", ProcessFolder().c_str());

  ReportBackend("sound engine", engineFigures);
  if (!afterQuiet.empty()) Report("click after the stream closed", afterQuiet);
  ReportBackend("MCI", mciFigures);
  std::printf("--- device\n");
  if (!floor.empty()) Report("floor: bare stream, block to file", floor);
  if (!waveOutFloor.empty()) Report("same through waveOut, 4 x 10 ms", waveOutFloor);
  if (!floor.empty() && !engineFigures.toSound.empty() && !mciFigures.toSound.empty()) {
    std::printf("engine click to sound: floor %+.1f ms, %.2f x MCI's\n", Median(engineFigures.toSound) - Median(floor),
                Median(engineFigures.toSound) / Median(mciFigures.toSound));
  }
  std::printf("private memory: %.1f MB at process start, %.1f MB with the window up and the stream open\n",
              memoryAtStart, memoryBeforeSound);
  std::printf("private memory after the sixty clips once: %.1f MB; after a second round:\n", memoryAfterFirstRound);
  std::printf("private memory after all sixty clips: engine %.1f MB playing, %.1f MB idle; MCI %.1f MB playing, %.1f MB idle\n",
              memoryWhilePlaying, memoryIdle, mciMemoryWhilePlaying, mciMemoryIdle);
  kivora::bench::PrintMemoryGroups("window up, stream open, before the first sound", groupsBeforeSound);
  kivora::bench::PrintMemoryGroups("a clip playing after all sixty clips twice", groupsWhilePlaying);
  kivora::bench::PrintMemoryGroups("engine idle after all sixty clips twice", groupsIdle);
  kivora::bench::PrintHeapBusy("before the first sound", heapsBeforeSound);
  kivora::bench::PrintHeapBusy("engine idle after all sixty clips twice", heapsIdle);
  // Wine's driver hands the stream's buffer on to ALSA ahead of time, so under Wine
  // a render that finds the buffer empty is routine and not yet a gap: the spans
  // in the device file below are what tell.
  std::printf("renders that found the device's buffer empty while a voice sounded: %llu over every engine sound "
              "above; renders that found decoding behind: %llu\n",
              static_cast<unsigned long long>(underrunsPlaying), static_cast<unsigned long long>(starvedPlaying));
  std::printf("a %.0f kB clip heard for %.1f ms whole; with a 200 ms stall in reading it (%s): %.1f ms, so %.1f ms of "
              "silence put in; buffer found empty %llu times, decoding behind %llu times\n",
              body.size() / 1024.0, wholeMs, stall.Stalled() ? "stalled" : "DID NOT STALL", stalledMs,
              stalledMs - wholeMs, static_cast<unsigned long long>(underrunsStall),
              static_cast<unsigned long long>(starvedStall));
  std::printf("CPU: window idle before the stream opened %.2f %%; stream open and stopped %.2f %%; idle after the quiet "
              "spell (stream closed) %.2f %%; playing %.2f %% of one core\n",
              noStreamCpu, idleCpu, quietCpu, playingCpu);
  return 0;
}

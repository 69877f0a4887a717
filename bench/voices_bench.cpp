// Many sounds at once on the real default device: the CPU the process takes and
// the underruns while thirty-two built-in clips loop over each other, beside the
// floor of one clip looping, measured in the same run; and the time a press
// spends preparing its sound in each way a press can play one, each press on an
// engine where the sound before it has faded out whole.
//   "$WINE" build/bench/voices_bench.exe [seconds per phase, 5 unless given]
//
// Figures on the two-core Debian machine under Wine, 11 December 2026, with other
// builds running beside it (load average 1.6 to 5), CPU as % of one core:
//
//                                 floor (1 voice)   32 voices   monitor  feeder
//   each voice converted alone      2.0 - 4.2      18.4 - 21.4     8.6      8.8
//   each clip rate converted once   2.0 - 4.0       9.4 - 12.6  1.2 - 2.2  7.2 - 9.0
//
// The monitor's thread mixes thirty-two voices for about half a per cent above
// the floor. What is left is the feeder's decoding: by perf, 79 % of its time
// is in the system's MP3 codec (l3codeca.acm), about 0.2 % of a core a clip;
// under 10 % in the quietest run, above it while the machine was busy. The
// device's underruns read 250 in every 5 s phase, the floor's as the 32
// voices', before and after: the ALSA file device takes Wine's whole buffer at
// each of its ticks, so the stream is found empty whatever plays. No render
// found a voice's decoding behind.
//
// Press handler, median of 9, ms (two runs):
//   restart 1.24, 1.40   overlap 1.56, 1.73   loop 1.38, 1.43
//   level, fade in, trim 1.42, 1.21   fade out 5000 ms 1.30, 1.09
//   end trimmed by 500 ms 0.64, 0.80
//   long file (9.4 MB, every frame's header read) plain 1.00, 1.13, fade out 5000 ms 4.86, 4.17
// A fade out or a trimmed tail used to hold the press until the clip's end was
// decoded: 41.8 to 46.0 ms for the fade out of 5000 ms against 0.8 to 1.2 ms plain.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "assets/catalogue.h"
#include "audio/device/wasapi_output.h"
#include "audio/engine/sound_engine.h"
#include "process_memory.h"
#include "stopwatch.h"

namespace {

using kivora::audio::ClipShape;
using kivora::audio::SoundEngine;
using kivora::audio::SoundShaping;
using kivora::bench::NowMs;

constexpr int kVoices = 32;

const std::string& ProcessFolder() {
  static const std::string folder = kivora::bench::LinuxProcessFolder("voices_bench.exe");
  return folder;
}

struct Phase {
  double cpuShare;  // % of one core
  uint64_t underruns;
  uint64_t starvations;
};

// Plays the first count clips at once, each looping, for seconds; then stops them all.
Phase Measure(SoundEngine& engine, int count, double seconds, const char* what) {
  std::vector<std::shared_ptr<kivora::audio::Sound>> sounds;
  const SoundShaping looping{.clip = {.loop = true}, .cutsOthers = false};
  for (int i = 0; i < count; ++i) {
    auto sound = engine.Prepare(kivora::BodyOf(kivora::Catalogue()[static_cast<size_t>(i)]), looping);
    if (!sound) {
      std::printf("clip %d could not be prepared\n", i + 1);
      std::exit(1);
    }
    engine.Start(sound);
    sounds.push_back(std::move(sound));
  }
  Sleep(300);  // every voice under way before the measurement
  const auto threadsBefore = kivora::bench::CpuMsByThread(ProcessFolder());
  const double cpuBefore = kivora::bench::CpuMs(ProcessFolder()), wallBefore = NowMs();
  const uint64_t underruns = engine.DeviceUnderruns(), starved = engine.FeedStarvations();
  Sleep(static_cast<DWORD>(seconds * 1000));
  const double wall = NowMs() - wallBefore;
  const Phase phase{100.0 * (kivora::bench::CpuMs(ProcessFolder()) - cpuBefore) / wall,
                    engine.DeviceUnderruns() - underruns, engine.FeedStarvations() - starved};
  kivora::bench::PrintThreadCpu(what, threadsBefore, kivora::bench::CpuMsByThread(ProcessFolder()), wall);
  for (auto& sound : sounds) sound->Stop();
  Sleep(500);
  return phase;
}

// A custom sound's file: every built-in clip joined end to end, 4.8 MB, whose
// info frame does not cover the file, so its length is found by reading every
// frame's header. Written to the temporary folder.
std::wstring LongFile() {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"kivora-voices-long.mp3";
  std::string bytes;
  for (const auto& entry : kivora::Catalogue()) {
    const auto body = kivora::BodyOf(entry);
    bytes.append(reinterpret_cast<const char*>(body.data()), body.size());
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  std::printf("long file: %.1f MB\n", bytes.size() / 1e6);
  return path;
}

// The time Prepare and Start take on the pressing thread, median of several
// presses of the first built-in clips, or of the file at path when given.
double PressMs(SoundEngine& engine, const SoundShaping& shaping, const std::wstring& path = {}) {
  std::vector<double> times;
  for (int round = 0; round < 9; ++round) {
    const double start = NowMs();
    auto sound = path.empty() ? engine.Prepare(kivora::BodyOf(kivora::Catalogue()[static_cast<size_t>(round % 5)]), shaping)
                              : engine.Prepare(path, shaping);
    if (sound) engine.Start(sound);
    times.push_back(NowMs() - start);
    Sleep(120);
    if (!sound) continue;
    // Each press finds the engine as quiet as the others do: a stop's long fade is waited out.
    sound->Stop();
    for (int wait = 0; wait < 700 && sound->Heard(); ++wait) Sleep(10);
  }
  Sleep(300);
  return kivora::bench::Median(times);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const double seconds = argc > 1 ? _wtof(argv[1]) : 5.0;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  SoundEngine engine(std::make_shared<kivora::audio::WasapiOutputDevice>());
  engine.OpenStream();
  for (int i = 0; i < 200 && !engine.StreamOpen(); ++i) Sleep(10);
  if (!engine.StreamOpen()) {
    std::printf("no stream opened on the default device\n");
    return 1;
  }

  const Phase floor = Measure(engine, 1, seconds, "one clip looping (floor)");
  const Phase many = Measure(engine, kVoices, seconds, "32 clips looping at once");

  const double plain = PressMs(engine, {});
  const double overlap = PressMs(engine, {.clip = {}, .cutsOthers = false});
  const double loop = PressMs(engine, {.clip = {.loop = true}, .cutsOthers = false});
  const double shaped = PressMs(engine, {.clip = {.gain = 0.5f, .fadeInMs = 200, .headMs = 100, .tailMs = 100}});
  const double longFade = PressMs(engine, {.clip = {.fadeOutMs = 5000}});
  const double tail = PressMs(engine, {.clip = {.tailMs = 500}});
  const std::wstring longFile = LongFile();
  const double filePlain = PressMs(engine, {}, longFile);
  const double fileFade = PressMs(engine, {.clip = {.fadeOutMs = 5000}}, longFile);
  DeleteFileW(longFile.c_str());

  std::printf("\n%-40s %8s %10s %12s\n", "", "CPU %", "underruns", "starvations");
  std::printf("%-40s %8.2f %10llu %12llu\n", "1 voice (floor)", floor.cpuShare,
              static_cast<unsigned long long>(floor.underruns), static_cast<unsigned long long>(floor.starvations));
  std::printf("%-40s %8.2f %10llu %12llu\n", "32 voices", many.cpuShare, static_cast<unsigned long long>(many.underruns),
              static_cast<unsigned long long>(many.starvations));
  std::printf("%-40s %8.2f\n", "32 voices above the floor", many.cpuShare - floor.cpuShare);
  std::printf("\npress handler, median of 9 (Prepare + Start, ms), each on a quiet engine:\n");
  std::printf("  restart (plain)            %6.2f\n", plain);
  std::printf("  overlap                    %6.2f\n", overlap);
  std::printf("  loop                       %6.2f\n", loop);
  std::printf("  level, fade in, trim       %6.2f\n", shaped);
  std::printf("  fade out 5000 ms           %6.2f\n", longFade);
  std::printf("  end trimmed by 500 ms      %6.2f\n", tail);
  std::printf("  long file, plain           %6.2f\n", filePlain);
  std::printf("  long file, fade out 5000   %6.2f  (its length read from every frame's header)\n", fileFade);
  CoUninitialize();
  return 0;
}

// Many sounds at once on the real default device: the CPU the process takes and
// the underruns while thirty-two built-in clips loop over each other, beside the
// floor of one clip looping, measured in the same run; and the time a press
// spends preparing its sound in each way a press can play one.
//   "$WINE" build/bench/voices_bench.exe [seconds per phase, 5 unless given]
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

// The time Prepare and Start take on the pressing thread, median of several presses.
double PressMs(SoundEngine& engine, const SoundShaping& shaping) {
  std::vector<double> times;
  for (int round = 0; round < 9; ++round) {
    const double start = NowMs();
    auto sound = engine.Prepare(kivora::BodyOf(kivora::Catalogue()[static_cast<size_t>(round % 5)]), shaping);
    if (sound) engine.Start(sound);
    times.push_back(NowMs() - start);
    Sleep(120);
    if (sound) sound->Stop();
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

  std::printf("\n%-40s %8s %10s %12s\n", "", "CPU %", "underruns", "starvations");
  std::printf("%-40s %8.2f %10llu %12llu\n", "1 voice (floor)", floor.cpuShare,
              static_cast<unsigned long long>(floor.underruns), static_cast<unsigned long long>(floor.starvations));
  std::printf("%-40s %8.2f %10llu %12llu\n", "32 voices", many.cpuShare, static_cast<unsigned long long>(many.underruns),
              static_cast<unsigned long long>(many.starvations));
  std::printf("%-40s %8.2f\n", "32 voices above the floor", many.cpuShare - floor.cpuShare);
  std::printf("\npress handler, median of 9 (Prepare + Start, ms):\n");
  std::printf("  restart (plain)            %6.2f\n", plain);
  std::printf("  overlap                    %6.2f\n", overlap);
  std::printf("  loop                       %6.2f\n", loop);
  std::printf("  level, fade in, trim       %6.2f\n", shaped);
  std::printf("  fade out 5000 ms           %6.2f  (holds the last 5 s back until the clip's end is decoded)\n", longFade);
  CoUninitialize();
  return 0;
}

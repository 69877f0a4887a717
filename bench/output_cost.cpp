// What an output of the sound engine costs, in-process: a clip playing on the
// default device alone, then on it and a second device, and the second device's
// stream running with nothing playing. For each: CPU by thread, private memory by
// group, the heap blocks of 16 kB and more (a buffer larger than it needs to be
// shows by its size) and each thread's memory. Run inside a session whose ALSA
// setup lists the second device (README: Benchmarks).
//   output_cost.exe <clip.mp3> <second endpoint ID>
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "audio/device/wasapi_output.h"
#include "audio/engine/sink_policy.h"
#include "audio/engine/sound_engine.h"
#include "process_memory.h"
#include "stopwatch.h"

namespace {

const std::string& ProcessFolder() {
  static const std::string folder = kivora::bench::LinuxProcessFolder("output_cost.exe");
  return folder;
}

// The heap's busy blocks of at least 16 kB, counted by size.
void PrintLargeBlocks(const char* what) {
  std::map<size_t, int> sizes;
  kivora::bench::ForEachHeapEntry([&](const PROCESS_HEAP_ENTRY& walk) {
    if ((walk.wFlags & PROCESS_HEAP_ENTRY_BUSY) && walk.cbData >= 16 * 1024) ++sizes[walk.cbData];
  });
  std::printf("heap blocks of 16 kB and more, %s:", what);
  for (const auto& [size, count] : sizes) std::printf("  %zu x %.1f kB", static_cast<size_t>(count), size / 1024.0);
  std::printf("\n");
}

// Each thread by its name: the size of its stack, and the private pages of the
// mappings it lies in (under Wine about 1 MB a thread, whatever the stack's size).
void PrintStacks(const char* what) {
  std::vector<kivora::bench::Mapping> mappings = kivora::bench::ReadMappings(ProcessFolder());
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto getDescription = reinterpret_cast<GetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  std::printf("thread stacks, %s:\n", what);
  kivora::bench::ForEachThreadStack([&](HANDLE thread, DWORD id, uintptr_t low, uintptr_t high) {
    // Linux maps a thread's stack and what Wine keeps beside it for the thread
    // as one run: the private pages of the runs the stack lies in.
    double dirty = 0;
    for (const auto& mapping : mappings) {
      if (mapping.end > low && mapping.start < high) dirty += mapping.privateDirty;
    }
    PWSTR name = nullptr;
    if (getDescription) getDescription(thread, &name);
    std::printf("  %5lu %-28ls stack of %4.0f kB; %5.0f kB private and dirty in its mappings\n", id,
                name ? name : L"", (high - low) / 1024.0, dirty);
    if (name) LocalFree(name);
  });
}

void Snapshot(const char* what, double cpuMs) {
  const auto threadsBefore = kivora::bench::CpuMsByThread(ProcessFolder());
  const double cpuBefore = kivora::bench::CpuMs(ProcessFolder()), wallBefore = kivora::bench::NowMs();
  Sleep(static_cast<DWORD>(cpuMs));
  const double wall = kivora::bench::NowMs() - wallBefore;
  std::printf("== %s: CPU %.2f %% of one core\n", what, 100.0 * (kivora::bench::CpuMs(ProcessFolder()) - cpuBefore) / wall);
  kivora::bench::PrintThreadCpu(what, threadsBefore, kivora::bench::CpuMsByThread(ProcessFolder()), wall);
  const std::string rollup = kivora::bench::ReadLinuxFile(ProcessFolder() + "/smaps_rollup");
  std::printf("private memory: %.1f MB dirty, %.1f MB clean\n", kivora::bench::FieldValue(rollup, "Private_Dirty:") / 1024,
              kivora::bench::FieldValue(rollup, "Private_Clean:") / 1024);
  kivora::bench::PrintMemoryGroups(what, kivora::bench::PrivateMemoryByGroup(ProcessFolder()), 128);
  PrintLargeBlocks(what);
  PrintStacks(what);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: output_cost.exe <clip.mp3> <second endpoint ID>\n");
    return 2;
  }
  const std::wstring clip = argv[1], second = argv[2];
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  kivora::audio::SoundEngine engine(std::make_shared<kivora::audio::WasapiOutputDevice>());
  engine.OpenStream();
  Sleep(1000);
  const auto play = [&] {
    auto sound = engine.Prepare(clip);
    if (!sound) {
      std::fprintf(stderr, "output_cost: the clip does not play\n");
      std::exit(1);
    }
    engine.Start(sound);
    return sound;
  };
  auto sound = play();
  Sleep(1000);
  Snapshot("a clip playing on one output", 4000);
  sound->Stop();
  Sleep(500);
  engine.SetOutput(kivora::audio::kBroadcastSink, std::make_shared<kivora::audio::WasapiOutputDevice>(second), second);
  Sleep(1000);
  sound = play();
  Sleep(1000);
  Snapshot("a clip playing on two outputs", 4000);
  sound->Stop();
  CoUninitialize();
  return 0;
}

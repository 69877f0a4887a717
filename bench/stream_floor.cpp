// The least this system charges for what Kivora's outputs do: bare event-driven
// streams with no engine behind them, each on a thread of its own, as the floor
// of the CPU figures of bench/second_output_latency.sh and bench/microphone_cpu.sh,
// which measure this process from outside the same way they measure Kivora.
// Runs for the seconds given, then exits.
//   stream_floor.exe <seconds> tone [<endpoint ID>]
//       a tone on the default device, and on the device of that ID too when given
//       (a sound playing on one output, or on two)
//   stream_floor.exe <seconds> idle <endpoint ID>
//       the device's stream opened and stopped (the cable set, nothing playing)
//   stream_floor.exe <seconds> voice <capture endpoint ID> <endpoint ID>
//       the capture device's frames written to the output device as they come
//       (the microphone on the cable, nothing else playing)
// Threads: the main thread waits; each stream has a thread of its own.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "audio/device/wasapi_capture.h"
#include "audio/device/wasapi_output.h"

namespace {

using kivora::audio::CaptureStream;
using kivora::audio::OutputStream;

std::atomic<bool> quit{false};

// Frames captured and not yet written out: the capture thread appends, the output thread takes.
struct Handover {
  std::mutex mutex;
  std::vector<float> frames;
};

class IntoHandover final : public CaptureStream::Sink {
 public:
  explicit IntoHandover(Handover& handover) : handover_(handover) {}
  void Captured(std::span<const float> stereo, double) override {
    std::lock_guard lock(handover_.mutex);
    // A second at most waits: an output that stopped taking loses the oldest.
    if (handover_.frames.size() > 2 * 48000) handover_.frames.clear();
    handover_.frames.insert(handover_.frames.end(), stereo.begin(), stereo.end());
  }

 private:
  Handover& handover_;
};

std::unique_ptr<OutputStream> OpenOutput(const std::wstring& endpointId) {
  if (endpointId.empty()) return kivora::audio::WasapiOutputDevice().Open();
  return kivora::audio::WasapiOutputDevice(endpointId).Open();
}

// Fills the stream each time it asks: a tone, or what the handover holds.
void Play(std::wstring endpointId, Handover* handover) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (std::unique_ptr<OutputStream> stream = OpenOutput(endpointId)) {
    std::vector<float> block(size_t{stream->BufferFrames()} * 2);
    double phase = 0;
    const double step = 2 * std::numbers::pi * 440.0 / stream->SampleRate();
    while (!quit.load()) {
      WaitForSingleObject(stream->ReadyEvent(), 100);
      const auto writable = stream->WritableFrames();
      if (!writable) break;
      if (handover) {
        std::lock_guard lock(handover->mutex);
        const size_t taken = std::min<size_t>(handover->frames.size(), size_t{*writable} * 2);
        std::fill(std::copy_n(handover->frames.begin(), taken, block.begin()), block.begin() + size_t{*writable} * 2, 0.0f);
        handover->frames.erase(handover->frames.begin(), handover->frames.begin() + static_cast<std::ptrdiff_t>(taken));
      } else {
        for (uint32_t i = 0; i < *writable; ++i) {
          block[2 * i] = block[2 * i + 1] = static_cast<float>(0.25 * std::sin(phase));
          phase += step;
        }
      }
      if (*writable > 0 && !stream->Write(block.data(), *writable)) break;
    }
  } else {
    std::fprintf(stderr, "stream_floor: no output stream\n");
  }
  CoUninitialize();
}

void Capture(std::wstring endpointId, Handover* handover) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (std::unique_ptr<CaptureStream> stream = kivora::audio::OpenCaptureStream(endpointId)) {
    IntoHandover sink(*handover);
    while (!quit.load()) {
      WaitForSingleObject(stream->ReadyEvent(), 100);
      if (!stream->ReadPackets(sink)) break;
    }
  } else {
    std::fprintf(stderr, "stream_floor: no capture stream\n");
  }
  CoUninitialize();
}

void Idle(std::wstring endpointId) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::unique_ptr<OutputStream> stream = OpenOutput(endpointId);
  if (stream) stream->Discard();
  while (!quit.load()) Sleep(100);
  stream.reset();
  CoUninitialize();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: stream_floor.exe <seconds> tone [<endpoint ID>] | idle <endpoint ID> | voice <capture ID> <endpoint ID>\n");
    return 2;
  }
  const double seconds = _wtof(argv[1]);
  const std::wstring mode = argv[2];
  Handover handover;
  std::vector<std::thread> threads;
  if (mode == L"tone") {
    threads.emplace_back(Play, std::wstring(), nullptr);
    if (argc > 3) threads.emplace_back(Play, std::wstring(argv[3]), nullptr);
  } else if (mode == L"idle" && argc > 3) {
    threads.emplace_back(Idle, std::wstring(argv[3]));
  } else if (mode == L"voice" && argc > 4) {
    threads.emplace_back(Capture, std::wstring(argv[3]), &handover);
    threads.emplace_back(Play, std::wstring(argv[4]), &handover);
  } else {
    std::fprintf(stderr, "stream_floor: unknown mode\n");
    return 2;
  }
  Sleep(static_cast<DWORD>(seconds * 1000));
  quit.store(true);
  for (std::thread& thread : threads) thread.join();
  return 0;
}

// The floor under a click-to-first-sample figure measured from outside: a window
// titled "Audio floor" whose one button makes an always-running event-driven
// stream on the default device loud for 300 ms. The stream never stops and never
// closes, so a click on the button costs only X, Wine's input, the window's
// message, the device's buffer and the ALSA file. bench/second_output_latency.sh
// clicks it as it clicks Kivora.
// Threads: the window's thread owns the window; a device thread owns the stream.
//   audio_floor.exe
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "audio/device/wasapi_output.h"

namespace {

constexpr int kButtonId = 1;
constexpr double kLoudSeconds = 0.3;

std::atomic<bool> quit{false};
std::atomic<LONG64> loudUntil{0};  // performance counter ticks; 0: silent

LONG64 Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

LONG64 Frequency() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

void Play() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    kivora::audio::WasapiOutputDevice device;
    std::unique_ptr<kivora::audio::OutputStream> stream = device.Open();
    if (stream) {
      std::vector<float> block(size_t{stream->BufferFrames()} * 2);
      double phase = 0;
      const double step = 2 * std::numbers::pi * 440.0 / stream->SampleRate();
      while (!quit.load()) {
        WaitForSingleObject(stream->ReadyEvent(), 100);
        const auto writable = stream->WritableFrames();
        if (!writable) break;
        const bool loud = Now() < loudUntil.load();
        for (uint32_t i = 0; i < *writable; ++i) {
          const float sample = loud ? static_cast<float>(0.5 * std::sin(phase)) : 0.0f;
          phase += step;
          block[2 * i] = block[2 * i + 1] = sample;
        }
        if (*writable > 0 && !stream->Write(block.data(), *writable)) break;
      }
    }
  }
  CoUninitialize();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
        loudUntil.store(Now() + static_cast<LONG64>(kLoudSeconds * Frequency()));
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int wmain() {
  std::thread device(Play);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KivoraAudioFloor";
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&windowClass);
  // The button lies where Kivora's first sound button lies in its window (45, 114).
  HWND window = CreateWindowW(L"KivoraAudioFloor", L"Audio floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 397, 305,
                              nullptr, nullptr, windowClass.hInstance, nullptr);
  CreateWindowW(L"BUTTON", L"play", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 80, 80, 40, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), windowClass.hInstance, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  quit.store(true);
  device.join();
  return 0;
}

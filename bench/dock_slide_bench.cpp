// Edge docking: how long a full slide out and in takes against its schedule of one
// 15-pixel step per 10 ms, how free the user-interface thread stays meanwhile, and
// what the 100 ms pointer watch costs while the window sits docked and idle.
//
// Kivora's own window (397 x 305, every control), docked at the left edge, is slid
// out and back by moving the pointer (SetCursorPos). A second thread posts a stamped
// message every 2 ms to a window of the same thread; its procedure notes how late each
// one is handled, and the pump notes the longest single dispatch: both stay small when
// no step blocks the thread.
//   dock_slide_bench.exe [cycles] [idle seconds]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/process_start.h"
#include "decor/edge_docking.h"
#include "stopwatch.h"
#include "system_services.h"

namespace {

using kivora::bench::Median;
using kivora::bench::NowMs;
using kivora::bench::Quantile;
using kivora::decor::EdgeDocking;
using kivora::decor::SlideState;

constexpr int kWidth = 397;
constexpr UINT kStampMessage = WM_APP + 1;
constexpr int kStepsEachWay = 26;  // (397 - 7) / 15 rounded up, for the left edge

std::vector<double> g_inputLateness;

LRESULT CALLBACK BenchProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kStampMessage) {
    g_inputLateness.push_back(NowMs() - static_cast<double>(lParam) / 1000.0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A message-only window on the user-interface thread that receives the stamps.
HWND CreateStampWindow() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = BenchProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KivoraDockBenchStamps";
  RegisterClassExW(&windowClass);
  return CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

struct Slide {
  double milliseconds = 0;     // from the tick that started it to the last settling move
  double longestDispatch = 0;  // the longest the thread spent in one message meanwhile
};

// Moves the pointer, then runs the message loop until a slide has started and ended.
bool RunSlide(const EdgeDocking& docking, POINT pointer, Slide& slide) {
  SetCursorPos(pointer.x, pointer.y);
  double started = 0;
  const double giveUp = NowMs() + 3000;
  MSG message;
  while (NowMs() < giveUp) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      const double before = NowMs();
      TranslateMessage(&message);
      DispatchMessageW(&message);
      const double after = NowMs();
      const bool sliding = docking.Slide() != SlideState::Idle;
      if (started == 0 && sliding) started = after;
      if (started != 0) slide.longestDispatch = std::max(slide.longestDispatch, after - before);
      if (started != 0 && !sliding) {
        slide.milliseconds = after - started;
        return true;
      }
    }
  }
  return false;
}

double ProcessCpuMilliseconds() {
  FILETIME creation, exit, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  auto ms = [](FILETIME t) { return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

void PrintSpread(const char* what, const std::vector<double>& values) {
  std::printf("%-28s median %7.2f  min %7.2f  max %7.2f  (n=%zu)\n", what, Median(values),
              *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
              values.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int cycles = argc > 1 ? _wtoi(argv[1]) : 10;
  const int idleSeconds = argc > 2 ? _wtoi(argv[2]) : 10;
  kivora::StartProcess();
  kivora::bench::SystemServices services;
  kivora::App app(services.Get(), services.Shell());
  SetCursorPos(900, 600);
  if (!app.Start(GetModuleHandleW(nullptr))) {
    std::printf("the window did not open\n");
    return 1;
  }
  HWND window = app.Window().Handle();
  const EdgeDocking& docking = app.Docking();
  HWND stamps = CreateStampWindow();
  SetWindowPos(window, nullptr, 1, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (docking.Side() == kivora::decor::DockSide::None) {
    std::printf("the window did not dock\n");
    return 1;
  }

  std::atomic<bool> stamping{true};
  std::thread stamper([&] {
    while (stamping) {
      PostMessageW(stamps, kStampMessage, 0, static_cast<LPARAM>(NowMs() * 1000.0));
      Sleep(2);
    }
  });

  std::vector<double> outTimes, inTimes, dispatches;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    Slide out, in;
    if (!RunSlide(docking, {900, 600}, out) || !docking.Collapsed()) {
      std::printf("slide out %d did not finish\n", cycle);
      return 1;
    }
    if (!RunSlide(docking, {2, 400}, in) || docking.Collapsed()) {
      std::printf("slide in %d did not finish\n", cycle);
      return 1;
    }
    outTimes.push_back(out.milliseconds);
    inTimes.push_back(in.milliseconds);
    dispatches.push_back(std::max(out.longestDispatch, in.longestDispatch));
  }
  stamping = false;
  stamper.join();

  const double schedule = kStepsEachWay * static_cast<double>(kivora::decor::kSlideStepMilliseconds);
  std::printf("slide of a %d-wide window at the left edge: %d steps each way, schedule %.0f ms\n", kWidth,
              kStepsEachWay, schedule);
  PrintSpread("slide out (ms)", outTimes);
  PrintSpread("slide in (ms)", inTimes);
  std::printf("%-28s %+.1f %% out, %+.1f %% in (median against the schedule)\n", "deviation",
              100.0 * (Median(outTimes) - schedule) / schedule, 100.0 * (Median(inTimes) - schedule) / schedule);
  PrintSpread("longest dispatch (ms)", dispatches);
  std::printf("%-28s median %7.2f  p99 %7.2f  max %7.2f  (n=%zu, one every 2 ms)\n", "posted message waited (ms)",
              Median(g_inputLateness), Quantile(g_inputLateness, 0.99),
              *std::max_element(g_inputLateness.begin(), g_inputLateness.end()), g_inputLateness.size());

  // Docked, collapsed and idle: only the 100 ms watch runs.
  Slide settle;
  RunSlide(docking, {900, 600}, settle);
  const double cpuBefore = ProcessCpuMilliseconds();
  const double wallBefore = NowMs();
  SetTimer(nullptr, 0, idleSeconds * 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) break;
    DispatchMessageW(&message);
  }
  const double wall = NowMs() - wallBefore;
  const double cpu = ProcessCpuMilliseconds() - cpuBefore;
  std::printf("docked and idle for %.1f s: %.1f ms CPU, %.3f %% of one core\n", wall / 1000.0, cpu, 100.0 * cpu / wall);
  DestroyWindow(stamps);
  return 0;
}

// Times Kivora.exe from process start to its main window being visible, over
// several starts, and prints the median and the spread. The first start of a
// fresh Data folder also writes the sixty sounds, so it is reported on its own.
// With a second program (bench/bare_window.exe: a bare window of the same size
// and title), the two are started alternately in the same run and compared, both
// until the window is visible and until the window's thread answers a message.
//   startup_time.exe <path of Kivora.exe> [runs] [path of bare_window.exe]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "stopwatch.h"

namespace {

using kivora::bench::NowMs;
using kivora::bench::Quantile;

HWND g_found;

BOOL CALLBACK FindKivora(HWND hwnd, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  wchar_t title[16] = {};
  GetWindowTextW(hwnd, title, 16);
  if (owner == static_cast<DWORD>(processId) && IsWindowVisible(hwnd) && std::wstring(title) == L"Kivora") {
    g_found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct StartTimes {
  double shown = -1;  // the window is visible
  double ready = -1;  // its thread answers a message: start-up has returned
};

// Starts the program, times it until its window is visible and until the window's
// thread answers (or -1), then closes it.
StartTimes TimeStart(const std::wstring& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  double start = NowMs();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return {};
  }
  StartTimes times;
  g_found = nullptr;
  while (NowMs() - start < 60000) {
    EnumWindows(FindKivora, static_cast<LPARAM>(process.dwProcessId));
    if (g_found) {
      times.shown = NowMs() - start;
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutW(g_found, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer)) times.ready = NowMs() - start;
      break;
    }
    Sleep(1);
  }
  if (g_found) PostMessageW(g_found, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return times;
}

double TimeOneStart(const std::wstring& exe) { return TimeStart(exe).shown; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: startup_time <Kivora.exe> [runs]\n");
    return 2;
  }
  std::wstring exe = argv[1];
  int runs = argc > 2 ? _wtoi(argv[2]) : 5;

  double first = TimeOneStart(exe);
  std::printf("first start (whatever state the Data folder is in): %.0f ms\n", first);
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) times.push_back(TimeOneStart(exe));
  std::printf("later starts, %d runs:", runs);
  for (double t : times) std::printf(" %.0f", t);
  std::printf(" ms\nmedian %.0f ms, min %.0f ms, max %.0f ms\n", Quantile(times, 0.5), Quantile(times, 0),
              Quantile(times, 1));
  if (argc < 4) return 0;

  // Alternating, so both see the same state of the machine.
  const std::wstring bare = argv[3];
  std::vector<double> kivoraTimes, bareTimes, kivoraReady, bareReady;
  for (int run = 0; run < runs; ++run) {
    const StartTimes kivora = TimeStart(exe);
    const StartTimes bareStart = TimeStart(bare);
    kivoraTimes.push_back(kivora.shown);
    kivoraReady.push_back(kivora.ready);
    bareTimes.push_back(bareStart.shown);
    bareReady.push_back(bareStart.ready);
  }
  std::printf("alternating, %d runs each: Kivora median %.0f ms (min %.0f, max %.0f), bare window median %.0f ms (min %.0f, max %.0f), ratio %.2f\n",
              runs, Quantile(kivoraTimes, 0.5), Quantile(kivoraTimes, 0), Quantile(kivoraTimes, 1), Quantile(bareTimes, 0.5),
              Quantile(bareTimes, 0), Quantile(bareTimes, 1), Quantile(kivoraTimes, 0.5) / Quantile(bareTimes, 0.5));
  // Kivora shows its window before the pages out of sight are made; this is when the
  // whole start-up is over and a click is handled at once.
  std::printf("until the window's thread answers: Kivora median %.0f ms, bare window median %.0f ms, ratio %.2f\n",
              Quantile(kivoraReady, 0.5), Quantile(bareReady, 0.5), Quantile(kivoraReady, 0.5) / Quantile(bareReady, 0.5));
  return 0;
}

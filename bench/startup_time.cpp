// Times Kivora.exe from process start to its main window being visible, over
// several starts, and prints the median and the spread. The first start of a
// fresh Data folder also writes the sixty sounds, so it is reported on its own.
// Given the bare window (bench/bare_window.exe: the same title and size, nothing
// else) and the controls floor (bench/controls_floor.exe: Kivora's manifest and
// main window with every control, nothing else), the programs are started in turn
// in the same run, each once to warm up and then the given number of times, and
// compared, both until the window is visible and until the window's thread answers.
//   startup_time.exe <path of Kivora.exe> [runs] [bare_window.exe [controls_floor.exe]]
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
    std::fprintf(stderr, "usage: startup_time <Kivora.exe> [runs] [bare_window.exe [controls_floor.exe]]\n");
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

  struct Program {
    const char* name;
    std::wstring exe;
    std::vector<double> shown, ready;
  };
  std::vector<Program> programs{{"Kivora", exe, {}, {}}, {"bare window", argv[3], {}, {}}};
  if (argc > 4) programs.push_back({"controls floor", argv[4], {}, {}});
  for (size_t other = 1; other < programs.size(); ++other) TimeStart(programs[other].exe);  // its first start
  // In turn, so all see the same state of the machine; each round begins one
  // program later, so none always follows the same other one.
  for (int run = 0; run < runs; ++run) {
    for (size_t step = 0; step < programs.size(); ++step) {
      Program& program = programs[(run + step) % programs.size()];
      const StartTimes times = TimeStart(program.exe);
      program.shown.push_back(times.shown);
      program.ready.push_back(times.ready);
    }
  }
  std::printf("in turn, %d runs each (median, min, max in ms):\n", runs);
  for (const Program& program : programs) {
    std::printf("  %-15s visible %4.0f (%4.0f, %4.0f)   answers %4.0f (%4.0f, %4.0f)\n", program.name,
                Quantile(program.shown, 0.5), Quantile(program.shown, 0), Quantile(program.shown, 1),
                Quantile(program.ready, 0.5), Quantile(program.ready, 0), Quantile(program.ready, 1));
  }
  // Kivora shows its window before the pages out of sight are made; "answers" is
  // when the whole start-up is over and a click is handled at once.
  auto ratio = [&](size_t over, size_t under, const char* goal) {
    std::printf("  %s / %s: visible %.2f, answers %.2f%s\n", programs[over].name, programs[under].name,
                Quantile(programs[over].shown, 0.5) / Quantile(programs[under].shown, 0.5),
                Quantile(programs[over].ready, 0.5) / Quantile(programs[under].ready, 0.5), goal);
  };
  ratio(0, 1, "  (goal: visible within 1.40)");
  if (programs.size() > 2) {
    ratio(0, 2, "  (goal: visible within 1.15)");
    ratio(2, 1, "");
  }
  return 0;
}

// Where Kivora's start-up time goes. Each run is a fresh process of this program,
// built like Kivora.exe (the same manifest and icon), that starts Kivora as its
// entry point does and times it part by part from the moment the process was
// created: the loader, the process's preparation, the window and its controls,
// each named step of the start-up sequence, the show and first paint, and the rest.
// In turn with it, the same process makes only the main window, as the controls
// floor does (bench/controls_floor.cpp; here with the icon), timed the same way.
// The first run of each warms the system's caches and is left out; the median of
// each part over the runs is printed. (library_loads times the system libraries.)
//   startup_parts.exe [runs]       (9 when not given)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/process_start.h"
#include "app/program.h"
#include "app/shell_texts.h"
#include "stopwatch.h"

namespace {

using kivora::bench::Median;

// Milliseconds since this process was created, on the clock the system stamps
// process creation with.
double SinceProcessCreated() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  const auto ticks = [](FILETIME time) { return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime; };
  return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

// One start, on the user-interface thread: each part ends at its mark. Controls
// are counted as the window hears of them, and marked as one part ending with the
// last one made.
struct Timeline {
  std::vector<std::pair<std::string, double>> marks;
  int controls = 0;
  double lastControl = 0;
  bool shown = false, painted = false, paintEnded = false;

  void Mark(std::string part) {
    const double now = SinceProcessCreated();
    if (controls > 0) marks.emplace_back(std::to_string(controls) + " controls made", lastControl);
    controls = 0;
    marks.emplace_back(std::move(part), now);
  }
};
Timeline g_timeline;
HWND g_mainWindow;

// What the main window hears while it is made and shown.
LRESULT CALLBACK WatchMainWindow(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  wchar_t className[32] = {};
  if (code == HC_ACTION && call->message == WM_NCCREATE && GetClassNameW(call->hwnd, className, 32) &&
      std::wstring_view(className) == L"KivoraMainWindow") {
    g_mainWindow = call->hwnd;
    g_timeline.Mark("icons, window class, window until its first message");
  } else if (code == HC_ACTION && call->hwnd == g_mainWindow && g_mainWindow) {
    switch (call->message) {
      case WM_CREATE: g_timeline.Mark("window's creation messages"); break;
      case WM_PARENTNOTIFY:
        if (LOWORD(call->wParam) == WM_CREATE) {
          // The pages out of sight are made once the first paint is over.
          if (g_timeline.painted && !std::exchange(g_timeline.paintEnded, true)) g_timeline.Mark("first paint");
          ++g_timeline.controls;
          g_timeline.lastControl = SinceProcessCreated();
        }
        break;
      case WM_SHOWWINDOW:
        // The window counts as visible from here: ShowWindow sets its style next.
        if (call->wParam && !std::exchange(g_timeline.shown, true)) g_timeline.Mark("icons set, show asked (visible)");
        break;
      case WM_PAINT:
        if (g_timeline.shown && !std::exchange(g_timeline.painted, true)) g_timeline.Mark("shown: frame, activation, focus");
        break;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Kivora's start, as its entry point makes it.
bool StartKivora() {
  kivora::StartProcess();
  g_timeline.Mark("COM apartment, common controls");
  kivora::ExitCleanup exitCleanup;
  kivora::Program program(exitCleanup.Texts(), [](std::string_view step) { g_timeline.Mark(std::string(step)); });
  g_timeline.Mark("services, sound back ends, App");
  if (!program.Start(GetModuleHandleW(nullptr))) return false;
  g_timeline.Mark("engine asked to open its stream");
  program.Application().Window().Destroy();
  return true;
}

// The controls floor's start: the common controls and the main window alone.
bool StartFloor() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  g_timeline.Mark("COM apartment, common controls");  // Kivora's row; the floor has no COM
  kivora::ui::MainWindow window;
  if (!window.Create(GetModuleHandleW(nullptr))) return false;
  g_timeline.Mark("start-up returned");
  return true;
}

// One start in this process, its marks written to standard output as "<ms>\t<part>".
int TimeOneStart(bool floor) {
  g_timeline.Mark("loader, libraries, runtime start");
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchMainWindow, nullptr, GetCurrentThreadId());
  const bool started = floor ? StartFloor() : StartKivora();
  UnhookWindowsHookEx(hook);
  for (const auto& [part, at] : g_timeline.marks) std::printf("%.2f\t%s\n", at, part.c_str());
  return started ? 0 : 1;
}

// Runs this program once more as a fresh process and reads its marks.
std::vector<std::pair<std::string, double>> RunOnce(bool floor) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + std::wstring(self) + (floor ? L"\" --floor" : L"\" --kivora");
  const bool started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  std::string output;
  char buffer[4096];
  DWORD got = 0;
  while (started && ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(readEnd);
  if (!started) return {};
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::vector<std::pair<std::string, double>> marks;
  size_t line = 0;
  while (line < output.size()) {
    size_t end = output.find('\n', line);
    if (end == std::string::npos) end = output.size();
    const std::string text = output.substr(line, end - line);
    const size_t tab = text.find('\t');
    if (tab != std::string::npos) marks.emplace_back(text.substr(tab + 1), std::atof(text.c_str()));
    line = end + 1;
  }
  return marks;
}

// Each part's time and end, over the runs of one program.
struct Parts {
  std::vector<std::string> order;
  std::map<std::string, std::vector<double>> took, at;

  void Add(const std::vector<std::pair<std::string, double>>& marks) {
    double before = 0;
    for (const auto& [part, time] : marks) {
      if (!took.count(part)) order.push_back(part);
      took[part].push_back(time - before);
      at[part].push_back(time);
      before = time;
    }
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view mode = argc > 1 ? argv[1] : L"";
  if (mode == L"--kivora" || mode == L"--floor") return TimeOneStart(mode == L"--floor");
  const int runs = argc > 1 ? _wtoi(argv[1]) : 9;
  RunOnce(false);  // each warms the system's caches
  RunOnce(true);
  Parts kivora, floor;
  for (int run = 0; run < runs; ++run) {
    kivora.Add(RunOnce(false));
    floor.Add(RunOnce(true));
  }
  std::printf("start-up part by part, median of %d fresh processes each (ms)\n", runs);
  std::printf("  %-52s %14s %14s\n", "part (ends at)", "Kivora", "controls floor");
  std::printf("  %-52s %7s %6s %7s %6s\n", "", "took", "at", "took", "at");
  for (const std::string& part : kivora.order) {
    std::printf("  %-52s %7.1f %6.1f", part.c_str(), Median(kivora.took[part]), Median(kivora.at[part]));
    if (floor.took.count(part)) std::printf(" %7.1f %6.1f", Median(floor.took[part]), Median(floor.at[part]));
    std::printf("\n");
  }
  for (const std::string& part : floor.order) {
    if (!kivora.took.count(part)) {
      std::printf("  %-52s %14s %7.1f %6.1f\n", part.c_str(), "", Median(floor.took[part]), Median(floor.at[part]));
    }
  }
  return 0;
}

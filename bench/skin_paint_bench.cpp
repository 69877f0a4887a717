// Where the window's paint time goes, skinned or plain: the first show of the main
// window, a whole-window repaint, one repaint of each kind of control, and what a
// click, a hover and a focus change on a push button cost. Sound is left out (a back
// end that opens nothing), so a click here is the window's share of a click only.
// Hooks around every paint message sent on the thread count the paints and time them;
// paints that come through the event loop are timed where the loop dispatches them.
//   skin_paint_bench.exe [rounds] [plain]
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/process_start.h"
#include "assets/catalogue.h"
#include "stopwatch.h"
#include "system_services.h"
#include "ui/control_names.h"

namespace {

using kivora::bench::NowMs;
using kivora::bench::Quantile;

// A device that opens and plays nothing, at once.
class SilentBackend final : public kivora::audio::AudioBackend {
 public:
  kivora::audio::DeviceResult Open(const std::wstring&, const std::wstring&, const std::wstring&) override { return 0; }
  kivora::audio::DeviceResult Send(const std::wstring&) override { return 0; }
};

bool IsPaintMessage(UINT message) { return message == WM_PAINT || message == WM_NCPAINT || message == WM_ERASEBKGND; }

// Paint messages seen since the last Reset: how many each window got, and the time
// spent in the outermost ones (a paint may send others inside it).
struct PaintLog {
  std::map<HWND, int> paintsOf;
  int paints = 0;
  double outerMs = 0;
  std::vector<double> openedAt;  // start times of the paint messages under way
  double showStartedAt = -1;     // the main window's first WM_SHOWWINDOW
  void Reset() {
    paintsOf.clear();
    paints = 0;
    outerMs = 0;
  }
  void Opened(HWND window, UINT message) {
    if (message == WM_SHOWWINDOW && showStartedAt < 0 && GetParent(window) == nullptr) {
      wchar_t name[64]{};
      GetClassNameW(window, name, 64);
      if (std::wstring(name) == L"KivoraMainWindow") showStartedAt = NowMs();
    }
    if (!IsPaintMessage(message)) return;
    if (message == WM_PAINT) ++paintsOf[window], ++paints;
    openedAt.push_back(NowMs());
  }
  void Closed(UINT message) {
    if (!IsPaintMessage(message) || openedAt.empty()) return;
    const double took = NowMs() - openedAt.back();
    openedAt.pop_back();
    if (openedAt.empty()) outerMs += took;
  }
};

PaintLog g_log;

LRESULT CALLBACK BeforeSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    g_log.Opened(sent->hwnd, sent->message);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterSent(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) g_log.Closed(reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs the waiting messages; a dispatched WM_PAINT is logged like a sent one.
void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    g_log.Opened(message.hwnd, message.message);
    DispatchMessageW(&message);
    g_log.Closed(message.message);
  }
}

void PumpFor(double ms) {
  for (double until = NowMs() + ms; NowMs() < until;) {
    Pump();
    Sleep(5);
  }
}

void Report(const char* what, const std::vector<double>& values, const char* unit = "ms") {
  std::printf("%-40s median %6.2f %s  min %6.2f  p90 %6.2f  max %6.2f  (n=%zu)\n", what, Quantile(values, 0.5), unit,
              Quantile(values, 0), Quantile(values, 0.9), Quantile(values, 1), values.size());
}

constexpr UINT kWholeWindow = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;

// Time of `action`, run `rounds` times with the waiting messages run before each.
template <typename Action>
std::vector<double> TimeEach(int rounds, Action action) {
  std::vector<double> took;
  for (int round = 0; round < rounds; ++round) {
    Pump();
    const double start = NowMs();
    action(round);
    took.push_back(NowMs() - start);
  }
  return took;
}

struct ClickFigures {
  std::vector<double> down, up, laterPaints;
  std::vector<double> paintsDown, paintsUp, paintsLater;
};

// Presses and releases one button of the first page after another, as the mouse
// would (the release over the button), then lets the loop run what the click left.
ClickFigures MeasureClicks(kivora::App& app, int rounds) {
  ClickFigures figures;
  for (int round = 0; round < rounds; ++round) {
    HWND button = app.Window()[kivora::Catalogue()[round % 20].buttonName].Handle();
    PumpFor(30);
    g_log.Reset();
    double start = NowMs();
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    figures.down.push_back(NowMs() - start);
    figures.paintsDown.push_back(g_log.paints);
    g_log.Reset();
    start = NowMs();
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    figures.up.push_back(NowMs() - start);
    figures.paintsUp.push_back(g_log.paints);
    g_log.Reset();
    Pump();
    figures.laterPaints.push_back(g_log.outerMs);
    figures.paintsLater.push_back(g_log.paints);
  }
  return figures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 40;
  const bool plain = argc > 2 && std::wstring(argv[2]) == L"plain";
  HHOOK before = SetWindowsHookExW(WH_CALLWNDPROC, BeforeSent, nullptr, GetCurrentThreadId());
  HHOOK after = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterSent, nullptr, GetCurrentThreadId());

  kivora::StartProcess();
  kivora::bench::SystemServices system;
  SilentBackend silent;
  kivora::App app({system.prompts, system.web, system.chooser, silent, {}, !plain}, system.Shell());
  g_log.Reset();
  const double startAt = NowMs();
  app.Start(GetModuleHandleW(nullptr));
  const double shownAt = NowMs();
  const double firstShow = shownAt - g_log.showStartedAt;
  const double firstShowPaintMs = g_log.outerMs;
  const int firstShowPaints = g_log.paints;
  PumpFor(500);

  HWND window = app.Window().Handle();
  std::printf("%s window, %d rounds\n", plain ? "plain" : "skinned", rounds);
  std::printf("%-40s %6.1f ms (window made, start-up sequence run, shown, painted)\n", "start", shownAt - startAt);
  std::printf("%-40s %6.1f ms, of which %.1f ms in %d sent paint messages\n", "first show: ShowWindow + UpdateWindow",
              firstShow, firstShowPaintMs, firstShowPaints);

  Report("whole window repainted",
         TimeEach(rounds, [&](int) { RedrawWindow(window, nullptr, nullptr, kWholeWindow); }));
  g_log.Reset();
  RedrawWindow(window, nullptr, nullptr, kWholeWindow);
  std::printf("%-40s %d\n", "  WM_PAINT messages in one", g_log.paints);

  struct Control {
    const char* what;
    std::wstring_view name;
  };
  const Control controls[] = {{"  a text push button", kivora::Catalogue()[0].buttonName},
                              {"  the picture button", kivora::ui::kMuteButton},
                              {"  the check box", kivora::ui::kAlwaysOnTopBox},
                              {"  the tab strip", kivora::ui::kPageTabs},
                              {"  the slider", kivora::ui::kVolumeSlider},
                              {"  a label", kivora::ui::kVolumeCaption}};
  std::printf("one control repainted:\n");
  for (const Control& control : controls) {
    HWND handle = app.Window()[control.name].Handle();
    Report(control.what, TimeEach(rounds, [&](int) {
             RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
           }));
  }

  const ClickFigures clicks = MeasureClicks(app, rounds);
  std::printf("click on a push button, sound left out:\n");
  Report("  button down (handler)", clicks.down);
  Report("  button up (handler)", clicks.up);
  Report("  paint time the loop ran after the up", clicks.laterPaints);
  Report("  WM_PAINT sent inside the down", clicks.paintsDown, "");
  Report("  WM_PAINT sent inside the up", clicks.paintsUp, "");
  Report("  WM_PAINT the loop ran after the up", clicks.paintsLater, "");

  HWND button = app.Window()[kivora::Catalogue()[1].buttonName].Handle();
  std::printf("hover over a push button:\n");
  Report("  pointer enters, then the loop", TimeEach(rounds, [&](int) {
           SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
           Pump();
           SendMessageW(button, WM_MOUSELEAVE, 0, 0);
           Pump();
         }));
  HWND other = app.Window()[kivora::Catalogue()[2].buttonName].Handle();
  std::vector<double> focusPaints;
  Report("  focus moves between two buttons", TimeEach(rounds, [&](int round) {
           g_log.Reset();
           SetFocus(round % 2 ? button : other);
           Pump();
           focusPaints.push_back(g_log.paints);
         }));
  Report("  WM_PAINT in one focus move", focusPaints, "");

  UnhookWindowsHookEx(after);
  UnhookWindowsHookEx(before);
  return 0;
}

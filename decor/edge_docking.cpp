#include "decor/edge_docking.h"

#include <algorithm>
#include <utility>

#include "base/dpi.h"
#include "base/window_procedure_guard.h"

namespace kivora::decor {
namespace {

// The object behind a docked window, found in O(1) by the procedure and the timers.
constexpr wchar_t kInstanceProperty[] = L"Kivora.EdgeDocking";
// A watch tick slides the window once its condition held for this many ticks.
constexpr int kTicksBeforeSlide = 1;
// A late slide timer catches up at most this many steps at once: enough to keep the
// 10 ms schedule on a system timer that fires every 15.6 ms, too few for a busy
// thread to finish a slide before a watch tick could reverse it.
constexpr long long kMostStepsPerTick = 2;
constexpr UINT kFlagsForMove = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kFlagsForZOrder = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto& desktop = *reinterpret_cast<Desktop*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return TRUE;
  const DockRect rect{info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
  if (info.dwFlags & MONITORINFOF_PRIMARY) {
    desktop.monitors.insert(desktop.monitors.begin(), rect);
  } else {
    desktop.monitors.push_back(rect);
  }
  return TRUE;
}

long long PerformanceCount() {
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return count.QuadPart;
}

long long CountsPerStep() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart * kSlideStepMilliseconds / 1000;
}

}  // namespace

Desktop SystemDesktop() {
  Desktop desktop;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&desktop));
  if (desktop.monitors.empty()) {
    desktop.monitors.push_back({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  }
  return desktop;
}

EdgeDocking::EdgeDocking(DesktopSource desktop) : desktop_(std::move(desktop)) {}

EdgeDocking::~EdgeDocking() { Uninstall(); }

void EdgeDocking::Install(HWND window) {
  if (hwnd_ || !window) return;
  hwnd_ = window;
  dpi_ = WindowDpi(window);
  metrics_ = DockMetricsAt(dpi_);
  SetPropW(hwnd_, kInstanceProperty, this);
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EdgeDocking::Procedure)));
}

void EdgeDocking::Uninstall() {
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  StopWatchTimer();
  StopSlideTimer();
  RemovePropW(hwnd_, kInstanceProperty);
  slide_ = SlideState::Idle;
  side_ = DockSide::None;
  collapsed_ = false;
  tickCounter_ = 0;
  hwnd_ = nullptr;
}

EdgeDocking* EdgeDocking::From(HWND hwnd) { return static_cast<EdgeDocking*>(GetPropW(hwnd, kInstanceProperty)); }

LRESULT CALLBACK EdgeDocking::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  EdgeDocking* self = From(hwnd);
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Kept before passing on: the window's own teardown uninstalls docking on WM_DESTROY.
  const WNDPROC previous = self->previous_;
  const UINT passed = static_cast<UINT>(
      GuardWindowProcedure([&] { return static_cast<LRESULT>(self->BeforePassingOn(message, wParam, lParam)); },
                               [&] { return static_cast<LRESULT>(message); }));
  const LRESULT result = CallWindowProcW(previous, hwnd, passed, wParam, lParam);
  // A window destroyed without the teardown still leaves no timer or property behind.
  if (message == WM_NCDESTROY && From(hwnd) == self) self->Uninstall();
  return result;
}

UINT EdgeDocking::BeforePassingOn(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool docked = side_ != DockSide::None;
  const bool idle = slide_ == SlideState::Idle;
  switch (message) {
    case WM_MOVING:
      KeepDragOnDesktop(*reinterpret_cast<RECT*>(lParam));
      if (docked) Undock();
      break;
    case WM_GETMINMAXINFO:
      if (idle) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {ScaleToDpi(kMinimumTrackWidth, dpi_),
                                                                 ScaleToDpi(kMinimumTrackHeight, dpi_)};
      }
      break;
    case WM_DPICHANGED:
      // Before the window takes its new size. The DPI comes from wParam:
      // GetDpiForWindow may still give the old one.
      dpi_ = LOWORD(wParam);
      metrics_ = DockMetricsAt(dpi_);
      break;
    case WM_SIZING:
      if (docked) Undock();
      break;
    case WM_SIZE:
    case WM_EXITSIZEMOVE: EvaluateDocking(); break;
    case WM_MOVE:
      if (idle) EvaluateDocking();
      break;
    case WM_NCLBUTTONDOWN:
      // Borders and title-bar buttons of a hidden or moving window do nothing; the caption still drags.
      if (docked && (collapsed_ || !idle) && wParam != HTCAPTION) return WM_NULL;
      break;
    case WM_SYSCOMMAND:
      if ((collapsed_ || !idle) && wParam == SC_SIZE) return WM_NULL;
      break;
  }
  return message;
}

void EdgeDocking::KeepDragOnDesktop(RECT& proposed) {
  const DockRect current = WindowRect();
  const DockRect kept = KeepOnDesktop({proposed.left, proposed.top, proposed.right, proposed.bottom}, current.Width(),
                                      current.Height(), desktop_());
  proposed = {kept.left, kept.top, kept.right, kept.bottom};
}

void EdgeDocking::Undock() {
  side_ = DockSide::None;
  slide_ = SlideState::Idle;
}

void EdgeDocking::EvaluateDocking() {
  // A minimised window sits far off the desktop; docking it would drag its icon on screen.
  if (IsIconic(hwnd_)) return;
  const DockPlacement placement = decor::EvaluateDocking(WindowRect(), desktop_());
  side_ = placement.side;
  monitor_ = placement.monitor;
  if (placement.side != DockSide::None) {
    MoveTo(placement.window);
    EnsureWatchTimer();
  } else {
    StopWatchTimer();
  }
  if (collapsed_) collapsed_ = IsCollapsedAt(WindowRect(), monitor_, metrics_);
}

void EdgeDocking::EnsureWatchTimer() {
  if (watchTimer_ == 0) watchTimer_ = SetTimer(hwnd_, kWatchTimerId, kWatchPeriodMilliseconds, OnWatchTimer);
}

void EdgeDocking::StopWatchTimer() {
  if (watchTimer_ == 0) return;
  KillTimer(hwnd_, kWatchTimerId);
  watchTimer_ = 0;
}

void CALLBACK EdgeDocking::OnWatchTimer(HWND hwnd, UINT, UINT_PTR, DWORD) noexcept {
  if (EdgeDocking* self = From(hwnd)) {
    GuardWindowProcedure([&] { self->WatchTick(); return LRESULT{0}; }, [] { return LRESULT{0}; });
  }
}

void CALLBACK EdgeDocking::OnSlideTimer(HWND hwnd, UINT, UINT_PTR, DWORD) noexcept {
  if (EdgeDocking* self = From(hwnd)) {
    GuardWindowProcedure([&] { self->SlideTick(); return LRESULT{0}; }, [] { return LRESULT{0}; });
  }
}

// Every 100 ms while docked: slide out once the pointer has left the window, slide
// in once it touches the strip, and reverse a slide the pointer went against.
void EdgeDocking::WatchTick() {
  POINT cursor{};
  if (IsIconic(hwnd_) || !GetCursorPos(&cursor)) return;
  const bool inside = PointerInside({cursor.x, cursor.y}, WindowRect());
  if (!inside) {
    if (slide_ == SlideState::Showing) {
      slide_ = SlideState::Idle;
      if (side_ != DockSide::None) StartSlide(SlideDirection::Out, 1);
    }
    if (collapsed_) {
      tickCounter_ = 0;
    } else {
      tickCounter_ = side_ == DockSide::None ? 0 : tickCounter_ + 1;
      if (tickCounter_ >= kTicksBeforeSlide) {
        tickCounter_ = 0;
        if (slide_ != SlideState::Hiding) StartSlide(SlideDirection::Out, 0);
      }
    }
    return;
  }
  if (collapsed_) {
    if (++tickCounter_ >= kTicksBeforeSlide) {
      tickCounter_ = 0;
      if (slide_ != SlideState::Showing && side_ != DockSide::None) StartSlide(SlideDirection::In, 0);
    }
  } else {
    tickCounter_ = 0;
  }
  if (slide_ == SlideState::Hiding) {
    slide_ = SlideState::Idle;
    if (side_ != DockSide::None) StartSlide(SlideDirection::In, 1);
  }
}

// Starts a slide from where the window is now; a slide already running in the other
// direction is replaced and ends where it stands. pausesFirst delays the first step
// by that many step periods.
void EdgeDocking::StartSlide(SlideDirection direction, int pausesFirst) {
  slide_ = direction == SlideDirection::Out ? SlideState::Hiding : SlideState::Showing;
  if (direction == SlideDirection::In) {
    collapsed_ = false;
    SetTopmost(true);
    SetTopmost(false);
  }
  run_ = {side_, direction, SlideCoordinate(side_, WindowRect()), 0, PerformanceCount() + pausesFirst * CountsPerStep()};
  if (pausesFirst == 0 && !NextSlidePosition(run_.side, direction, run_.position, WindowRect(), monitor_, metrics_)) {
    FinishSlide();
    return;
  }
  if (!slideTimerRunning_) {
    slideTimerRunning_ = SetTimer(hwnd_, kSlideTimerId, kSlideStepMilliseconds, OnSlideTimer) != 0;
  }
  // Without its timer the slide could never end: take it to its end at once.
  if (!slideTimerRunning_) FinishSlide();
}

// Takes the steps whose time has come (one per 10 ms since the slide began), so a
// late timer message does not stretch the slide; see kMostStepsPerTick.
void EdgeDocking::SlideTick() {
  const SlideState own = run_.direction == SlideDirection::Out ? SlideState::Hiding : SlideState::Showing;
  if (slide_ != own || side_ == DockSide::None) {
    StopSlideTimer();  // reversed or undocked: the window stays where it is
    return;
  }
  const long long elapsed = PerformanceCount() - run_.startCount;
  if (elapsed < 0) return;
  const long long due = std::min(elapsed / CountsPerStep(), run_.stepsTaken + kMostStepsPerTick);
  auto next = NextSlidePosition(run_.side, run_.direction, run_.position, WindowRect(), monitor_, metrics_);
  while (next && run_.stepsTaken < due) {
    run_.position = *next;
    ++run_.stepsTaken;
    MoveWhileSliding(run_.position);
    next = NextSlidePosition(run_.side, run_.direction, run_.position, WindowRect(), monitor_, metrics_);
  }
  if (!next) FinishSlide();
}

void EdgeDocking::FinishSlide() {
  StopSlideTimer();
  MoveWhileSliding(SlideEndPosition(run_.side, run_.direction, WindowRect(), monitor_, metrics_));
  if (run_.direction == SlideDirection::Out) collapsed_ = true;
  slide_ = SlideState::Idle;
  if (run_.direction == SlideDirection::In) SetForegroundWindow(hwnd_);
  RaiseToTopmost();
}

void EdgeDocking::StopSlideTimer() {
  if (!slideTimerRunning_) return;
  KillTimer(hwnd_, kSlideTimerId);
  slideTimerRunning_ = false;
}

// After every slide the window is topmost, whatever the always-on-top box says.
void EdgeDocking::RaiseToTopmost() {
  SetTopmost(true);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, kFlagsForZOrder);
  SetTopmost(true);
}

void EdgeDocking::SetTopmost(bool topmost) {
  SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kFlagsForZOrder);
}

DockRect EdgeDocking::WindowRect() const {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

void EdgeDocking::MoveTo(DockRect rect) {
  if (rect == WindowRect()) return;
  SetWindowPos(hwnd_, nullptr, rect.left, rect.top, 0, 0, kFlagsForMove);
}

// Wine keeps no pixels for the part of a window that is off the screen, yet counts
// them valid when the window moves back: the band each step brings onto the screen is
// redrawn, or it (and the controls in it) would stay black.
void EdgeDocking::MoveWhileSliding(int position) {
  const DockRect before = WindowRect();
  MoveTo(PlacedAt(run_.side, position, before));
  const DockRect after = WindowRect();
  const DockRect band = NewlyOnScreen(before, after, VirtualScreen(desktop_()));
  if (band.Width() <= 0 || band.Height() <= 0) return;
  POINT clientOrigin{0, 0};
  ClientToScreen(hwnd_, &clientOrigin);
  const int dx = after.left - clientOrigin.x, dy = after.top - clientOrigin.y;
  const RECT inClient{band.left + dx, band.top + dy, band.right + dx, band.bottom + dy};
  RedrawWindow(hwnd_, &inClient, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace kivora::decor

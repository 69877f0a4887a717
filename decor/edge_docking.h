// Edge docking with auto-hide: a window procedure placed in front of the main
// window's, a watch timer that follows the mouse pointer, and two slides.
//
// Dragged closer than 2 pixels to the left, top or right edge of its monitor (or
// past it), the window snaps flush and docks. While docked it slides off the monitor
// as soon as the pointer leaves it, leaving a 5-pixel strip, and slides back when the
// pointer touches that strip. A drag keeps the window on the desktop and the window
// cannot be tracked smaller than 188 x 250.
//
// Slides are driven by a 10 ms timer, one step per due period, so the user-interface
// thread goes back to its message loop between steps: input, painting and the watch
// ticks that reverse a slide all run in the one ordinary event loop.
#pragma once

#include <windows.h>

#include <functional>

#include "decor/dock_geometry.h"

namespace kivora::decor {

enum class SlideState { Idle = 0, Hiding = 1, Showing = 2 };

inline constexpr UINT_PTR kWatchTimerId = 1036;
inline constexpr UINT kWatchPeriodMilliseconds = 100;
inline constexpr UINT_PTR kSlideTimerId = 1037;
inline constexpr UINT kSlideStepMilliseconds = 10;

// The monitors of the running system, the primary one first.
Desktop SystemDesktop();

class EdgeDocking {
 public:
  using DesktopSource = std::function<Desktop()>;
  explicit EdgeDocking(DesktopSource desktop = SystemDesktop);
  ~EdgeDocking();
  EdgeDocking(const EdgeDocking&) = delete;
  EdgeDocking& operator=(const EdgeDocking&) = delete;

  // Puts the docking procedure in front of whatever procedure the window has now.
  void Install(HWND window);
  // Puts back exactly the procedure Install replaced, stops both timers and any slide.
  void Uninstall();

  bool Installed() const { return hwnd_ != nullptr; }
  DockSide Side() const { return side_; }
  SlideState Slide() const { return slide_; }
  bool Collapsed() const { return collapsed_; }
  bool WatchTimerRunning() const { return watchTimer_ != 0; }

 private:
  struct SlideRun {
    DockSide side = DockSide::None;
    SlideDirection direction = SlideDirection::Out;
    int position = 0;
    long long stepsTaken = 0;
    long long startCount = 0;  // performance counter at which the first step period begins
  };

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  static void CALLBACK OnWatchTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time) noexcept;
  static void CALLBACK OnSlideTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time) noexcept;
  static EdgeDocking* From(HWND hwnd);

  // Acts on a message before it is passed on; returns the message to pass on.
  UINT BeforePassingOn(UINT message, WPARAM wParam, LPARAM lParam);
  void KeepDragOnDesktop(RECT& proposed);
  void Undock();
  void EvaluateDocking();
  void EnsureWatchTimer();
  void StopWatchTimer();
  void WatchTick();
  void StartSlide(SlideDirection direction, int pausesFirst);
  void SlideTick();
  void FinishSlide();
  void StopSlideTimer();
  void RaiseToTopmost();
  void SetTopmost(bool topmost);
  DockRect WindowRect() const;
  void MoveTo(DockRect rect);
  void MoveWhileSliding(int position);

  DesktopSource desktop_;
  HWND hwnd_ = nullptr;
  WNDPROC previous_ = nullptr;
  DockSide side_ = DockSide::None;
  DockRect monitor_{};
  int dpi_ = 96;          // the window's, as its last WM_DPICHANGED told
  DockMetrics metrics_;   // the slide's lengths at that DPI
  SlideState slide_ = SlideState::Idle;
  bool collapsed_ = false;
  UINT_PTR watchTimer_ = 0;
  int tickCounter_ = 0;
  SlideRun run_;
  bool slideTimerRunning_ = false;
};

}  // namespace kivora::decor

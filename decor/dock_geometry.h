// The arithmetic of edge docking, free of windows: rectangles and the desktop's
// monitors in, rectangles, sides and slide positions out.
//
// A desktop may have several monitors. A drag is kept inside the whole desktop (the
// bounding box of every monitor), so the window can be carried from one monitor to
// another; it docks only at an edge of its own monitor that has no other monitor
// beyond it. With one monitor both rules reduce to that monitor's rectangle.
#pragma once

#include <optional>
#include <vector>

namespace kivora::decor {

struct DockPoint {
  int x = 0;
  int y = 0;
};

struct DockRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  // The same size with its top-left corner at (left, top).
  DockRect MovedTo(int newLeft, int newTop) const { return {newLeft, newTop, newLeft + Width(), newTop + Height()}; }
  bool operator==(const DockRect&) const = default;
};

enum class DockSide { None = 0, Left = 1, Top = 2, Right = 3 };
enum class SlideDirection { Out, In };

// The monitors' rectangles, the primary one first.
struct Desktop {
  std::vector<DockRect> monitors;
};

inline constexpr int kSnapDistance = 2;     // closer than this to an edge snaps flush
inline constexpr int kSlideStep = 15;       // pixels per slide step
inline constexpr int kVisibleStrip = 5;     // what a collapsed window leaves on the monitor
inline constexpr int kSlideLoopBound = 7;   // slides step until this close, then settle
inline constexpr int kMinimumTrackWidth = 188;
inline constexpr int kMinimumTrackHeight = 250;

// The slide's lengths at a display's DPI: the constants above are at 96 DPI. The snap
// distance stays as it is, a pixel tolerance of the drag and not a length on screen.
struct DockMetrics {
  int slideStep = kSlideStep;
  int visibleStrip = kVisibleStrip;
  int slideLoopBound = kSlideLoopBound;
};
DockMetrics DockMetricsAt(int dpi);

// The bounding box of every monitor; empty for a desktop without monitors.
DockRect VirtualScreen(const Desktop& desktop);

// The rectangle a drag proposes, kept on the desktop: an edge closer than the snap
// distance to the desktop's left, top or right edge, or past it, is put on it, and the
// bottom never passes the desktop's bottom. The right rule runs after the left one, so
// a window wider than the desktop ends flush right. width and height are the window's.
DockRect KeepOnDesktop(DockRect proposed, int width, int height, const Desktop& desktop);

// The monitor a window belongs to: the one it overlaps most (the first on a tie), or,
// overlapping none, the nearest. nullopt only for a desktop without monitors.
std::optional<DockRect> MonitorOf(DockRect window, const Desktop& desktop);

// Which edges of the monitor have no other monitor beyond them along the window's
// span: a smaller neighbour beside part of an edge leaves the rest of it free.
struct FreeEdges {
  bool left = false;
  bool top = false;
  bool right = false;
};
FreeEdges FreeEdgesOf(DockRect monitor, DockRect window, const Desktop& desktop);

struct DockPlacement {
  DockSide side = DockSide::None;
  DockRect window;   // where the window goes: flush with its edge, or unchanged
  DockRect monitor;  // the monitor it docks on
};

// Docks at the first free edge of the window's monitor (top, then left, then right)
// that the window is closer to than the snap distance, or past.
DockPlacement EvaluateDocking(DockRect window, const Desktop& desktop);

// Whether the window sits where a finished slide out leaves it on this monitor.
bool IsCollapsedAt(DockRect window, DockRect monitor, const DockMetrics& metrics = {});

// Outside is left of left, right of right, above top or below bottom: a pointer
// exactly on the right or bottom edge counts as inside.
bool PointerInside(DockPoint pointer, DockRect window);

// The slid coordinate (left for the left and right sides, top for the top): a slide
// takes steps while NextSlidePosition gives one, then settles at SlideEndPosition.
int SlideCoordinate(DockSide side, DockRect window);
std::optional<int> NextSlidePosition(DockSide side, SlideDirection direction, int position, DockRect window,
                                     DockRect monitor, const DockMetrics& metrics = {});
int SlideEndPosition(DockSide side, SlideDirection direction, DockRect window, DockRect monitor,
                     const DockMetrics& metrics = {});
// The window moved so that its slid coordinate is position.
DockRect PlacedAt(DockSide side, int position, DockRect window);

// The part of a window, in window coordinates (0,0 its top-left corner), that a move
// from before to after brings onto the screen: empty when nothing new shows, and the
// whole visible part when the change is not a band along one side.
DockRect NewlyOnScreen(DockRect before, DockRect after, DockRect screen);

}  // namespace kivora::decor

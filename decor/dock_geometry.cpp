#include "decor/dock_geometry.h"

#include <algorithm>
#include <cstdint>

namespace kivora::decor {
namespace {

std::int64_t OverlapArea(DockRect a, DockRect b) {
  const std::int64_t width = std::min(a.right, b.right) - std::max(a.left, b.left);
  const std::int64_t height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  return width > 0 && height > 0 ? width * height : 0;
}

std::int64_t SquaredGap(DockRect a, DockRect b) {
  const std::int64_t dx = std::max({b.left - a.right, a.left - b.right, 0});
  const std::int64_t dy = std::max({b.top - a.bottom, a.top - b.bottom, 0});
  return dx * dx + dy * dy;
}

// The part of the window on the screen, in window coordinates; empty when none is.
DockRect VisiblePart(DockRect window, DockRect screen) {
  const DockRect on{std::max(window.left, screen.left), std::max(window.top, screen.top),
                    std::min(window.right, screen.right), std::min(window.bottom, screen.bottom)};
  if (on.left >= on.right || on.top >= on.bottom) return {};
  return {on.left - window.left, on.top - window.top, on.right - window.left, on.bottom - window.top};
}

bool IsEmpty(DockRect rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

bool RowsOverlap(DockRect a, DockRect b) { return a.top < b.bottom && b.top < a.bottom; }
bool ColumnsOverlap(DockRect a, DockRect b) { return a.left < b.right && b.left < a.right; }

}  // namespace

DockRect VirtualScreen(const Desktop& desktop) {
  if (desktop.monitors.empty()) return {};
  DockRect box = desktop.monitors.front();
  for (const DockRect& monitor : desktop.monitors) {
    box.left = std::min(box.left, monitor.left);
    box.top = std::min(box.top, monitor.top);
    box.right = std::max(box.right, monitor.right);
    box.bottom = std::max(box.bottom, monitor.bottom);
  }
  return box;
}

DockRect KeepOnDesktop(DockRect proposed, int width, int height, const Desktop& desktop) {
  if (desktop.monitors.empty()) return proposed;
  const DockRect screen = VirtualScreen(desktop);
  DockRect rect = proposed;
  if (rect.left < screen.left + kSnapDistance) {
    rect.left = screen.left;
    rect.right = screen.left + width;
  }
  if (rect.top < screen.top + kSnapDistance) {
    rect.top = screen.top;
    rect.bottom = screen.top + height;
  }
  if (rect.right > screen.right - kSnapDistance) {
    rect.left = screen.right - width;
    rect.right = screen.right;
  }
  if (rect.bottom > screen.bottom) {
    rect.top = screen.bottom - height;
    rect.bottom = screen.bottom;
  }
  return rect;
}

std::optional<DockRect> MonitorOf(DockRect window, const Desktop& desktop) {
  if (desktop.monitors.empty()) return std::nullopt;
  const DockRect* best = &desktop.monitors.front();
  std::int64_t bestArea = OverlapArea(window, *best);
  for (const DockRect& monitor : desktop.monitors) {
    if (std::int64_t area = OverlapArea(window, monitor); area > bestArea) {
      best = &monitor;
      bestArea = area;
    }
  }
  if (bestArea > 0) return *best;
  for (const DockRect& monitor : desktop.monitors) {
    if (SquaredGap(window, monitor) < SquaredGap(window, *best)) best = &monitor;
  }
  return *best;
}

FreeEdges FreeEdgesOf(DockRect monitor, DockRect window, const Desktop& desktop) {
  FreeEdges free{true, true, true};
  for (const DockRect& other : desktop.monitors) {
    if (other == monitor) continue;
    if (other.right <= monitor.left && RowsOverlap(other, window)) free.left = false;
    if (other.bottom <= monitor.top && ColumnsOverlap(other, window)) free.top = false;
    if (other.left >= monitor.right && RowsOverlap(other, window)) free.right = false;
  }
  return free;
}

DockPlacement EvaluateDocking(DockRect window, const Desktop& desktop) {
  const std::optional<DockRect> monitor = MonitorOf(window, desktop);
  if (!monitor) return {DockSide::None, window, {}};
  const DockRect m = *monitor;
  const FreeEdges free = FreeEdgesOf(m, window, desktop);
  if (free.top && window.top < m.top + kSnapDistance) return {DockSide::Top, window.MovedTo(window.left, m.top), m};
  if (free.left && window.left < m.left + kSnapDistance) return {DockSide::Left, window.MovedTo(m.left, window.top), m};
  if (free.right && window.left > m.right - window.Width() - kSnapDistance) {
    return {DockSide::Right, window.MovedTo(m.right - window.Width(), window.top), m};
  }
  return {DockSide::None, window, m};
}

DockMetrics DockMetricsAt(int dpi) {
  // MulDiv's rounding, written out: this file builds without Windows headers.
  const auto scale = [dpi](int pixels) { return static_cast<int>((pixels * 2LL * dpi + 96) / (2 * 96)); };
  return {scale(kSlideStep), scale(kVisibleStrip), scale(kSlideLoopBound)};
}

bool IsCollapsedAt(DockRect window, DockRect monitor, const DockMetrics& metrics) {
  const int strip = metrics.visibleStrip;
  return window.top == monitor.top + strip - window.Height() || window.left == monitor.left + strip - window.Width() ||
         window.left == monitor.right - strip;
}

bool PointerInside(DockPoint pointer, DockRect window) {
  return !(pointer.x < window.left || pointer.x > window.right || pointer.y < window.top || pointer.y > window.bottom);
}

int SlideCoordinate(DockSide side, DockRect window) { return side == DockSide::Top ? window.top : window.left; }

std::optional<int> NextSlidePosition(DockSide side, SlideDirection direction, int position, DockRect window,
                                     DockRect monitor, const DockMetrics& metrics) {
  const bool out = direction == SlideDirection::Out;
  const int step = metrics.slideStep, bound = metrics.slideLoopBound;
  switch (side) {
    case DockSide::Left:
      if (out && position > monitor.left + bound - window.Width()) return position - step;
      if (!out && position < monitor.left - bound) return position + step;
      break;
    case DockSide::Top:
      if (out && position > monitor.top + bound - window.Height()) return position - step;
      if (!out && position < monitor.top - bound) return position + step;
      break;
    case DockSide::Right:
      if (out && position < monitor.right - bound) return position + step;
      if (!out && position > monitor.right - window.Width() + bound) return position - step;
      break;
    case DockSide::None: break;
  }
  return std::nullopt;
}

int SlideEndPosition(DockSide side, SlideDirection direction, DockRect window, DockRect monitor,
                     const DockMetrics& metrics) {
  const bool out = direction == SlideDirection::Out;
  const int strip = metrics.visibleStrip;
  switch (side) {
    case DockSide::Left: return out ? monitor.left + strip - window.Width() : monitor.left;
    case DockSide::Top: return out ? monitor.top + strip - window.Height() : monitor.top;
    case DockSide::Right: return out ? monitor.right - strip : monitor.right - window.Width();
    case DockSide::None: break;
  }
  return SlideCoordinate(side, window);
}

DockRect PlacedAt(DockSide side, int position, DockRect window) {
  return side == DockSide::Top ? window.MovedTo(window.left, position) : window.MovedTo(position, window.top);
}

DockRect NewlyOnScreen(DockRect before, DockRect after, DockRect screen) {
  const DockRect now = VisiblePart(after, screen);
  const DockRect was = VisiblePart(before, screen);
  if (IsEmpty(now) || IsEmpty(was)) return now;
  const bool sameRows = was.top <= now.top && was.bottom >= now.bottom;
  const bool sameColumns = was.left <= now.left && was.right >= now.right;
  if (sameRows && sameColumns) return {};
  if (sameRows && now.left < was.left && now.right <= was.right) return {now.left, now.top, was.left, now.bottom};
  if (sameRows && now.right > was.right && now.left >= was.left) return {was.right, now.top, now.right, now.bottom};
  if (sameColumns && now.top < was.top && now.bottom <= was.bottom) return {now.left, now.top, now.right, was.top};
  if (sameColumns && now.bottom > was.bottom && now.top >= was.top) return {now.left, was.bottom, now.right, now.bottom};
  return now;
}

}  // namespace kivora::decor

// Docking arithmetic on tables of monitor layouts: the drag rectangle kept on the
// desktop, where a window docks, and the positions a slide passes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decor/dock_geometry.h"

namespace kivora::decor {
namespace {

constexpr int kWidth = 397;
constexpr int kHeight = 305;

DockRect WindowAt(int left, int top, int width = kWidth, int height = kHeight) {
  return {left, top, left + width, top + height};
}

// One 1280 x 800 monitor; two side by side (the second smaller); a second one left of
// the primary; a narrower one above the primary's left part.
const Desktop kSingle{{{0, 0, 1280, 800}}};
const Desktop kSideBySide{{{0, 0, 1280, 800}, {1280, 0, 2304, 768}}};
const Desktop kSecondOnTheLeft{{{0, 0, 1280, 800}, {-1024, 0, 0, 768}}};
const Desktop kSecondAbove{{{0, 0, 1280, 800}, {0, -768, 1024, 0}}};

std::string Describe(DockRect rect) {
  return "{" + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
         std::to_string(rect.bottom) + "}";
}

TEST(DockGeometry, DragRectangleStaysOnTheDesktop) {
  struct Case {
    const char* what;
    const Desktop* desktop;
    DockRect proposed;
    DockRect kept;
    int width = kWidth;
  };
  const Case cases[] = {
      {"inside stays", &kSingle, WindowAt(100, 100), WindowAt(100, 100)},
      {"left at 1 snaps to 0", &kSingle, WindowAt(1, 100), WindowAt(0, 100)},
      {"left at 2 stays", &kSingle, WindowAt(2, 100), WindowAt(2, 100)},
      {"past the left edge comes back", &kSingle, WindowAt(-60, 100), WindowAt(0, 100)},
      {"top at 1 snaps to 0", &kSingle, WindowAt(100, 1), WindowAt(100, 0)},
      {"past the top-left corner", &kSingle, WindowAt(-5, -5), WindowAt(0, 0)},
      {"right within 2 snaps flush", &kSingle, WindowAt(882, 100), WindowAt(883, 100)},
      {"right 2 away stays", &kSingle, WindowAt(881, 100), WindowAt(881, 100)},
      {"below the bottom comes up", &kSingle, WindowAt(100, 600), WindowAt(100, 495)},
      {"bottom exactly on the edge stays", &kSingle, WindowAt(100, 495), WindowAt(100, 495)},
      {"wider than the screen ends flush right", &kSingle, WindowAt(-10, 100, 1400), WindowAt(-120, 100, 1400), 1400},
      {"onto the second monitor", &kSideBySide, WindowAt(1500, 100), WindowAt(1500, 100)},
      {"across the seam between monitors", &kSideBySide, WindowAt(1100, 100), WindowAt(1100, 100)},
      {"the far right edge of the desktop", &kSideBySide, WindowAt(1910, 100), WindowAt(1907, 100)},
      {"the lowest bottom of the desktop", &kSideBySide, WindowAt(1500, 600), WindowAt(1500, 495)},
      {"onto a monitor left of the primary", &kSecondOnTheLeft, WindowAt(-700, 100), WindowAt(-700, 100)},
      {"the desktop's left edge is negative", &kSecondOnTheLeft, WindowAt(-1030, 100), WindowAt(-1024, 100)},
      {"onto a monitor above the primary", &kSecondAbove, WindowAt(100, -400), WindowAt(100, -400)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeepOnDesktop(c.proposed, c.width, kHeight, *c.desktop), c.kept)
        << c.what << ": got " << Describe(KeepOnDesktop(c.proposed, c.width, kHeight, *c.desktop));
  }
}

TEST(DockGeometry, DocksAtAFreeEdgeOfItsOwnMonitor) {
  struct Case {
    const char* what;
    const Desktop* desktop;
    DockRect window;
    DockSide side;
    DockRect placed;
  };
  const Case cases[] = {
      {"middle of the screen", &kSingle, WindowAt(400, 300), DockSide::None, WindowAt(400, 300)},
      {"top within 2", &kSingle, WindowAt(400, 1), DockSide::Top, WindowAt(400, 0)},
      {"top 2 away", &kSingle, WindowAt(400, 2), DockSide::None, WindowAt(400, 2)},
      {"past the top", &kSingle, WindowAt(400, -40), DockSide::Top, WindowAt(400, 0)},
      {"left within 2", &kSingle, WindowAt(1, 300), DockSide::Left, WindowAt(0, 300)},
      {"past the left", &kSingle, WindowAt(-100, 300), DockSide::Left, WindowAt(0, 300)},
      {"right within 2", &kSingle, WindowAt(882, 300), DockSide::Right, WindowAt(883, 300)},
      {"right 2 away", &kSingle, WindowAt(881, 300), DockSide::None, WindowAt(881, 300)},
      {"past the right", &kSingle, WindowAt(1000, 300), DockSide::Right, WindowAt(883, 300)},
      {"top-left corner: top wins", &kSingle, WindowAt(0, 0), DockSide::Top, WindowAt(0, 0)},
      {"top-right corner: top wins", &kSingle, WindowAt(883, 0), DockSide::Top, WindowAt(883, 0)},
      {"primary's right faces the second", &kSideBySide, WindowAt(883, 300), DockSide::None, WindowAt(883, 300)},
      {"second's left faces the primary", &kSideBySide, WindowAt(1281, 300), DockSide::None, WindowAt(1281, 300)},
      {"second's free right edge", &kSideBySide, WindowAt(1906, 300), DockSide::Right, WindowAt(1907, 300)},
      {"second's free top edge", &kSideBySide, WindowAt(1500, 1), DockSide::Top, WindowAt(1500, 0)},
      {"mostly on the second", &kSideBySide, WindowAt(1200, 1), DockSide::Top, WindowAt(1200, 0)},
      {"primary's left faces the left monitor", &kSecondOnTheLeft, WindowAt(1, 300), DockSide::None,
       WindowAt(1, 300)},
      {"left monitor's own left edge", &kSecondOnTheLeft, WindowAt(-1023, 300), DockSide::Left,
       WindowAt(-1024, 300)},
      {"primary's top under the monitor above", &kSecondAbove, WindowAt(400, 0), DockSide::None, WindowAt(400, 0)},
      {"primary's top beside the monitor above", &kSecondAbove, WindowAt(1030, 1), DockSide::Top, WindowAt(1030, 0)},
      {"top of the monitor above", &kSecondAbove, WindowAt(400, -767), DockSide::Top, WindowAt(400, -768)},
  };
  for (const Case& c : cases) {
    const DockPlacement placement = EvaluateDocking(c.window, *c.desktop);
    EXPECT_EQ(placement.side, c.side) << c.what;
    EXPECT_EQ(placement.window, c.placed) << c.what << ": got " << Describe(placement.window);
  }
  EXPECT_EQ(EvaluateDocking(WindowAt(1906, 300), kSideBySide).monitor, kSideBySide.monitors[1]);
  EXPECT_EQ(EvaluateDocking(WindowAt(1, 1), Desktop{}).side, DockSide::None);
}

TEST(DockGeometry, WindowBelongsToTheMonitorItOverlapsMostOrTheNearest) {
  EXPECT_EQ(MonitorOf(WindowAt(1000, 100), kSideBySide), kSideBySide.monitors[0]);
  EXPECT_EQ(MonitorOf(WindowAt(1150, 100), kSideBySide), kSideBySide.monitors[1]);
  // Collapsed at the right of the second monitor: 5 pixels overlap it.
  EXPECT_EQ(MonitorOf(WindowAt(2299, 100), kSideBySide), kSideBySide.monitors[1]);
  // Entirely off the desktop, below the second monitor's lower bottom.
  EXPECT_EQ(MonitorOf(WindowAt(2000, 790), kSideBySide), kSideBySide.monitors[1]);
  EXPECT_EQ(MonitorOf(WindowAt(-900, 100), kSingle), kSingle.monitors[0]);
}

TEST(DockGeometry, PointerOnTheRightOrBottomEdgeIsInside) {
  const DockRect window = WindowAt(100, 100);
  struct Case {
    DockPoint pointer;
    bool inside;
  };
  const Case cases[] = {{{100, 100}, true}, {{497, 405}, true}, {{300, 200}, true},  {{99, 200}, false},
                        {{498, 200}, false}, {{300, 99}, false}, {{300, 406}, false}};
  for (const Case& c : cases) EXPECT_EQ(PointerInside(c.pointer, window), c.inside) << c.pointer.x << "," << c.pointer.y;
}

struct SlideRun {
  std::vector<int> steps;
  int end;
};

SlideRun RunSlide(DockSide side, SlideDirection direction, DockRect window, DockRect monitor,
                  const DockMetrics& metrics = {}) {
  SlideRun run{{}, 0};
  int position = SlideCoordinate(side, window);
  while (auto next = NextSlidePosition(side, direction, position, PlacedAt(side, position, window), monitor, metrics)) {
    position = *next;
    run.steps.push_back(position);
  }
  run.end = SlideEndPosition(side, direction, PlacedAt(side, position, window), monitor, metrics);
  return run;
}

TEST(DockGeometry, TheSlidesLengthsScaleWithTheDpiRoundedToNearest) {
  struct Case {
    int dpi;
    DockMetrics metrics;
  };
  const Case cases[] = {{96, {15, 5, 7}}, {120, {19, 6, 9}}, {144, {23, 8, 11}}, {192, {30, 10, 14}}};
  for (const Case& c : cases) {
    const DockMetrics got = DockMetricsAt(c.dpi);
    EXPECT_EQ(got.slideStep, c.metrics.slideStep) << c.dpi;
    EXPECT_EQ(got.visibleStrip, c.metrics.visibleStrip) << c.dpi;
    EXPECT_EQ(got.slideLoopBound, c.metrics.slideLoopBound) << c.dpi;
  }
}

// The 794-pixel window of 200 % steps 30 at a time and leaves a 10-pixel strip,
// which only the metrics of its DPI recognise as collapsed.
TEST(DockGeometry, AtTwiceTheDpiASlideStepsThirtyAndLeavesATenPixelStrip) {
  const DockRect monitor = kSingle.monitors[0];
  const DockMetrics metrics = DockMetricsAt(192);
  const DockRect window = WindowAt(0, 100, 794);
  const SlideRun out = RunSlide(DockSide::Left, SlideDirection::Out, window, monitor, metrics);
  ASSERT_EQ(out.steps.size(), 26u);
  EXPECT_EQ(out.steps.front(), -30);
  EXPECT_EQ(out.end, -784);
  EXPECT_TRUE(IsCollapsedAt(PlacedAt(DockSide::Left, out.end, window), monitor, metrics));
  EXPECT_FALSE(IsCollapsedAt(PlacedAt(DockSide::Left, out.end, window), monitor));
  const SlideRun in = RunSlide(DockSide::Left, SlideDirection::In, PlacedAt(DockSide::Left, out.end, window), monitor,
                               metrics);
  EXPECT_EQ(in.end, 0);
}

TEST(DockGeometry, SlidesStepFifteenAndSettleAtTheStripOrFlush) {
  struct Case {
    const char* what;
    DockSide side;
    SlideDirection direction;
    DockRect window;
    DockRect monitor;
    size_t steps;
    int lastStep;
    int end;
  };
  const DockRect primary = kSingle.monitors[0];
  const DockRect second = kSideBySide.monitors[1];
  const Case cases[] = {
      {"300 wide out at the left", DockSide::Left, SlideDirection::Out, WindowAt(0, 100, 300), primary, 20, -300, -295},
      {"300 wide in at the left", DockSide::Left, SlideDirection::In, WindowAt(-295, 100, 300), primary, 20, 5, 0},
      {"out at the left", DockSide::Left, SlideDirection::Out, WindowAt(0, 100), primary, 26, -390, -392},
      {"in at the left", DockSide::Left, SlideDirection::In, WindowAt(-392, 100), primary, 26, -2, 0},
      {"out at the top", DockSide::Top, SlideDirection::Out, WindowAt(400, 0), primary, 20, -300, -300},
      {"in at the top", DockSide::Top, SlideDirection::In, WindowAt(400, -300), primary, 20, 0, 0},
      {"out at the right", DockSide::Right, SlideDirection::Out, WindowAt(883, 100), primary, 26, 1273, 1275},
      {"in at the right", DockSide::Right, SlideDirection::In, WindowAt(1275, 100), primary, 26, 885, 883},
      {"out at the second's right", DockSide::Right, SlideDirection::Out, WindowAt(1907, 100), second, 26, 2297,
       2299},
      {"already collapsed takes no step", DockSide::Left, SlideDirection::Out, WindowAt(-392, 100), primary, 0, 0,
       -392},
  };
  for (const Case& c : cases) {
    const SlideRun run = RunSlide(c.side, c.direction, c.window, c.monitor);
    ASSERT_EQ(run.steps.size(), c.steps) << c.what;
    if (c.steps > 0) {
      EXPECT_EQ(run.steps.back(), c.lastStep) << c.what;
    }
    EXPECT_EQ(run.end, c.end) << c.what;
    if (c.direction == SlideDirection::Out) {
      EXPECT_TRUE(IsCollapsedAt(PlacedAt(c.side, run.end, c.window), c.monitor)) << c.what;
    } else {
      EXPECT_FALSE(IsCollapsedAt(PlacedAt(c.side, run.end, c.window), c.monitor)) << c.what;
    }
  }
  // The 300-wide example passes -10 and +5 on its way in.
  const SlideRun in = RunSlide(DockSide::Left, SlideDirection::In, WindowAt(-295, 100, 300), primary);
  EXPECT_EQ(in.steps[in.steps.size() - 2], -10);
}

// What a slide step brings back onto the screen has to be drawn again.
TEST(DockGeometry, NewlyOnScreenIsTheBandAStepUncovers) {
  struct Case {
    const char* what;
    DockRect before;
    DockRect after;
    DockRect band;
  };
  const DockRect screen = kSingle.monitors[0];
  const Case cases[] = {
      {"in at the left", WindowAt(-392, 250), WindowAt(-377, 250), {377, 0, 392, kHeight}},
      {"in at the top", WindowAt(400, -300), WindowAt(400, -285), {0, 285, kWidth, 300}},
      {"in at the right", WindowAt(1275, 250), WindowAt(1260, 250), {5, 0, 20, kHeight}},
      {"out at the left uncovers nothing", WindowAt(-377, 250), WindowAt(-392, 250), {}},
      {"a move on the screen uncovers nothing", WindowAt(100, 100), WindowAt(115, 100), {}},
      {"from wholly off the screen", WindowAt(-500, 250), WindowAt(-385, 250), {385, 0, kWidth, kHeight}},
      {"off the screen both times", WindowAt(-900, 250), WindowAt(-800, 250), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NewlyOnScreen(c.before, c.after, screen), c.band)
        << c.what << ": got " << Describe(NewlyOnScreen(c.before, c.after, screen));
  }
}

}  // namespace
}  // namespace kivora::decor

// Edge docking on a real window: the docking procedure stands in front of a recording
// procedure, so each test sees what reaches the procedure behind it. Watch ticks and
// slides run on real timers and read the real pointer, moved with SetCursorPos.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <vector>

#include "decor/edge_docking.h"
#include "support/app_fixture.h"

namespace kivora::decor {
namespace {

constexpr int kWidth = 397;
constexpr int kHeight = 305;
constexpr wchar_t kClassName[] = L"KivoraDockingTestWindow";

// What the procedure behind docking received.
struct Received {
  std::vector<UINT> messages;
  int lowestLeft = INT_MAX;
  int highestLeft = INT_MIN;
  std::function<void()> onMove;  // runs inside the move, before the next message
};

// Stands in for the procedures behind docking (the shadow's, the window's own). It
// answers the messages that would start a modal move or size loop without starting one.
LRESULT CALLBACK RecordingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto* received = reinterpret_cast<Received*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
    received->messages.push_back(message);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    if (message == WM_MOVE) {
      received->lowestLeft = std::min<int>(received->lowestLeft, rect.left);
      received->highestLeft = std::max<int>(received->highestLeft, rect.left);
      if (received->onMove) received->onMove();
    }
  }
  if (message == WM_NCLBUTTONDOWN || message == WM_SYSCOMMAND) return 0;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

const POINT kPointerAway{640, 780};

class TestWindow {
 public:
  explicit TestWindow(EdgeDocking::DesktopSource desktop = SystemDesktop, int width = kWidth)
      : docking(std::move(desktop)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    hwnd = CreateWindowExW(0, kClassName, L"docking test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           400, 300, width, kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SetCursorPos(kPointerAway.x, kPointerAway.y);
    docking.Install(hwnd);
  }
  ~TestWindow() {
    docking.Uninstall();
    DestroyWindow(hwnd);
  }

  RECT Rect() const {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect;
  }
  void MoveTo(int left, int top) { SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); }
  bool Topmost() const { return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
  // The last message that reached the procedure behind docking after sending this one.
  UINT Passed(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    received.messages.clear();
    SendMessageW(hwnd, message, wParam, lParam);
    return received.messages.empty() ? UINT_MAX : received.messages.back();
  }

  // Runs the message loop until done() holds or the time is up.
  static bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 3000) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      testing::AppFixture::Pump();
      if (done()) return true;
    }
    return false;
  }
  bool SlideDone(bool collapsed) const {
    return docking.Slide() == SlideState::Idle && docking.Collapsed() == collapsed;
  }

  Received received;
  EdgeDocking docking;
  HWND hwnd = nullptr;
};

TEST(EdgeDocking, StandsInFrontOfTheProcedureItReplacedAndPutsItBack) {
  TestWindow window;
  EXPECT_NE(GetWindowLongPtrW(window.hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProcedure));
  EXPECT_EQ(window.Passed(WM_USER + 7, 0), static_cast<UINT>(WM_USER + 7));

  window.MoveTo(1, 200);
  ASSERT_EQ(window.docking.Side(), DockSide::Left);
  ASSERT_TRUE(window.docking.WatchTimerRunning());
  window.docking.Uninstall();

  EXPECT_EQ(GetWindowLongPtrW(window.hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProcedure));
  EXPECT_FALSE(KillTimer(window.hwnd, kWatchTimerId)) << "the watch timer still runs";
  EXPECT_FALSE(KillTimer(window.hwnd, kSlideTimerId)) << "the slide timer still runs";
  window.MoveTo(1, 200);
  EXPECT_EQ(window.Rect().left, 1) << "an uninstalled docking still snapped the window";
  window.received.messages.clear();
  SetCursorPos(kPointerAway.x, kPointerAway.y);
  TestWindow::PumpUntil([] { return false; }, 300);
  EXPECT_EQ(window.Rect().left, 1) << "a tick slid the window after the uninstall";
}

TEST(EdgeDocking, DragRectangleIsKeptOnTheDesktop) {
  const Desktop sideBySide{{{0, 0, 1280, 800}, {1280, 0, 2304, 768}}};
  struct Case {
    const char* what;
    Desktop desktop;
    int width;
    RECT proposed;
    RECT kept;
  };
  const Case cases[] = {
      {"snaps to the left edge", {}, kWidth, {1, 100, 1 + kWidth, 100 + kHeight}, {0, 100, kWidth, 100 + kHeight}},
      {"snaps to the top edge", {}, kWidth, {300, 1, 300 + kWidth, 1 + kHeight}, {300, 0, 300 + kWidth, kHeight}},
      {"below the bottom comes up", {}, kWidth, {300, 600, 300 + kWidth, 600 + kHeight}, {300, 495, 300 + kWidth, 800}},
      {"wider than the screen ends flush right", {}, 1290, {-5, 100, 1285, 100 + kHeight}, {-10, 100, 1280, 100 + kHeight}},
      {"onto a second monitor", sideBySide, kWidth, {1500, 100, 1500 + kWidth, 100 + kHeight},
       {1500, 100, 1500 + kWidth, 100 + kHeight}},
  };
  for (const Case& c : cases) {
    const Desktop desktop = c.desktop.monitors.empty() ? Desktop{{{0, 0, 1280, 800}}} : c.desktop;
    TestWindow window([desktop] { return desktop; }, c.width);
    ASSERT_EQ(window.Rect().right - window.Rect().left, c.width) << c.what;
    RECT rect = c.proposed;
    SendMessageW(window.hwnd, WM_MOVING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&rect));
    EXPECT_TRUE(EqualRect(&rect, &c.kept)) << c.what << ": got " << rect.left << "," << rect.top << "," << rect.right
                                           << "," << rect.bottom;
  }
}

// Xvfb cannot show Wine two monitors side by side, so the desktop is given: a second
// monitor right of the 1280 x 800 one. Each step is what Wine's move loop does.
TEST(EdgeDocking, CarriedOntoASecondMonitorItStaysThereAndDocksAtItsFarEdge) {
  const Desktop sideBySide{{{0, 0, 1280, 800}, {1280, 0, 2304, 768}}};
  TestWindow window([sideBySide] { return sideBySide; });
  auto dragStep = [&](int left, int top) {
    RECT rect{left, top, left + kWidth, top + kHeight};
    SendMessageW(window.hwnd, WM_MOVING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&rect));
    window.MoveTo(rect.left, rect.top);
  };
  for (int left = 400; left <= 1500; left += 100) dragStep(left, 300);
  SendMessageW(window.hwnd, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(window.Rect().left, 1500);
  EXPECT_EQ(window.docking.Side(), DockSide::None);
  EXPECT_FALSE(window.docking.WatchTimerRunning());

  dragStep(2000, 300);
  SendMessageW(window.hwnd, WM_EXITSIZEMOVE, 0, 0);
  EXPECT_EQ(window.Rect().left, 2304 - kWidth);
  EXPECT_EQ(window.docking.Side(), DockSide::Right);
}

TEST(EdgeDocking, DocksAtEachEdgeAndStopsWatchingAwayFromThem) {
  struct Case {
    const char* what;
    POINT movedTo;
    DockSide side;
    POINT placed;
  };
  const int flushRight = ScreenWidth() - kWidth;
  const Case cases[] = {
      {"left", {1, 250}, DockSide::Left, {0, 250}},
      {"top", {400, 1}, DockSide::Top, {400, 0}},
      {"right", {flushRight - 1, 250}, DockSide::Right, {flushRight, 250}},
      {"none", {400, 250}, DockSide::None, {400, 250}},
  };
  for (const Case& c : cases) {
    TestWindow window;
    window.MoveTo(c.movedTo.x, c.movedTo.y);
    EXPECT_EQ(window.docking.Side(), c.side) << c.what;
    EXPECT_EQ(window.Rect().left, c.placed.x) << c.what;
    EXPECT_EQ(window.Rect().top, c.placed.y) << c.what;
    EXPECT_EQ(window.docking.WatchTimerRunning(), c.side != DockSide::None) << c.what;
    // The first move that leaves every edge by more than 2 pixels stops the watch.
    window.MoveTo(500, 300);
    EXPECT_EQ(window.docking.Side(), DockSide::None) << c.what;
    EXPECT_FALSE(window.docking.WatchTimerRunning()) << c.what;
  }
}

TEST(EdgeDocking, DragStepUndocksAndMinimumTrackingSizeHoldsWhileIdle) {
  TestWindow window;
  window.MoveTo(1, 250);
  ASSERT_EQ(window.docking.Side(), DockSide::Left);
  RECT rect = window.Rect();
  SendMessageW(window.hwnd, WM_MOVING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&rect));
  EXPECT_EQ(window.docking.Side(), DockSide::None);
  window.MoveTo(1, 250);
  ASSERT_EQ(window.docking.Side(), DockSide::Left);
  rect = window.Rect();
  SendMessageW(window.hwnd, WM_SIZING, WMSZ_RIGHT, reinterpret_cast<LPARAM>(&rect));
  EXPECT_EQ(window.docking.Side(), DockSide::None);

  MINMAXINFO limits{};
  SendMessageW(window.hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, kMinimumTrackWidth);
  EXPECT_EQ(limits.ptMinTrackSize.y, kMinimumTrackHeight);
}

TEST(EdgeDocking, PointerSlidesTheWindowOutAndBackAtEveryEdge) {
  struct Case {
    const char* what;
    POINT dockAt;
    int collapsedLeft;
    int collapsedTop;
    POINT strip;
    POINT expanded;
  };
  const int sw = ScreenWidth();
  const Case cases[] = {
      {"left", {1, 250}, 5 - kWidth, 250, {2, 400}, {0, 250}},
      {"top", {400, 1}, 400, 5 - kHeight, {600, 2}, {400, 0}},
      {"right", {sw - kWidth - 1, 250}, sw - 5, 250, {sw - 2, 400}, {sw - kWidth, 250}},
  };
  for (const Case& c : cases) {
    TestWindow window;
    window.MoveTo(c.dockAt.x, c.dockAt.y);
    ASSERT_NE(window.docking.Side(), DockSide::None) << c.what;

    SetCursorPos(kPointerAway.x, kPointerAway.y);
    ASSERT_TRUE(TestWindow::PumpUntil([&] { return window.SlideDone(true); })) << c.what << ": did not slide out";
    EXPECT_EQ(window.Rect().left, c.collapsedLeft) << c.what;
    EXPECT_EQ(window.Rect().top, c.collapsedTop) << c.what;
    EXPECT_TRUE(window.Topmost()) << c.what;

    SetCursorPos(c.strip.x, c.strip.y);
    ASSERT_TRUE(TestWindow::PumpUntil([&] { return window.SlideDone(false); })) << c.what << ": did not slide in";
    EXPECT_EQ(window.Rect().left, c.expanded.x) << c.what;
    EXPECT_EQ(window.Rect().top, c.expanded.y) << c.what;
    EXPECT_EQ(GetForegroundWindow(), window.hwnd) << c.what;
    EXPECT_TRUE(window.Topmost()) << c.what;
    SetCursorPos(kPointerAway.x, kPointerAway.y);
  }
}

// The pointer crosses over at the slide's first step, from inside that step, so the
// next watch tick finds it on the other side however busy the machine is.
TEST(EdgeDocking, PointerGoingAgainstASlideReversesIt) {
  const POINT strip{2, 400};
  {
    TestWindow window;
    window.MoveTo(1, 250);
    window.received.onMove = [&] {
      if (window.docking.Slide() != SlideState::Hiding) return;
      SetCursorPos(strip.x, strip.y);
      window.received.onMove = nullptr;
    };
    SetCursorPos(kPointerAway.x, kPointerAway.y);
    ASSERT_TRUE(TestWindow::PumpUntil(
        [&] { return window.received.lowestLeft < 0 && window.SlideDone(false) && window.Rect().left == 0; }));
    EXPECT_GT(window.received.lowestLeft, 5 - kWidth) << "the slide out ran to its end before coming back";
    EXPECT_EQ(window.docking.Side(), DockSide::Left);
    // It stays out while the pointer is on it.
    TestWindow::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(window.Rect().left, 0);
  }
  {
    TestWindow window;
    window.MoveTo(1, 250);
    ASSERT_TRUE(TestWindow::PumpUntil([&] { return window.SlideDone(true); }));
    window.received.highestLeft = INT_MIN;
    window.received.onMove = [&] {
      if (window.docking.Slide() != SlideState::Showing) return;
      SetCursorPos(kPointerAway.x, kPointerAway.y);
      window.received.onMove = nullptr;
    };
    SetCursorPos(strip.x, strip.y);
    ASSERT_TRUE(TestWindow::PumpUntil([&] { return window.SlideDone(true) && window.received.highestLeft > 5 - kWidth; }));
    EXPECT_LT(window.received.highestLeft, 0) << "the slide in ran to its end before going back";
    EXPECT_EQ(window.Rect().left, 5 - kWidth);
  }
}

TEST(EdgeDocking, CollapsedWindowCannotBeResizedButCanBeDragged) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM wParam;
    bool blockedWhenCollapsed;
  };
  const Case cases[] = {
      {"right border", WM_NCLBUTTONDOWN, HTRIGHT, true},
      {"bottom-right corner", WM_NCLBUTTONDOWN, HTBOTTOMRIGHT, true},
      {"close box", WM_NCLBUTTONDOWN, HTCLOSE, true},
      {"caption", WM_NCLBUTTONDOWN, HTCAPTION, false},
      {"Size from the system menu", WM_SYSCOMMAND, SC_SIZE, true},
      {"Move from the system menu", WM_SYSCOMMAND, SC_MOVE, false},
  };
  TestWindow window;
  window.MoveTo(1, 250);
  for (const Case& c : cases) EXPECT_EQ(window.Passed(c.message, c.wParam), c.message) << "expanded: " << c.what;

  SetCursorPos(kPointerAway.x, kPointerAway.y);
  ASSERT_TRUE(TestWindow::PumpUntil([&] { return window.SlideDone(true); }));
  for (const Case& c : cases) {
    EXPECT_EQ(window.Passed(c.message, c.wParam), c.blockedWhenCollapsed ? static_cast<UINT>(WM_NULL) : c.message)
        << "collapsed: " << c.what;
  }
}

TEST(EdgeDocking, MinimisingNeitherDocksNorMovesTheWindow) {
  TestWindow window;
  window.MoveTo(500, 300);
  ShowWindow(window.hwnd, SW_MINIMIZE);
  TestWindow::PumpUntil([] { return false; }, 400);
  EXPECT_EQ(window.docking.Side(), DockSide::None);
  ShowWindow(window.hwnd, SW_RESTORE);
  TestWindow::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(window.Rect().left, 500);
  EXPECT_EQ(window.Rect().top, 300);
  EXPECT_EQ(window.docking.Side(), DockSide::None);
}

TEST(EdgeDocking, TheProgramDocksFromStartUpAndUndocksInItsTeardown) {
  testing::AppFixture fixture;
  EdgeDocking& docking = fixture.app().Docking();
  ASSERT_TRUE(docking.Installed());
  EXPECT_NE(GetWindowLongPtrW(fixture.hwnd(), GWLP_WNDPROC), GetClassLongPtrW(fixture.hwnd(), GCLP_WNDPROC));
  SetWindowPos(fixture.hwnd(), nullptr, 1, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(docking.Side(), DockSide::Left);
  EXPECT_TRUE(docking.WatchTimerRunning());
  fixture.window().Destroy();
  testing::AppFixture::Pump();
  EXPECT_FALSE(docking.Installed());
}

}  // namespace
}  // namespace kivora::decor

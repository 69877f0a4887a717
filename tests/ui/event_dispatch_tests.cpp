// Every kind of event reaches the handler bound to it, in the order users rely on,
// and nothing fires for a property set by program.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/app_fixture.h"
#include "ui/tray_icon.h"

namespace kivora {
namespace {

using testing::AppFixture;

// Binds recorders to a control's events; each event appends its name to the log.
void Record(ui::Control& control, std::vector<std::wstring>& log) {
  ui::ControlEvents& events = control.Events();
  events.clicked = [&log] { log.push_back(L"clicked"); };
  events.doubleClicked = [&log] { log.push_back(L"double-click"); };
  events.leftPressed = [&log] { log.push_back(L"left"); };
  events.rightPressed = [&log] { log.push_back(L"right"); };
  events.changed = [&log] { log.push_back(L"changed"); };
}

using Log = std::vector<std::wstring>;

TEST(EventDispatch, ButtonClickDoubleClickAndRightPress) {
  AppFixture fixture;
  Log log;
  Record(fixture.control(L"按钮63"), log);

  fixture.Click(L"按钮63");
  EXPECT_EQ(log, (Log{L"left", L"clicked"}));

  log.clear();
  fixture.DoubleClick(L"按钮63");
  // The second press of a double-click is the double-click, not another click.
  EXPECT_EQ(log, (Log{L"left", L"clicked", L"double-click"}));

  log.clear();
  fixture.RightPress(L"按钮63");
  EXPECT_EQ(log, (Log{L"right"}));

  log.clear();
  fixture.Click(L"按钮63");
  EXPECT_EQ(log, (Log{L"left", L"clicked"})) << "a click after a double-click counts again";
}

TEST(EventDispatch, DoubleClickWhoseHandlerOutlastsThePressDropsTheSecondPress) {
  AppFixture fixture;
  Log log;
  ui::Control& slot = fixture.control(L"按钮1");
  Record(slot, log);
  HWND button = slot.Handle();
  SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageW(button, WM_LBUTTONUP, 0, 0);
  // The mouse button is up by the time the handler returns, as after a modal dialog.
  SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  AppFixture::Pump();
  EXPECT_EQ(log, (Log{L"left", L"clicked", L"double-click"}));
  EXPECT_EQ(GetCapture(), nullptr);
  log.clear();
  fixture.Click(L"按钮1");
  EXPECT_EQ(log, (Log{L"left", L"clicked"}));
}

TEST(EventDispatch, CheckBoxClickFiresAfterTheTickChanged) {
  AppFixture fixture;
  bool tickedInHandler = false;
  int clicks = 0;
  ui::CheckBox& box = fixture.window().As<ui::CheckBox>(L"选择框1");
  box.Events().clicked = [&] {
    ++clicks;
    tickedInHandler = box.Checked();
  };
  fixture.Click(L"选择框1");
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(tickedInHandler);
}

TEST(EventDispatch, TabClickFiresAfterThePageChangedButArrowKeysDoNot) {
  AppFixture fixture;
  std::vector<int> pagesSeen;
  fixture.control(L"选择夹1").Events().clicked = [&] { pagesSeen.push_back(fixture.window().CurrentPage()); };
  fixture.ClickTab(4);
  fixture.ClickTab(4);  // the current page's title fires too
  fixture.ClickTab(1);
  EXPECT_EQ(pagesSeen, (std::vector<int>{4, 4, 1}));

  HWND tab = fixture.control(L"选择夹1").Handle();
  SetFocus(tab);
  SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageW(tab, WM_KEYUP, VK_RIGHT, 0);
  AppFixture::Pump();
  EXPECT_EQ(fixture.window().CurrentPage(), 2) << "the arrow key changes the page";
  EXPECT_TRUE(IsWindowVisible(fixture.control(L"按钮23").Handle()));
  EXPECT_EQ(pagesSeen.size(), 3u) << "but fires no click";
}

TEST(EventDispatch, SliderFiresForEveryScrollCodeButTheEndOfADrag) {
  struct Case {
    WORD code;
    bool fires;
  };
  const Case cases[] = {{TB_LINEUP, true},   {TB_LINEDOWN, true}, {TB_PAGEUP, true},     {TB_PAGEDOWN, true},
                        {TB_THUMBTRACK, true}, {TB_THUMBPOSITION, true}, {TB_TOP, true}, {TB_BOTTOM, true},
                        {TB_ENDTRACK, false}};
  AppFixture fixture;
  int changes = 0;
  fixture.control(L"滑块条1").Events().changed = [&] { ++changes; };
  HWND slider = fixture.control(L"滑块条1").Handle();
  for (const Case& scroll : cases) {
    int before = changes;
    SendMessageW(fixture.hwnd(), WM_HSCROLL, MAKEWPARAM(scroll.code, 0), reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(changes - before, scroll.fires ? 1 : 0) << "scroll code " << scroll.code;
  }
  // A key press on the real track bar goes the whole way: one step and its end.
  changes = 0;
  SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 0);
  AppFixture::Pump();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(fixture.window().As<ui::Slider>(L"滑块条1").TrackPosition(), 99);
}

TEST(EventDispatch, PropertiesSetByProgramFireNothing) {
  AppFixture fixture;
  Log log;
  for (const auto& control : fixture.window().Controls()) Record(*control, log);
  fixture.control(L"按钮1").SetCaption(L"x");
  fixture.window().As<ui::Slider>(L"滑块条1").SetTrackPosition(37);
  fixture.window().As<ui::CheckBox>(L"选择框1").SetChecked(true);
  fixture.control(L"标签2").SetCaption(L"37%");
  SendMessageW(fixture.control(L"选择夹1").Handle(), TCM_SETCURSEL, 3, 0);
  AppFixture::Pump();
  EXPECT_TRUE(log.empty());
}

TEST(EventDispatch, NotificationAreaMessagesBecomeOperations) {
  struct Case {
    UINT mouse;
    int operation;
  };
  const Case cases[] = {{WM_LBUTTONUP, 1},   {WM_LBUTTONDBLCLK, 2}, {WM_RBUTTONUP, 3},   {WM_CONTEXTMENU, 3},
                        {WM_LBUTTONDOWN, 0}, {WM_RBUTTONDOWN, 0},   {WM_MOUSEMOVE, 0}, {WM_MBUTTONUP, 0}};
  AppFixture fixture;
  std::vector<int> operations;
  fixture.window().Events().notificationArea = [&](int operation) { operations.push_back(operation); };
  for (const Case& tray : cases) {
    operations.clear();
    SendMessageW(fixture.hwnd(), ui::kTrayCallbackMessage, 1, tray.mouse);
    EXPECT_EQ(operations, tray.operation ? std::vector<int>{tray.operation} : std::vector<int>{}) << tray.mouse;
  }
}

TEST(EventDispatch, RightPressOnTheBareWindowAndMenuChoices) {
  AppFixture fixture;
  int windowPresses = 0;
  fixture.window().Events().rightPressed = [&] { ++windowPresses; };
  SendMessageW(fixture.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 290));
  EXPECT_EQ(windowPresses, 1);

  std::vector<int> chosen;
  for (int item = 0; item < 5; ++item) {
    fixture.window().Events().menuItems[item] = [&chosen, item] { chosen.push_back(item); };
  }
  for (int item : {4, 0, -1, 2}) fixture.window().ChooseMenuItem(item);
  EXPECT_EQ(chosen, (std::vector<int>{4, 0, 2}));
}

TEST(EventDispatch, EscapeDestroysTheWindowAndTheLoopEndsWithZero) {
  AppFixture fixture;
  int destroying = 0;
  bool controlsStillThere = false;
  fixture.window().Events().destroying = [&] {
    ++destroying;
    controlsStillThere = IsWindow(fixture.control(L"滑块条1").Handle()) != FALSE;
  };
  HWND button = fixture.control(L"按钮63").Handle();
  SetFocus(button);
  PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(fixture.app().RunEventLoop(), 0);
  EXPECT_FALSE(fixture.window().Exists());
  EXPECT_EQ(destroying, 1);
  EXPECT_TRUE(controlsStillThere);
}

TEST(EventDispatch, CloseBoxDestroysTheWindowWithoutAsking) {
  AppFixture fixture;
  PostMessageW(fixture.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(fixture.app().RunEventLoop(), 0);
  EXPECT_FALSE(fixture.window().Exists());
  EXPECT_TRUE(fixture.prompts.shown.empty());
}

}  // namespace
}  // namespace kivora

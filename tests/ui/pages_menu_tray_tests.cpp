// The page switch, the pop-up menu's two placements measured on the real menu
// window, the notification-area double-click, and the exit question.
#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>


#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "ui/popup_menu.h"
#include "ui/tray_icon.h"

namespace kivora {
namespace {

using testing::AppFixture;

constexpr std::array<const wchar_t*, 5> kVolumeRow = {L"按钮21", L"按钮22", L"标签2", L"滑块条1", L"标签1"};

int HeightOf(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return rect.bottom - rect.top;
}

TEST(PageSwitch, InstructionsPageGrowsTheTabAndHidesTheVolumeRow) {
  struct Step {
    int page;
    int tabHeight;
    int labelHeight;
    bool rowShown;
  };
  const Step steps[] = {{4, 238, 208, false}, {4, 238, 208, false}, {0, 202, 172, true}, {4, 238, 208, false},
                        {3, 202, 172, true}};
  AppFixture fixture;
  for (const Step& step : steps) {
    fixture.ClickTab(step.page);
    EXPECT_EQ(HeightOf(fixture.control(L"选择夹1").Handle()), step.tabHeight) << step.page;
    EXPECT_EQ(HeightOf(fixture.control(L"标签3").Handle()), step.labelHeight) << step.page;
    for (const wchar_t* name : kVolumeRow) {
      EXPECT_EQ(IsWindowVisible(fixture.control(name).Handle()) != FALSE, step.rowShown) << name;
    }
  }
}

TEST(PageSwitch, ArrowKeysChangeThePageButNotTheSizes) {
  AppFixture fixture;
  fixture.ClickTab(3);
  HWND tab = fixture.control(L"选择夹1").Handle();
  SetFocus(tab);
  SendMessageW(tab, WM_KEYDOWN, VK_RIGHT, 0);
  AppFixture::Pump();
  ASSERT_EQ(fixture.window().CurrentPage(), 4);
  EXPECT_TRUE(IsWindowVisible(fixture.control(L"标签3").Handle()));
  EXPECT_EQ(HeightOf(tab), 202);
  EXPECT_TRUE(IsWindowVisible(fixture.control(L"滑块条1").Handle()));
}

RECT g_measuredMenu;

void CALLBACK MeasureOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (!menu || !IsWindowVisible(menu)) return;
  GetWindowRect(menu, &g_measuredMenu);
  KillTimer(nullptr, timer);
  EndMenu();
}

// Reads the open pop-up menu's rectangle from inside its modal loop, then closes it.
RECT MeasureMenu(const std::function<void()>& show) {
  g_measuredMenu = {};
  UINT_PTR timer = SetTimer(nullptr, 0, 100, MeasureOpenMenu);
  show();
  KillTimer(nullptr, timer);
  return g_measuredMenu;
}

TEST(PopupMenu, AtThePointerTheTopLeftIsThreePixelsRightAndBelow) {
  AppFixture fixture;
  SetCursorPos(300, 200);
  int chosen = 0;
  RECT menu = MeasureMenu([&] { chosen = fixture.window().Menu().ShowAtPointer(fixture.hwnd()); });
  EXPECT_EQ(menu.left, 303);
  EXPECT_EQ(menu.top, 203);
  EXPECT_EQ(chosen, -1) << "closing without a choice chooses nothing";
}

// The program's own bindings: a right press on the banner or on the bare window
// opens the menu where the pointer is.
TEST(PopupMenu, RightPressOnTheBannerOrTheBareWindowOpensItAtThePointer) {
  AppFixture fixture;
  const struct {
    const char* where;
    std::function<void()> press;
  } presses[] = {
      {"banner", [&] { fixture.RightPress(L"图片框1"); }},
      {"bare window", [&] { SendMessageW(fixture.hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 290)); }},
  };
  for (const auto& press : presses) {
    SetCursorPos(300, 200);
    RECT menu = MeasureMenu(press.press);
    EXPECT_EQ(menu.left, 303) << press.where;
    EXPECT_EQ(menu.top, 203) << press.where;
  }
}

TEST(PopupMenu, FromTheNotificationAreaTheRightEdgeIsFivePixelsLeftAndTheTopFiveAbove) {
  AppFixture fixture;
  SetCursorPos(700, 500);
  RECT menu = MeasureMenu([&] { fixture.window().Menu().ShowFromNotificationArea(fixture.hwnd()); });
  EXPECT_EQ(menu.right, 695);
  EXPECT_EQ(menu.top, 495);
}

TEST(PopupMenu, HoldsTheFiveItemsAsOneFlatList) {
  AppFixture fixture;
  HMENU menu = fixture.window().Menu().Handle();
  ASSERT_EQ(GetMenuItemCount(menu), 5);
  const std::array<const wchar_t*, 5> captions = {L"停止播放", L"清空音效", L"赞助作者", L"关于程序", L"退出程序"};
  for (int item = 0; item < 5; ++item) {
    wchar_t text[32] = {};
    GetMenuStringW(menu, item, text, 32, MF_BYPOSITION);
    EXPECT_STREQ(text, captions[item]);
    EXPECT_EQ(GetSubMenu(menu, item), nullptr);
    EXPECT_EQ(GetMenuState(menu, item, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), 0u);
  }
}

void SendTray(AppFixture& fixture, UINT mouse) {
  SendMessageW(fixture.hwnd(), ui::kTrayCallbackMessage, 1, mouse);
  AppFixture::Pump();
}

POINT Centred(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return {(GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2,
          (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2};
}

TEST(NotificationArea, DoubleClickRestoresAMinimisedWindowInTheMiddle) {
  AppFixture fixture;
  HWND hwnd = fixture.hwnd();
  SetWindowPos(hwnd, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(hwnd, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(hwnd));
  SendTray(fixture, WM_LBUTTONDBLCLK);
  EXPECT_FALSE(IsIconic(hwnd));
  EXPECT_TRUE(IsWindowVisible(hwnd));
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  POINT centre = Centred(hwnd);
  EXPECT_EQ(rect.left, centre.x);
  EXPECT_EQ(rect.top, centre.y);
  EXPECT_EQ(rect.right - rect.left, 397);
  EXPECT_EQ(rect.bottom - rect.top, 305);
}

TEST(NotificationArea, DoubleClickMovesAMovedWindowBackKeepingSizeAndActivation) {
  AppFixture fixture;
  HWND hwnd = fixture.hwnd();
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                               nullptr);
  SetActiveWindow(other);
  SetWindowPos(hwnd, nullptr, 900, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND activeBefore = GetActiveWindow();
  SendTray(fixture, WM_LBUTTONDBLCLK);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  POINT centre = Centred(hwnd);
  EXPECT_EQ(rect.left, centre.x);
  EXPECT_EQ(rect.top, centre.y);
  EXPECT_EQ(rect.right - rect.left, 397);
  EXPECT_EQ(GetActiveWindow(), activeBefore);
  DestroyWindow(other);
}

TEST(NotificationArea, SingleClickDoesNothing) {
  AppFixture fixture;
  HWND hwnd = fixture.hwnd();
  // Away from the screen edges, where the window would dock.
  SetWindowPos(hwnd, nullptr, 600, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendTray(fixture, WM_LBUTTONUP);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.left, 600);
  EXPECT_EQ(rect.top, 200);
}

std::wstring SettingsFile() { return AppFixture::SettingsFile(); }

TEST(ExitQuestion, NoKeepsTheProgramRunningAndWritesNothing) {
  DeleteFileW(SettingsFile().c_str());
  AppFixture fixture;
  fixture.prompts.answers = {IDNO};
  fixture.window().ChooseMenuItem(static_cast<int>(ui::MenuItem::ExitProgram));
  ASSERT_EQ(fixture.prompts.shown.size(), 1u);
  const testing::ShownPrompt& box = fixture.prompts.shown[0];
  EXPECT_EQ(box.text, L"是否退出？");
  EXPECT_EQ(box.caption, L"提示");
  EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO | MB_TASKMODAL));
  EXPECT_TRUE(fixture.window().Exists());
  EXPECT_EQ(GetFileAttributesW(SettingsFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ExitQuestion, YesWhilePlayingStopsTheSoundSavesTheVolumeAndEndsWithZero) {
  DeleteFileW(SettingsFile().c_str());
  AppFixture fixture;
  fixture.DragSlider(60);
  fixture.Click(L"按钮63");
  fixture.Click(L"按钮22");  // muted: the slider stays at 60
  fixture.audio.TakeCalls();
  fixture.prompts.answers = {IDYES};
  fixture.window().ChooseMenuItem(static_cast<int>(ui::MenuItem::ExitProgram));
  EXPECT_FALSE(fixture.window().Exists());
  EXPECT_EQ(fixture.app().RunEventLoop(), 0);
  EXPECT_EQ(ReadSetting(SettingsFile(), L"设置", L"音量"), L"60");
  std::vector<std::wstring> calls = fixture.audio.TakeCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_TRUE(calls.back().starts_with(L"close ")) << "the sound stops as the window goes";
}

TEST(ExitQuestion, EscapeClosesWithoutAskingAndSavesTheVolume) {
  DeleteFileW(SettingsFile().c_str());
  AppFixture fixture;
  fixture.DragSlider(37);
  HWND button = fixture.control(L"按钮63").Handle();
  SetFocus(button);
  PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(fixture.app().RunEventLoop(), 0);
  EXPECT_TRUE(fixture.prompts.shown.empty());
  EXPECT_EQ(ReadSetting(SettingsFile(), L"设置", L"音量"), L"37");
}

}  // namespace
}  // namespace kivora

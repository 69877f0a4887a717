// The live window read back control by control: rectangles, captions, visibility,
// enabled state, font and z-order, against the values the window must have.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/app_fixture.h"
#include "base/unique_handle.h"

namespace kivora {
namespace {

using testing::AppFixture;

struct ExpectedControl {
  const wchar_t* name;
  const wchar_t* windowClass;
  RECT rect;  // client coordinates of the main window
  const wchar_t* caption;
  bool enabled;
  bool tabStop;
};

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

RECT ClientRectOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void ExpectRect(const RECT& actual, const RECT& expected, const wchar_t* name) {
  EXPECT_EQ(actual.left, expected.left) << name;
  EXPECT_EQ(actual.top, expected.top) << name;
  EXPECT_EQ(actual.right, expected.right) << name;
  EXPECT_EQ(actual.bottom, expected.bottom) << name;
}

// The manifest asks for Common Controls 6. A manifest naming the wrong processor
// architecture loses it silently (the controls still work, in the old version). The
// comctl32 that the program's own import resolved to must be the side-by-side 6.0
// assembly; its path says so on Windows and under Wine alike (Wine's copy reports
// version 5 through DllGetVersion even when it is the 6.0 assembly).
TEST(WindowLayout, RunsWithCommonControls6) {
  AppFixture fixture;
  HMODULE comctl = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCWSTR>(&InitCommonControlsEx), &comctl));
  wchar_t path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
  std::wstring lower(path);
  CharLowerW(lower.data());
  EXPECT_NE(lower.find(L"microsoft.windows.common-controls_"), std::wstring::npos) << path;
  EXPECT_NE(lower.find(L"_6.0."), std::wstring::npos) << path;
}

TEST(WindowLayout, MainWindowHasTitleSizeFrameAndIsCentred) {
  AppFixture fixture;
  HWND hwnd = fixture.hwnd();
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(title, L"Kivora");

  RECT outer{};
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.right - outer.left, 397);
  EXPECT_EQ(outer.bottom - outer.top, 305);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 397) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 305) / 2);

  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_FALSE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetMenu(hwnd), nullptr);
  EXPECT_NE(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0), 0);
}

TEST(WindowLayout, ControlsOnTheWindowMatchTheirDescription) {
  const std::vector<ExpectedControl> expected = {
      {L"图片框1", L"Static", {0, 0, 390, 37}, L"", true, false},
      {L"选择夹1", L"SysTabControl32", {0, 40, 393, 242}, L"", true, false},
      {L"超级链接框2", L"Static", {286, 44, 316, 60}, L"赞助", true, false},
      {L"选择框1", L"Button", {319, 44, 389, 64}, L"总是最上", true, true},
      {L"标签1", L"Static", {6, 250, 58, 270}, L"音量控制", false, false},
      {L"滑块条1", L"msctls_trackbar32", {60, 248, 256, 272}, L"", true, true},
      {L"标签2", L"Static", {254, 250, 292, 270}, L"100%", false, false},
      {L"按钮22", L"Button", {294, 247, 320, 273}, L"", true, true},
      {L"按钮21", L"Button", {322, 247, 384, 273}, L"停止播放", true, true},
  };
  AppFixture fixture;
  for (const ExpectedControl& want : expected) {
    HWND control = fixture.control(want.name).Handle();
    EXPECT_EQ(GetParent(control), fixture.hwnd()) << want.name;
    EXPECT_STREQ(ClassOf(control).c_str(), want.windowClass) << want.name;
    ExpectRect(ClientRectOf(control), want.rect, want.name);
    EXPECT_EQ(fixture.control(want.name).Caption(), want.caption) << want.name;
    EXPECT_TRUE(IsWindowVisible(control)) << want.name;
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, want.enabled) << want.name;
    EXPECT_EQ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0, want.tabStop) << want.name;
  }

  HWND slider = fixture.control(L"滑块条1").Handle();
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(SendMessageW(slider, TBM_GETLINESIZE, 0, 0), 1);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0), 5);
  EXPECT_TRUE(GetWindowLongW(slider, GWL_STYLE) & TBS_NOTICKS);
  EXPECT_FALSE(fixture.window().As<ui::CheckBox>(L"选择框1").Checked());

  HWND tab = fixture.control(L"选择夹1").Handle();
  ASSERT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 5);
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  const std::array<const wchar_t*, 5> titles = {L"主持", L"喊麦", L"游戏", L"自定义", L"说明"};
  for (int page = 0; page < 5; ++page) {
    wchar_t text[32] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 32;
    SendMessageW(tab, TCM_GETITEMW, page, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(text, titles[page]);
  }
}

// Grid cells relative to the tab control, row by row, exceptions included.
constexpr std::array<POINT, 20> kGrid = {{
    {7, 33}, {84, 33}, {161, 33}, {238, 33}, {315, 33},
    {7, 75}, {84, 75}, {161, 75}, {238, 75}, {315, 75},
    {7, 116}, {84, 117}, {161, 117}, {239, 116}, {315, 116},
    {7, 158}, {84, 158}, {161, 158}, {239, 158}, {315, 158},
}};

struct PageButtons {
  int page;
  int firstName;  // 按钮<firstName> sits in the first cell, names rise cell by cell
  std::array<const wchar_t*, 20> captions;
};

const std::vector<PageButtons>& AllPages() {
  static const std::vector<PageButtons> pages = {
      {0, 63, {L"群众笑声", L"欢呼掌声", L"哎哟我滴妈", L"可爱笑声", L"你别笑", L"飞翔的感觉", L"坑礼曲", L"不错哟",
               L"勇敢勇敢", L"贼拉拉爱你", L"大哥点关注", L"欢迎大哥", L"感谢", L"老铁开场", L"DJ开场", L"有请主持人",
               L"本色开场", L"礼花音效", L"闹钟声", L"天空之城"}},
      {1, 43, {L"在一起", L"喜欢你", L"在人间", L"土耳其", L"超级英雄", L"还好没放弃", L"我们不一样", L"很爱很爱你",
               L"朋友", L"拥抱着爱", L"等你爱我", L"男人哭吧不是罪", L"咱们结婚吧", L"牵手成功", L"牵手失败",
               L"这就是爱", L"一起摇摆", L"保镖出来", L"没茅台", L"一曲相思"}},
      {2, 23, {L"LALALALA德玛西亚", L"德玛西亚", L"你已经被包围了", L"吃鸡摇1", L"吃鸡摇2", L"C哩C哩", L"斗地主",
               L"战场结束", L"广播体操", L"老司机带带我", L"李云龙喊话", L"王者RAP", L"王者五杀", L"无敌多寂寞",
               L"LOL五杀", L"愤怒的小鸟", L"马里奥地面", L"吃鸡战歌", L"凉凉", L"会呼吸的痛"}},
      {3, 1, {}},
  };
  return pages;
}

TEST(WindowLayout, EveryPageButtonSitsInItsGridCellWithItsCaption) {
  AppFixture fixture;
  for (const PageButtons& page : AllPages()) {
    for (int cell = 0; cell < 20; ++cell) {
      std::wstring name = L"按钮" + std::to_wstring(page.firstName + cell);
      ui::Control* control = fixture.window().Find(name);
      ASSERT_NE(control, nullptr) << name;
      HWND button = control->Handle();
      RECT want{kGrid[cell].x, 40 + kGrid[cell].y, kGrid[cell].x + 70, 40 + kGrid[cell].y + 35};
      ExpectRect(ClientRectOf(button), want, name.c_str());
      EXPECT_EQ(control->Caption(), page.page == 3 ? L"添加音效.." : page.captions[cell]) << name;
      EXPECT_EQ(IsWindowVisible(button) != FALSE, page.page == 0) << name;
      EXPECT_TRUE(IsWindowEnabled(button)) << name;
      LONG style = GetWindowLongW(button, GWL_STYLE);
      EXPECT_TRUE(style & WS_TABSTOP) << name;
      EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << name;
    }
  }
}

TEST(WindowLayout, OnlyTheCurrentPageShowsItsControls) {
  AppFixture fixture;
  for (int page : {2, 4, 3, 0}) {
    fixture.ClickTab(page);
    EXPECT_EQ(fixture.window().CurrentPage(), page);
    for (const auto& control : fixture.window().Controls()) {
      int owner = control->Spec().page;
      if (owner == ui::kOnWindow) continue;
      EXPECT_EQ(IsWindowVisible(control->Handle()) != FALSE, owner == page) << std::wstring(control->Name()) << " page " << page;
    }
  }
}

TEST(WindowLayout, InstructionsLabelHoldsTheInstructions) {
  AppFixture fixture;
  ui::Control& label = fixture.control(L"标签3");
  ExpectRect(ClientRectOf(label.Handle()), {6, 67, 386, 239}, L"标签3");
  EXPECT_FALSE(IsWindowEnabled(label.Handle()));
  std::wstring text = label.Caption();
  std::vector<std::wstring> lines;
  for (size_t start = 0;;) {
    size_t end = text.find(L"\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], L"1.自定义界面，无音源时，鼠标【左键单击】按钮可添加单个按钮音源");
  EXPECT_EQ(lines[3], L"4.导入文件的文件名【越短越好】，毕竟...按钮就那么大");
  EXPECT_EQ(lines[6], L"7.本程序所有文件存放在：【...我的文档\\Kivora】");
  EXPECT_EQ(lines[7], std::wstring(76, L'-'));
  EXPECT_EQ(lines[8].front(), L'★');
  EXPECT_EQ(lines[9].front(), L'★');
  EXPECT_EQ(lines[10], std::wstring(76, L'-'));
  EXPECT_FALSE(lines[11].empty());
}

TEST(WindowLayout, EveryControlWithTextUsesTheOneFont) {
  AppFixture fixture;
  for (const auto& control : fixture.window().Controls()) {
    if (control->Spec().kind == ui::ControlKind::Slider) continue;  // a track bar shows no text
    auto font = reinterpret_cast<HFONT>(SendMessageW(control->Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr) << std::wstring(control->Name());
    LOGFONTW face{};
    GetObjectW(font, sizeof(face), &face);
    EXPECT_STREQ(face.lfFaceName, L"微软雅黑") << std::wstring(control->Name());
    EXPECT_EQ(face.lfHeight, -12) << std::wstring(control->Name());
    EXPECT_EQ(face.lfWeight, FW_NORMAL) << std::wstring(control->Name());
    EXPECT_FALSE(face.lfItalic || face.lfUnderline || face.lfStrikeOut) << std::wstring(control->Name());
  }
}

TEST(WindowLayout, EarlierControlsLieAboveLaterOnesWithTheBannerLowest) {
  AppFixture fixture;
  std::vector<HWND> zOrder;
  for (HWND child = GetWindow(fixture.hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    zOrder.push_back(child);
  }
  auto depth = [&](const wchar_t* name) {
    HWND handle = fixture.control(name).Handle();
    return std::find(zOrder.begin(), zOrder.end(), handle) - zOrder.begin();
  };
  EXPECT_LT(depth(L"超级链接框2"), depth(L"选择框1"));
  EXPECT_LT(depth(L"选择框1"), depth(L"选择夹1"));
  EXPECT_LT(depth(L"按钮63"), depth(L"选择夹1"));
  EXPECT_LT(depth(L"标签3"), depth(L"选择夹1"));
  EXPECT_EQ(depth(L"图片框1"), static_cast<long>(zOrder.size()) - 1);
}

// The colours an owner-drawn control paints with, read from the pixels of one
// paint into a bitmap of the control's size: how many pixels have each colour.
std::map<COLORREF, int> PaintedColours(AppFixture& fixture, HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = area.right;
  info.bmiHeader.biHeight = -area.bottom;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  MemoryDc dc(nullptr);
  ScopedSelect selected(dc.Get(), bitmap.Get());
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_STATIC;
  item.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  item.itemAction = ODA_DRAWENTIRE;
  item.hwndItem = control;
  item.hDC = dc.Get();
  item.rcItem = area;
  SendMessageW(fixture.hwnd(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  GdiFlush();
  std::map<COLORREF, int> colours;
  const auto* pixels = static_cast<const DWORD*>(bits);
  for (LONG i = 0; i < area.right * area.bottom; ++i) {
    const DWORD bgr = pixels[i] & 0xFFFFFF;  // 0x00RRGGBB in a DIB
    ++colours[RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF)];
  }
  return colours;
}

// True when the paint shows text of that colour on a white background (edge
// pixels of smoothed glyphs may hold blends; the strokes' cores hold the colour).
bool ShowsTextOn(const std::map<COLORREF, int>& colours, COLORREF text) {
  return colours.contains(text) && colours.contains(RGB(255, 255, 255)) &&
         colours.at(RGB(255, 255, 255)) > colours.at(text);
}

// The plain look under the skin: the colours the program draws its labels in.
TEST(WindowLayout, LabelsAreBlackOnWhiteAndTheBannerIsWhite) {
  AppFixture fixture(AppFixture::Settings::Fresh, AppFixture::Look::Plain);
  for (const wchar_t* label : {L"标签1", L"标签2", L"标签3"}) {
    EXPECT_TRUE(ShowsTextOn(PaintedColours(fixture, fixture.control(label).Handle()), RGB(0, 0, 0)))
        << std::wstring(label);
  }
  const auto banner = PaintedColours(fixture, fixture.control(L"图片框1").Handle());
  EXPECT_EQ(banner, (std::map<COLORREF, int>{{RGB(255, 255, 255), 390 * 37}}));
}

TEST(WindowLayout, TheLinkIsBlueTurnsLighterUnderThePointerAndStaysLighterOncePressed) {
  constexpr COLORREF kNormal = RGB(0, 0, 255), kHot = RGB(0, 120, 215), kVisited = RGB(0, 136, 255);
  AppFixture fixture(AppFixture::Settings::Fresh, AppFixture::Look::Plain);
  HWND link = fixture.control(L"超级链接框2").Handle();
  RECT onScreen{};
  GetWindowRect(link, &onScreen);
  const POINT centre{(onScreen.left + onScreen.right) / 2, (onScreen.top + onScreen.bottom) / 2};
  const POINT away{onScreen.left, onScreen.bottom + 200};
  const LPARAM inside = MAKELPARAM(5, 5);
  const struct {
    const char* step;
    std::function<void()> act;
    COLORREF shown;
  } steps[] = {
      {"at creation", [] {}, kNormal},
      {"pointer over it",
       [&] {
         SetCursorPos(centre.x, centre.y);
         SendMessageW(link, WM_MOUSEMOVE, 0, inside);
       },
       kHot},
      {"pressed while under the pointer",
       [&] {
         SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, inside);
         SendMessageW(link, WM_LBUTTONUP, 0, inside);
       },
       kHot},
      {"pointer gone after the press",
       [&] {
         SetCursorPos(away.x, away.y);
         SendMessageW(link, WM_MOUSELEAVE, 0, 0);
       },
       kVisited},
      {"pointer back", [&] {
         SetCursorPos(centre.x, centre.y);
         SendMessageW(link, WM_MOUSEMOVE, 0, inside);
       },
       kHot},
  };
  for (const auto& step : steps) {
    step.act();
    const auto colours = PaintedColours(fixture, link);
    EXPECT_TRUE(ShowsTextOn(colours, step.shown)) << step.step;
    for (COLORREF other : {kNormal, kHot, kVisited}) {
      if (other != step.shown) {
        EXPECT_FALSE(colours.contains(other)) << step.step;
      }
    }
  }
  EXPECT_EQ(fixture.web.opened.size(), 1u) << "the press opened the address";
}

TEST(WindowLayout, TheHandPointerShowsOverTheBannerAndTheLinkOnly) {
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  const struct {
    const wchar_t* name;
    bool hand;
  } cases[] = {{L"图片框1", true}, {L"超级链接框2", true}, {L"标签1", false}, {L"选择框1", false}, {L"按钮63", false}};
  AppFixture fixture;
  for (const auto& c : cases) {
    SetCursor(nullptr);
    HWND control = fixture.control(c.name).Handle();
    SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor() == hand, c.hand) << std::wstring(c.name);
  }
}

TEST(WindowLayout, TheCheckBoxTextIsLeftAlignedAndVerticallyCentred) {
  AppFixture fixture;
  const LONG style = GetWindowLongW(fixture.control(L"选择框1").Handle(), GWL_STYLE);
  EXPECT_EQ(style & BS_CENTER, BS_LEFT);
  EXPECT_EQ(style & BS_VCENTER, BS_VCENTER);
  EXPECT_EQ(style & BS_LEFTTEXT, 0) << "the box is on the left of its text";
}

}  // namespace
}  // namespace kivora

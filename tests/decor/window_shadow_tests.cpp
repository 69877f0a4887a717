// The drop shadow: its band arithmetic and pixels, the window that carries them,
// how it follows its owner, and its place in the owner's procedure chain.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decor/shadow_rings.h"
#include "decor/window_shadow.h"
#include "support/app_fixture.h"

namespace kivora::decor {
namespace {

TEST(ShadowRings, AlphaStepAndRingAlphas) {
  struct Case {
    int size;
    std::vector<int> alphas;  // ring 1 (outermost) first
  };
  const Case cases[] = {
      {6, {16, 32, 48, 64, 80, 96}},
      {1, {100}},
      {8, {12, 24, 36, 48, 60, 72, 84, 96}},
      {9, {16, 32, 48, 64, 80, 96, 112, 128, 144}},  // above 8 the step is 150 / s
      {10, {15, 30, 45, 60, 75, 90, 105, 120, 135, 150}},
  };
  for (const Case& c : cases) {
    std::vector<int> alphas;
    for (int ring = 1; ring <= c.size; ++ring) alphas.push_back(ShadowRingAlpha(c.size, ring));
    EXPECT_EQ(alphas, c.alphas) << "size " << c.size;
  }
}

TEST(ShadowRings, PixelsAreOnePixelRingsAroundATransparentMiddle) {
  constexpr int kWidth = 20, kHeight = 14, kSize = 3;
  std::vector<std::uint32_t> pixels(kWidth * kHeight, 0xDEADBEEF);
  ASSERT_TRUE(PaintShadowRings(pixels, kWidth, kHeight, RGB(0x80, 0x40, 0x20), kSize));
  // Step 33: rings of alpha 33, 66, 99, colour premultiplied (BGRA, red in bits 16-23).
  const std::uint32_t ring1 = 0x21110804, ring2 = 0x42211108, ring3 = 0x6332190C;
  struct Point {
    int x, y;
    std::uint32_t expected;
  };
  const Point points[] = {
      {0, 0, ring1},   {19, 13, ring1}, {10, 0, ring1}, {0, 7, ring1},  {19, 7, ring1},
      {1, 1, ring2},   {18, 12, ring2}, {10, 1, ring2}, {2, 2, ring3},  {17, 11, ring3},
      {3, 3, 0},       {10, 7, 0},      {16, 10, 0},    {2, 1, ring2},  {1, 2, ring2},
  };
  for (const Point& p : points) {
    EXPECT_EQ(pixels[p.y * kWidth + p.x], p.expected) << "at " << p.x << "," << p.y;
  }
  EXPECT_FALSE(PaintShadowRings(pixels, kWidth + 1, kHeight, 0, kSize)) << "a buffer of another size is refused";
}

// A plain top-level window whose own procedure records the messages it sees.
std::vector<std::wstring>* g_log = nullptr;

LRESULT CALLBACK OwnProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_log && message == WM_APP) g_log->push_back(L"own");
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

WNDPROC g_frontNext = nullptr;
LRESULT CALLBACK FrontProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_log && message == WM_APP) g_log->push_back(L"front");
  return CallWindowProcW(g_frontNext, hwnd, message, wParam, lParam);
}

class ShadowWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KivoraShadowOwner";
    RegisterClassW(&windowClass);
    owner_ = CreateWindowExW(0, L"KivoraShadowOwner", L"owner", WS_OVERLAPPEDWINDOW, 100, 120, 300, 200, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    g_log = &log_;
  }
  void TearDown() override {
    g_log = nullptr;
    DestroyWindow(owner_);
  }

  static void Pump() { testing::AppFixture::Pump(); }

  RECT OwnerRect() const {
    RECT r{};
    GetWindowRect(owner_, &r);
    return r;
  }
  HWND Shadow() const { return ShadowWindowOf(owner_); }
  bool ShadowVisible() const { return Shadow() && IsWindowVisible(Shadow()); }

  // The shadow lies `size` pixels around the owner and shows the rings for its size.
  void ExpectShadowAround(int size, COLORREF color) {
    HWND shadow = Shadow();
    ASSERT_NE(shadow, nullptr);
    RECT owner = OwnerRect(), band{};
    GetWindowRect(shadow, &band);
    EXPECT_EQ(band.left, owner.left - size);
    EXPECT_EQ(band.top, owner.top - size);
    EXPECT_EQ(band.right - band.left, owner.right - owner.left + 2 * size);
    EXPECT_EQ(band.bottom - band.top, owner.bottom - owner.top + 2 * size);
    ShadowPicture picture = RenderedShadowPicture(shadow);
    ASSERT_EQ(picture.width, band.right - band.left);
    ASSERT_EQ(picture.height, band.bottom - band.top);
    std::vector<std::uint32_t> fresh(picture.pixels.size());
    PaintShadowRings(fresh, picture.width, picture.height, color, size);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), picture.pixels.begin())) << "the picture a new paint would give";
  }

  HWND owner_ = nullptr;
  std::vector<std::wstring> log_;
};

TEST_F(ShadowWindowTest, ShadowWindowStylesPropertiesAndPlace) {
  EXPECT_FALSE(SetWindowShadow(reinterpret_cast<HWND>(0x1234), RGB(128, 128, 128), 6)) << "not a window";

  ASSERT_TRUE(SetWindowShadow(owner_, RGB(128, 128, 128), 6));
  HWND shadow = Shadow();
  ASSERT_NE(shadow, nullptr);
  EXPECT_EQ(GetPropW(owner_, kShadowWindowProperty), shadow);
  wchar_t className[32]{};
  GetClassNameW(shadow, className, 32);
  EXPECT_TRUE(std::wstring(className) == L"Static" || std::wstring(className) == L"SysShadow") << className;
  EXPECT_EQ(GetWindowLongW(shadow, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
  EXPECT_TRUE(GetWindowLongW(shadow, GWL_STYLE) & WS_POPUP);
  EXPECT_EQ(GetWindow(shadow, GW_OWNER), owner_);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProperty)), 0x808080u);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowSizeProperty)), 6u);
  EXPECT_FALSE(IsWindowVisible(shadow)) << "the owner is still hidden";

  ShowWindow(owner_, SW_SHOW);
  Pump();
  EXPECT_TRUE(IsWindowVisible(shadow));
  ExpectShadowAround(6, RGB(128, 128, 128));
  // Under Wine the activation of a shown window can come a moment later, through X.
  for (ULONGLONG until = GetTickCount64() + 3000; !GetActiveWindow() && GetTickCount64() < until;) {
    Sleep(10);
    Pump();
  }
  EXPECT_EQ(GetActiveWindow(), owner_) << "showing the shadow must not take the focus";

  // A move keeps the picture; a resize paints one for the new size.
  SetWindowPos(owner_, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ExpectShadowAround(6, RGB(128, 128, 128));
  SetWindowPos(owner_, nullptr, 0, 0, 250, 180, SWP_NOMOVE | SWP_NOZORDER);
  ExpectShadowAround(6, RGB(128, 128, 128));
}

TEST_F(ShadowWindowTest, HiddenWhileMinimisedMaximisedOrHiddenAndBackOnRestore) {
  ASSERT_TRUE(SetWindowShadow(owner_, RGB(128, 128, 128), 6));
  ShowWindow(owner_, SW_SHOW);
  Pump();
  ASSERT_TRUE(ShadowVisible());

  struct Step {
    int command;
    bool shadowVisible;
  };
  const Step steps[] = {{SW_MINIMIZE, false}, {SW_RESTORE, true}, {SW_MAXIMIZE, false},
                        {SW_RESTORE, true},   {SW_HIDE, false},    {SW_SHOW, true}};
  for (const Step& step : steps) {
    ShowWindow(owner_, step.command);
    Pump();
    EXPECT_EQ(ShadowVisible(), step.shadowVisible) << "after show command " << step.command;
    if (step.shadowVisible) ExpectShadowAround(6, RGB(128, 128, 128));
  }
}

TEST_F(ShadowWindowTest, SecondSetChangesColourAndSizeAndChainsOnce) {
  const LONG_PTR own = GetWindowLongPtrW(owner_, GWLP_WNDPROC);
  ShowWindow(owner_, SW_SHOW);
  ASSERT_TRUE(SetWindowShadow(owner_, RGB(128, 128, 128), 6));
  const LONG_PTR shadowProcedure = GetWindowLongPtrW(owner_, GWLP_WNDPROC);
  EXPECT_NE(shadowProcedure, own);
  HWND shadow = Shadow();

  ASSERT_TRUE(SetWindowShadow(owner_, RGB(10, 20, 30), 10));
  EXPECT_EQ(Shadow(), shadow) << "the same shadow window is reused";
  EXPECT_EQ(GetWindowLongPtrW(owner_, GWLP_WNDPROC), shadowProcedure) << "installed once";
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(owner_, kShadowProcedureProperty)), own)
      << "the saved procedure is still the window's own, not the shadow's";
  ExpectShadowAround(10, RGB(10, 20, 30));

  SendMessageW(owner_, WM_APP, 0, 0);
  EXPECT_EQ(log_, std::vector<std::wstring>{L"own"}) << "messages pass on to the window's own procedure";

  EXPECT_FALSE(SetWindowShadow(owner_, RGB(10, 20, 30), 0));
  EXPECT_FALSE(IsWindow(shadow));
  EXPECT_EQ(GetPropW(owner_, kShadowWindowProperty), nullptr);
  EXPECT_EQ(GetPropW(owner_, kShadowProcedureProperty), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(owner_, GWLP_WNDPROC), own) << "removal restores the previous procedure";
}

TEST_F(ShadowWindowTest, ProcedureChainedInFrontSurvivesRemoval) {
  ShowWindow(owner_, SW_SHOW);
  ASSERT_TRUE(SetWindowShadow(owner_, RGB(128, 128, 128), 6));
  g_frontNext = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrontProcedure)));

  SetWindowPos(owner_, nullptr, 70, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ExpectShadowAround(6, RGB(128, 128, 128));
  SendMessageW(owner_, WM_APP, 0, 0);
  EXPECT_EQ(log_, (std::vector<std::wstring>{L"front", L"own"}));

  HWND shadow = Shadow();
  RemoveWindowShadow(owner_);
  EXPECT_FALSE(IsWindow(shadow));
  EXPECT_EQ(GetWindowLongPtrW(owner_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&FrontProcedure))
      << "the procedure in front is not cut off";
  log_.clear();
  SendMessageW(owner_, WM_APP, 0, 0);
  SetWindowPos(owner_, nullptr, 90, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(log_, (std::vector<std::wstring>{L"front", L"own"}));

  // Setting it again reuses the procedure still in the chain.
  ASSERT_TRUE(SetWindowShadow(owner_, RGB(128, 128, 128), 6));
  ExpectShadowAround(6, RGB(128, 128, 128));
  SetWindowPos(owner_, nullptr, 30, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ExpectShadowAround(6, RGB(128, 128, 128));
}

TEST(MainWindowShadow, StartUpGivesTheMainWindowAGreyShadowOfSix) {
  testing::AppFixture fixture;
  HWND shadow = ShadowWindowOf(fixture.hwnd());
  ASSERT_NE(shadow, nullptr);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProperty)), 0x808080u);
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowSizeProperty)), 6u);
  RECT window{}, band{};
  GetWindowRect(fixture.hwnd(), &window);
  GetWindowRect(shadow, &band);
  EXPECT_EQ(band.left, window.left - 6);
  EXPECT_EQ(band.top, window.top - 6);
  EXPECT_EQ(band.right - band.left, window.right - window.left + 12);
  EXPECT_EQ(band.bottom - band.top, window.bottom - window.top + 12);
  EXPECT_TRUE(IsWindowVisible(shadow));
}

}  // namespace
}  // namespace kivora::decor

// The window at 100, 125, 150 and 200 %. The session runs at 96 DPI, so the live
// window is moved to each DPI the way the system does it, with WM_DPICHANGED; the
// end-to-end script high_dpi.sh starts Kivora.exe at a real 144 DPI.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ranges>
#include <string>
#include <vector>

#include "assets/pictures.h"
#include "base/dpi.h"
#include "decor/window_shadow.h"
#include "support/app_fixture.h"
#include "ui/control_names.h"
#include "ui/layout.h"
#include "ui/png_picture.h"

namespace kivora {
namespace {

using testing::AppFixture;

constexpr int kDpis[] = {96, 120, 144, 192};
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

std::wstring Named(const ui::ControlSpec& spec, int dpi) { return spec.name + L" at " + std::to_wstring(dpi); }

// The client area a window of the scaled outer size has at dpi: the frame and title
// bar of that DPI taken off.
RECT ClientAreaAt(int dpi) {
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  RECT frame{0, 0, 0, 0};
  if (adjust) adjust(&frame, kMainStyle, FALSE, 0, static_cast<UINT>(dpi));
  const SIZE outer = ui::OuterSizeAt(dpi);
  return {0, 0, outer.cx - (frame.right - frame.left), outer.cy - (frame.bottom - frame.top)};
}

// How far a rectangle reaches past each edge of another (0 where it stays inside).
RECT Overhang(const RECT& inner, const RECT& outer) {
  return {std::max(0L, outer.left - inner.left), std::max(0L, outer.top - inner.top),
          std::max(0L, inner.right - outer.right), std::max(0L, inner.bottom - outer.bottom)};
}

RECT BoundsOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// What the system sends when the window lands on a monitor of this DPI: the
// suggested rectangle is the scaled outer size where the window is.
void MoveToDpi(AppFixture& fixture, int dpi) {
  RECT now{};
  GetWindowRect(fixture.hwnd(), &now);
  const SIZE outer = ui::OuterSizeAt(dpi);
  RECT suggested{now.left, now.top, now.left + outer.cx, now.top + outer.cy};
  SendMessageW(fixture.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  AppFixture::Pump();
}

// The room a control's kind leaves around its caption (at 96 DPI): the skinned push
// button's border and inset, the check box's box and gap.
SIZE CaptionMargins(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::PushButton: return {8, 2};
    case ui::ControlKind::CheckBox: return {20, 0};
    default: return {0, 0};
  }
}

SIZE TextExtent(HWND control, const std::wstring& text) {
  auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent;
}

// The table at 96 DPI lets the tab control (393 wide) reach 2 pixels past the
// client area's right edge, under its border; no scale may let anything reach further.
TEST(DpiScaling, TheTableScaledKeepsEveryControlInsideTheClientArea) {
  for (int dpi : kDpis) {
    const RECT client = ClientAreaAt(dpi);
    for (const ui::ControlSpec& spec : ui::MainWindowLayout()) {
      const RECT at96 = Overhang(ui::ControlRectAt(spec, 96), ClientAreaAt(96));
      const RECT now = Overhang(ui::ControlRectAt(spec, dpi), client);
      EXPECT_LE(now.left, ScaleToDpi(at96.left, dpi)) << Named(spec, dpi);
      EXPECT_LE(now.top, ScaleToDpi(at96.top, dpi)) << Named(spec, dpi);
      EXPECT_LE(now.right, ScaleToDpi(at96.right, dpi)) << Named(spec, dpi);
      EXPECT_LE(now.bottom, ScaleToDpi(at96.bottom, dpi)) << Named(spec, dpi);
    }
    const RECT tabs = ui::ControlRectAt(*std::find_if(ui::MainWindowLayout().begin(), ui::MainWindowLayout().end(),
                                                      [](const ui::ControlSpec& spec) { return spec.name == ui::kPageTabs; }),
                                        dpi);
    EXPECT_LE(tabs.right - client.right, ScaleToDpi(2, dpi)) << dpi;
    // The instructions page makes the tab control (at 0, 40) and its label (27 below it) taller.
    EXPECT_LE(ScaleToDpi(40, dpi) + ScaleToDpi(238, dpi), client.bottom) << dpi;
    EXPECT_LE(ScaleToDpi(40, dpi) + ScaleToDpi(27, dpi) + ScaleToDpi(208, dpi), client.bottom) << dpi;
  }
}

TEST(DpiScaling, At96TheTableIsPlacedToThePixel) {
  const POINT tabs{0, 40};
  for (const ui::ControlSpec& spec : ui::MainWindowLayout()) {
    const POINT origin = spec.page == ui::kOnWindow ? POINT{0, 0} : tabs;
    const RECT want{origin.x + spec.left, origin.y + spec.top, origin.x + spec.left + spec.width,
                    origin.y + spec.top + spec.height};
    const RECT got = ui::ControlRectAt(spec, 96);
    EXPECT_TRUE(EqualRect(&got, &want)) << std::wstring(spec.name);
  }
  EXPECT_EQ(ui::OuterSizeAt(96).cx, 397);
  EXPECT_EQ(ui::OuterSizeAt(96).cy, 305);
}

TEST(DpiScaling, EveryNumberOfTheTableIsScaledOnItsOwnAndRoundedToNearest) {
  const ui::ControlSpec& pause = *std::find_if(ui::MainWindowLayout().begin(), ui::MainWindowLayout().end(),
                                               [](const ui::ControlSpec& spec) { return spec.name == ui::kPauseButton; });
  struct Case {
    int dpi;
    RECT pause;
    SIZE outer;
  };
  // 按钮21 is 322, 247, 62 × 26: at 125 % 402.5 → 403 and 308.75 → 309, 77.5 → 78, 32.5 → 33.
  const Case cases[] = {{120, {403, 309, 481, 342}, {496, 381}},
                        {144, {483, 371, 576, 410}, {596, 458}},
                        {192, {644, 494, 768, 546}, {794, 610}}};
  for (const Case& c : cases) {
    const RECT got = ui::ControlRectAt(pause, c.dpi);
    EXPECT_TRUE(EqualRect(&got, &c.pause)) << c.dpi << ": " << got.left << "," << got.top << "," << got.right << ","
                                           << got.bottom;
    EXPECT_EQ(ui::OuterSizeAt(c.dpi).cx, c.outer.cx) << c.dpi;
    EXPECT_EQ(ui::OuterSizeAt(c.dpi).cy, c.outer.cy) << c.dpi;
  }
}

// The live window moved to each DPI: the suggested rectangle taken, every control
// at its scaled place in a font of that DPI, and no caption clipped. A few built-in
// captions are wider than their 70-pixel button at 96 DPI already, where the skin
// sets them smaller with an ellipsis; each scale must show whole every caption
// that 96 DPI shows whole, and those are nearly all of them.
TEST(DpiScaling, WmDpiChangedLaysTheLiveWindowOutAgainWithNoCaptionClipped) {
  AppFixture fixture;
  std::map<std::wstring_view, bool> wholeAt96;
  for (int dpi : kDpis) {
    MoveToDpi(fixture, dpi);
    EXPECT_EQ(fixture.window().Dpi(), dpi);
    RECT outer{};
    GetWindowRect(fixture.hwnd(), &outer);
    EXPECT_EQ(outer.right - outer.left, ui::OuterSizeAt(dpi).cx) << dpi;
    EXPECT_EQ(outer.bottom - outer.top, ui::OuterSizeAt(dpi).cy) << dpi;

    for (const auto& control : fixture.window().Controls()) {
      const ui::ControlSpec& spec = control->Spec();
      const RECT bounds = BoundsOf(control->Handle());
      const RECT want = ui::ControlRectAt(spec, dpi);
      EXPECT_TRUE(EqualRect(&bounds, &want)) << Named(spec, dpi);

      auto font = reinterpret_cast<HFONT>(SendMessageW(control->Handle(), WM_GETFONT, 0, 0));
      LOGFONTW face{};
      GetObjectW(font, sizeof(face), &face);
      if (spec.kind != ui::ControlKind::Slider) {
        EXPECT_EQ(face.lfHeight, -ScaleToDpi(12, dpi)) << Named(spec, dpi);
      }

      const std::wstring caption = control->Caption();
      if (caption.empty() || spec.wordWrap) continue;
      const SIZE text = TextExtent(control->Handle(), caption);
      const SIZE margins = CaptionMargins(spec.kind);
      const bool whole = text.cx + ScaleToDpi(margins.cx, dpi) <= bounds.right - bounds.left &&
                         text.cy + ScaleToDpi(margins.cy, dpi) <= bounds.bottom - bounds.top;
      if (dpi == 96) wholeAt96[control->Name()] = whole;
      else EXPECT_TRUE(whole || !wholeAt96[control->Name()]) << Named(spec, dpi);
    }
  }
  const auto whole = std::ranges::count(wholeAt96 | std::views::values, true);
  EXPECT_GE(whole, static_cast<long>(wholeAt96.size()) - 10) << "captions shown whole at 96 DPI";
}

TEST(DpiScaling, TheInstructionsAndThePageTitlesFitAtEveryDpi) {
  AppFixture fixture;
  fixture.ClickTab(ui::kInstructionsPage);
  AppFixture::Pump();
  HWND tabs = fixture.control(ui::kPageTabs).Handle();
  HWND instructions = fixture.control(ui::kInstructionsLabel).Handle();
  for (int dpi : kDpis) {
    MoveToDpi(fixture, dpi);
    // The page keeps its taller size at the new DPI.
    const RECT label = BoundsOf(instructions);
    EXPECT_EQ(label.bottom - label.top, ScaleToDpi(208, dpi)) << dpi;
    EXPECT_EQ(BoundsOf(tabs).bottom - BoundsOf(tabs).top, ScaleToDpi(238, dpi)) << dpi;

    const std::wstring text = fixture.control(ui::kInstructionsLabel).Caption();
    RECT needed{0, 0, label.right - label.left, 0};
    auto font = reinterpret_cast<HFONT>(SendMessageW(instructions, WM_GETFONT, 0, 0));
    HDC dc = GetDC(instructions);
    HGDIOBJ old = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(instructions, dc);
    EXPECT_LE(needed.bottom, label.bottom - label.top) << dpi;

    // Each title fits its tab, and the strip ends before the link that lies above it.
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    RECT item{};
    for (int page = 0; page < count; ++page) {
      SendMessageW(tabs, TCM_GETITEMRECT, page, reinterpret_cast<LPARAM>(&item));
      EXPECT_LE(TextExtent(tabs, std::wstring(ui::kPageTitles[page])).cx, item.right - item.left) << dpi;
    }
    EXPECT_LE(BoundsOf(tabs).left + item.right, BoundsOf(fixture.control(ui::kSponsorLink).Handle()).left) << dpi;
  }
}

// Back at 96 DPI after a round through 200 %, every control is where the table puts it.
TEST(DpiScaling, BackAt96EveryControlIsWhereItWasBefore) {
  AppFixture fixture;
  std::vector<RECT> before;
  for (const auto& control : fixture.window().Controls()) before.push_back(BoundsOf(control->Handle()));
  MoveToDpi(fixture, 192);
  MoveToDpi(fixture, 96);
  size_t index = 0;
  for (const auto& control : fixture.window().Controls()) {
    const RECT now = BoundsOf(control->Handle());
    EXPECT_TRUE(EqualRect(&now, &before[index++])) << std::wstring(control->Name());
  }
  RECT outer{};
  GetWindowRect(fixture.hwnd(), &outer);
  EXPECT_EQ(outer.right - outer.left, 397);
  EXPECT_EQ(outer.bottom - outer.top, 305);
}

int BitmapWidth(HBITMAP bitmap) {
  BITMAP info{};
  return GetObjectW(bitmap, sizeof(info), &info) ? info.bmWidth : 0;
}

int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  const int width = BitmapWidth(info.hbmColor ? info.hbmColor : info.hbmMask);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return width;
}

// Each scale shows a picture drawn for it, not one stretched: the speaker, muted or
// not, and the window's icons; the shadow's band widens with the window.
TEST(DpiScaling, PicturesIconsAndShadowAreMadeForTheDpi) {
  AppFixture fixture;
  HWND mute = fixture.control(ui::kMuteButton).Handle();
  for (int dpi : kDpis) {
    MoveToDpi(fixture, dpi);
    const int speaker = ScaleToDpi(20, dpi);
    EXPECT_TRUE(std::ranges::equal(fixture.window().As<ui::PictureButton>(ui::kMuteButton).Picture(),
                                   assets::NearestPicture(assets::SpeakerPictures(), dpi)))
        << dpi;
    EXPECT_EQ(BitmapWidth(reinterpret_cast<HBITMAP>(SendMessageW(mute, BM_GETIMAGE, IMAGE_BITMAP, 0))), speaker) << dpi;
    fixture.Click(ui::kMuteButton);
    EXPECT_TRUE(std::ranges::equal(fixture.window().As<ui::PictureButton>(ui::kMuteButton).Picture(),
                                   assets::NearestPicture(assets::SpeakerMutedPictures(), dpi)))
        << dpi;
    EXPECT_EQ(BitmapWidth(reinterpret_cast<HBITMAP>(SendMessageW(mute, BM_GETIMAGE, IMAGE_BITMAP, 0))), speaker) << dpi;
    fixture.Click(ui::kMuteButton);

    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(fixture.hwnd(), WM_GETICON, ICON_SMALL, 0))),
              ScaleToDpi(16, dpi))
        << dpi;
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(fixture.hwnd(), WM_GETICON, ICON_BIG, 0))),
              ScaleToDpi(32, dpi))
        << dpi;

    HWND shadow = decor::ShadowWindowOf(fixture.hwnd());
    ASSERT_NE(shadow, nullptr);
    RECT owner{}, band{};
    GetWindowRect(fixture.hwnd(), &owner);
    GetWindowRect(shadow, &band);
    EXPECT_EQ(owner.left - band.left, ScaleToDpi(6, dpi)) << dpi;
    EXPECT_EQ(band.bottom - owner.bottom, ScaleToDpi(6, dpi)) << dpi;
  }
}

TEST(DpiScaling, EachPictureSetHoldsADrawingForEveryScaleAndTheNearestIsChosen) {
  for (assets::PictureSet set : {assets::SpeakerPictures(), assets::SpeakerMutedPictures()}) {
    for (int dpi : kDpis) {
      const ui::PngPicture picture = ui::DecodePng(assets::NearestPicture(set, dpi));
      EXPECT_EQ(picture.Width(), ScaleToDpi(20, dpi)) << dpi;
      EXPECT_EQ(picture.Height(), ScaleToDpi(20, dpi)) << dpi;
    }
  }
  const assets::PictureSet set = assets::SpeakerPictures();
  struct Case {
    int dpi;
    int chosen;
  };
  for (const Case& c : {Case{72, 96}, Case{107, 96}, Case{108, 120}, Case{132, 144}, Case{168, 192}, Case{288, 192}}) {
    EXPECT_TRUE(std::ranges::equal(assets::NearestPicture(set, c.dpi), assets::NearestPicture(set, c.chosen))) << c.dpi;
  }
}

}  // namespace
}  // namespace kivora

// The settings dialog moved between monitors of other DPIs while it is open (the
// session stays at 96 DPI, so each move is the message the system sends for it),
// and its scrolling list under fine wheels.
#include <windows.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <set>
#include <string>

#include "settings_dialog/settings_dialog.h"
#include "support/app_fixture.h"
#include "support/settings_dialog_driver.h"

namespace kivora {
namespace {

using testing::AppFixture;
using testing::RunSettingsDialog;

RECT RectIn(HWND control) {
  RECT area{};
  GetWindowRect(control, &area);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&area), 2);
  return area;
}

int FontHeight(HWND control) {
  LOGFONTW face{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(face), &face);
  return face.lfHeight;
}

// The hotkey page's list, the one pane that scrolls.
HWND ScrollingPane(HWND dialog) {
  HWND found = nullptr;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpW(name, L"KivoraSettingsPane") != 0 || !(GetWindowLongW(child, GWL_STYLE) & WS_VSCROLL)) return TRUE;
        *reinterpret_cast<HWND*>(data) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

SCROLLINFO ScrollOf(HWND dialog) {
  SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(ScrollingPane(dialog), SB_VERT, &info);
  return info;
}

bool IsComboBox(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  CharLowerW(name);
  return wcsstr(name, L"combobox") != nullptr;  // the class name may carry the controls' version
}

// Every control's place within its parent and its font, the section list's item
// height, the list's scroll range and position.
struct Reading {
  std::map<HWND, RECT> places;
  std::map<HWND, int> fonts;
  std::set<HWND> comboBoxes;
  int itemHeight = 0;
  SCROLLINFO scroll{};
};

Reading Read(HWND dialog) {
  Reading reading;
  struct Walk {
    Reading* reading;
  } walk{&reading};
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        Reading& r = *reinterpret_cast<Walk*>(data)->reading;
        r.places[child] = RectIn(child);
        r.fonts[child] = FontHeight(child);
        if (IsComboBox(child)) r.comboBoxes.insert(child);
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, L"ListBox") == 0) r.itemHeight = static_cast<int>(SendMessageW(child, LB_GETITEMHEIGHT, 0, 0));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&walk));
  reading.scroll = ScrollOf(dialog);
  return reading;
}


RECT Scaled(RECT area, int dpi) { return {MulDiv(area.left, dpi, 96), MulDiv(area.top, dpi, 96), MulDiv(area.right, dpi, 96), MulDiv(area.bottom, dpi, 96)}; }

std::string Text(RECT area) {
  return std::to_string(area.left) + "," + std::to_string(area.top) + "," + std::to_string(area.right) + "," +
         std::to_string(area.bottom);
}

void MoveTo(HWND dialog, int dpi, int fromDpi) {
  RECT outer{};
  GetWindowRect(dialog, &outer);
  RECT suggested{outer.left, outer.top, outer.left + MulDiv(outer.right - outer.left, dpi, fromDpi),
                 outer.top + MulDiv(outer.bottom - outer.top, dpi, fromDpi)};
  SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  RECT now{};
  GetWindowRect(dialog, &now);
  EXPECT_TRUE(EqualRect(&now, &suggested)) << "the dialog did not take the system's rectangle at " << dpi;
}

// Each move places everything from the 96-DPI layout, not from the last move's
// rounded places or from the font the dialog was made with.
TEST(SettingsDialog, ThreeMovesBetweenDpisGiveEachTheSizesOfItsOwnAndComeBackExactly) {
  AppFixture fixture;
  static Reading at96, at144, at192, back;
  const std::vector<testing::DialogStep> steps{[](HWND dialog) {
    // Scrolled down two lines first: the offset scales with the rest.
    SendMessageW(ScrollingPane(dialog), WM_VSCROLL, SB_LINEDOWN, 0);
    SendMessageW(ScrollingPane(dialog), WM_VSCROLL, SB_LINEDOWN, 0);
    at96 = Read(dialog);
    MoveTo(dialog, 144, 96);
    at144 = Read(dialog);
    MoveTo(dialog, 192, 144);
    at192 = Read(dialog);
    MoveTo(dialog, 96, 192);
    back = Read(dialog);
    return true;
  }};
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps), steps.size());

  ASSERT_GT(at96.scroll.nPos, 0);
  ASSERT_GT(at96.places.size(), 100u) << "the hotkey rows are there";
  const int ok96 = at96.fonts.begin()->second;
  for (const auto& [dpi, reading] : {std::pair<int, const Reading&>{144, at144}, {192, at192}}) {
    EXPECT_EQ(reading.scroll.nMax + 1, MulDiv(at96.scroll.nMax + 1, dpi, 96)) << dpi;
    EXPECT_EQ(reading.scroll.nPos, MulDiv(at96.scroll.nPos, dpi, 96)) << dpi;
    EXPECT_NEAR(reading.itemHeight, MulDiv(at96.itemHeight, dpi, 96), 2) << "the section list's rows at " << dpi;
    for (const auto& [control, place] : at96.places) {
      RECT expected = Scaled(place, dpi);
      const RECT& now = reading.places.at(control);
      // A drop-down list's closed height follows its font: the system sets it.
      if (at96.comboBoxes.count(control)) expected.bottom = now.bottom;
      EXPECT_TRUE(EqualRect(&now, &expected)) << dpi << ": " << Text(now) << " against " << Text(expected);
      EXPECT_EQ(reading.fonts.at(control), MulDiv(at96.fonts.at(control), dpi, 96)) << dpi;
    }
  }
  EXPECT_EQ(ok96, back.fonts.begin()->second);
  EXPECT_EQ(back.itemHeight, at96.itemHeight);
  EXPECT_EQ(back.scroll.nPos, at96.scroll.nPos);
  for (const auto& [control, place] : at96.places) {
    EXPECT_TRUE(EqualRect(&back.places.at(control), &place)) << Text(back.places.at(control)) << " came back from " << Text(place);
    EXPECT_EQ(back.fonts.at(control), at96.fonts.at(control));
  }
}

// A fine wheel or a touchpad sends a fraction of a notch at a time: the fractions add up.
TEST(SettingsDialog, FineWheelStepsAddUpToWhatWholeNotchesScroll) {
  AppFixture fixture;
  static int wholeNotch, thirds, back;
  const std::vector<testing::DialogStep> steps{[](HWND dialog) {
    HWND pane = ScrollingPane(dialog);
    SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    wholeNotch = ScrollOf(dialog).nPos;
    for (int step = 0; step < 6; ++step) SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA / 3)), 0);
    thirds = ScrollOf(dialog).nPos;
    for (int step = 0; step < 36; ++step) SendMessageW(pane, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA / 12)), 0);
    back = ScrollOf(dialog).nPos;
    return true;
  }};
  ASSERT_EQ(RunSettingsDialog(fixture.hwnd(), steps), steps.size());
  EXPECT_GT(wholeNotch, 0);
  EXPECT_EQ(thirds, 3 * wholeNotch) << "six thirds of a notch after one notch";
  EXPECT_EQ(back, 0) << "thirty-six twelfths of a notch back up";
}

}  // namespace
}  // namespace kivora

// The settings dialog moved to a monitor of twice the DPI while it is open: the
// session stays at 96 DPI, so the move is the message the system sends for it.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "settings_dialog/settings_dialog.h"
#include "support/app_fixture.h"

namespace kivora {
namespace {

using testing::AppFixture;

RECT RectIn(HWND control, HWND window) {
  RECT area{};
  GetWindowRect(control, &area);
  MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&area), 2);
  return area;
}

int FontHeight(HWND control) {
  LOGFONTW face{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(face), &face);
  return face.lfHeight;
}

// The hotkey page's list, the one pane that scrolls: its scroll range.
int ScrollRange(HWND dialog) {
  struct Found {
    HWND pane = nullptr;
  } found;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpW(name, L"KivoraSettingsPane") == 0 && (GetWindowLongW(child, GWL_STYLE) & WS_VSCROLL)) {
          reinterpret_cast<Found*>(data)->pane = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  SCROLLINFO info{sizeof(info), SIF_RANGE, 0, 0, 0, 0, 0};
  return found.pane && GetScrollInfo(found.pane, SB_VERT, &info) ? info.nMax + 1 : 0;
}

struct Reading {
  RECT ok;
  int font;
  int scrollRange;
  RECT outer;
};

Reading Read(HWND dialog) {
  Reading reading{RectIn(GetDlgItem(dialog, IDOK), dialog), FontHeight(GetDlgItem(dialog, IDOK)), ScrollRange(dialog),
                  {}};
  GetWindowRect(dialog, &reading.outer);
  return reading;
}

TEST(SettingsDialog, MovedToTwiceTheDpiEveryControlAndItsFontAndTheScrollingListDouble) {
  AppFixture fixture;
  static Reading before, after;
  static RECT suggested;
  static bool done;
  done = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
    if (!dialog || done) return;
    done = true;
    before = Read(dialog);
    suggested = {before.outer.left, before.outer.top, before.outer.left + 2 * (before.outer.right - before.outer.left),
                 before.outer.top + 2 * (before.outer.bottom - before.outer.top)};
    SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    after = Read(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  SendMessageW(fixture.hwnd(), WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(done);

  EXPECT_TRUE(EqualRect(&after.outer, &suggested));
  const RECT doubled{2 * before.ok.left, 2 * before.ok.top, 2 * before.ok.right, 2 * before.ok.bottom};
  EXPECT_TRUE(EqualRect(&after.ok, &doubled)) << after.ok.left << "," << after.ok.top << "," << after.ok.right << ","
                                              << after.ok.bottom;
  EXPECT_EQ(after.font, 2 * before.font);
  ASSERT_GT(before.scrollRange, 0);
  EXPECT_EQ(after.scrollRange, 2 * before.scrollRange);
}

}  // namespace
}  // namespace kivora

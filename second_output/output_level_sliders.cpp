#include "second_output/output_level_sliders.h"

#include <commctrl.h>

#include <string>

#include "base/window_procedure_guard.h"

namespace kivora {
namespace {

constexpr UINT_PTR kPageSubclassId = 0x5E7;
constexpr int kRowHeight = 26;
// The two rows stand side by side, each in half the page's width.
constexpr int kLabelWidth = 84, kSliderWidth = 130, kPercentWidth = 40, kColumnWidth = 264;

struct LevelRow {
  const wchar_t* label;
  int OutputLevelPair::*level;
};
constexpr LevelRow kRows[] = {
    {L"耳机音量(&H)", &OutputLevelPair::monitor},
    {L"直播音量(&B)", &OutputLevelPair::broadcast},
};

}  // namespace

OutputLevelSliders::~OutputLevelSliders() {
  if (page_) RemoveWindowSubclass(page_, PageProc, kPageSubclassId);
}

void OutputLevelSliders::Create(SettingsPane& page, int top) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  for (size_t index = 0; index < rows_.size(); ++index) {
    const int y = top;
    const int x = static_cast<int>(index) * kColumnWidth;
    page.Add(L"STATIC", kRows[index].label, SS_LEFT | SS_CENTERIMAGE, {x, y, x + kLabelWidth, y + kRowHeight});
    Row& row = rows_[index];
    row.slider = page.Add(TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS,
                          {x + kLabelWidth, y, x + kLabelWidth + kSliderWidth, y + kRowHeight});
    SendMessageW(row.slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    SendMessageW(row.slider, TBM_SETPAGESIZE, 0, 5);
    SendMessageW(row.slider, TBM_SETPOS, TRUE, shown_.*kRows[index].level);
    row.percent = page.Add(L"STATIC", L"", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX,
                           {x + kLabelWidth + kSliderWidth + 4, y, x + kLabelWidth + kSliderWidth + 4 + kPercentWidth, y + kRowHeight});
    ShowPercent(row);
  }
  page_ = page.Handle();
  SetWindowSubclass(page_, PageProc, kPageSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void OutputLevelSliders::Apply() {
  if (!rows_[0].slider) return;
  OutputLevelPair levels;
  for (size_t index = 0; index < rows_.size(); ++index) levels.*kRows[index].level = Position(rows_[index]);
  levels_.Set(levels);
}

LRESULT CALLBACK OutputLevelSliders::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<OutputLevelSliders*>(data);
  return GuardWindowProcedure(
      [&]() -> LRESULT {
        if (message == WM_HSCROLL) {
          for (const Row& row : self->rows_) {
            if (reinterpret_cast<HWND>(lParam) == row.slider) self->ShowPercent(row);
          }
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
      },
      [&] { return DefSubclassProc(hwnd, message, wParam, lParam); });
}

void OutputLevelSliders::ShowPercent(const Row& row) {
  SetWindowTextW(row.percent, (std::to_wstring(Position(row)) + L"%").c_str());
}

int OutputLevelSliders::Position(const Row& row) const {
  return static_cast<int>(SendMessageW(row.slider, TBM_GETPOS, 0, 0));
}

}  // namespace kivora

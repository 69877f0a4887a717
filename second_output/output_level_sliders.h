// The two sliders of section "输出" for 耳机音量 and 直播音量, each with its
// percentage beside it, on a page another section owns. 确定 sets the levels.
// UI thread only.
#pragma once

#include <windows.h>

#include <array>

#include "second_output/output_levels.h"
#include "settings_dialog/settings_pane.h"

namespace kivora {

class OutputLevelSliders {
 public:
  explicit OutputLevelSliders(OutputLevels& levels) : levels_(levels), shown_(levels.Levels()) {}
  ~OutputLevelSliders();
  OutputLevelSliders(const OutputLevelSliders&) = delete;
  OutputLevelSliders& operator=(const OutputLevelSliders&) = delete;

  // The sliders on page, from top (units at 96 DPI) down.
  void Create(SettingsPane& page, int top);
  void Apply();

 private:
  struct Row {
    HWND slider = nullptr;
    HWND percent = nullptr;
  };
  // The page's WM_HSCROLL, which the sliders send as they move.
  static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data) noexcept;
  void ShowPercent(const Row& row);
  int Position(const Row& row) const;

  OutputLevels& levels_;
  OutputLevelPair shown_;
  HWND page_ = nullptr;
  std::array<Row, 2> rows_{};  // 耳机音量, 直播音量
};

}  // namespace kivora

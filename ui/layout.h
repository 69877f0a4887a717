// The main window described as data: every control with its layout name, kind,
// parent page, geometry, caption and flags. One loop creates them all.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace kivora::ui {

enum class ControlKind { PushButton, PictureButton, Label, Slider, CheckBox, TabControl, PictureBox, HyperlinkLabel };

enum class TextAlign { Left, Center };

inline constexpr int kOnWindow = -1;  // page of a control placed directly on the window

struct ControlSpec {
  std::wstring name;
  ControlKind kind;
  int page = kOnWindow;  // kOnWindow, or the tab page 0..4 (then left/top are relative to the tab control)
  int left = 0, top = 0, width = 0, height = 0;
  std::wstring caption = {};
  bool tabStop = false;
  bool disabled = false;
  bool wordWrap = false;  // labels: word-wrapped text instead of one centred line
};

struct WindowSpec {
  std::wstring_view title = L"Kivora";
  int outerWidth = 397;
  int outerHeight = 305;
};

// Page titles of the tab control, in index order.
inline constexpr std::wstring_view kPageTitles[] = {L"主持", L"喊麦", L"游戏", L"自定义", L"说明"};
inline constexpr int kPageCount = 5;
inline constexpr int kInstructionsPage = 4;
inline constexpr int kCustomPage = 3;
inline constexpr int kCustomSlotCount = 20;

inline constexpr std::wstring_view kEmptySlotCaption = L"添加音效..";
inline constexpr std::wstring_view kShortLinkAddress = L"https://kivora.link/s/sponsor";

// Every control in z-order: a control listed earlier lies above one listed later.
const std::vector<ControlSpec>& MainWindowLayout();

// Where a control lies in the window's client area at dpi: every number of the table
// (the control's and, for a page control, the tab control's corner) is scaled on its
// own, so at 96 DPI the rectangle is the table's to the pixel.
RECT ControlRectAt(const ControlSpec& spec, int dpi);

// The window's outer size at dpi.
SIZE OuterSizeAt(int dpi);

// Name of custom slot n (1..20): "按钮" followed by n.
std::wstring CustomSlotName(int n);

// The left/top of grid cell (row, column), both 0-based, relative to the tab control.
struct GridCell { int left, top; };
GridCell ButtonGridCell(int row, int column);
inline constexpr int kGridButtonWidth = 70;
inline constexpr int kGridButtonHeight = 35;

// The text of the instructions page.
std::wstring InstructionsText();

}  // namespace kivora::ui

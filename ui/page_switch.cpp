#include "ui/page_switch.h"

#include <array>

#include "ui/main_window.h"

namespace kivora::ui {
namespace {

struct PageSizes {
  int tabHeight;
  int instructionsHeight;
  bool volumeRowShown;
};

constexpr PageSizes kInstructionsSizes{238, 208, false};
constexpr PageSizes kSoundPageSizes{202, 172, true};

// Always set in this order.
constexpr std::array<std::wstring_view, 5> kVolumeRow = {L"按钮21", L"按钮22", L"标签2", L"滑块条1", L"标签1"};

}  // namespace

void ApplyPageLayout(MainWindow& window) {
  const PageSizes& sizes = window.CurrentPage() == kInstructionsPage ? kInstructionsSizes : kSoundPageSizes;
  window[L"选择夹1"].SetHeight(sizes.tabHeight);
  window[L"标签3"].SetHeight(sizes.instructionsHeight);
  for (std::wstring_view name : kVolumeRow) window[name].SetVisible(sizes.volumeRowShown);
}

}  // namespace kivora::ui

#include "ui/page_switch.h"

#include <array>

#include "base/dpi.h"
#include "ui/control_names.h"
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
constexpr std::array<std::wstring_view, 5> kVolumeRow = {kPauseButton, kMuteButton, kVolumeLabel, kVolumeSlider,
                                                         kVolumeCaption};

}  // namespace

void ApplyPageLayout(MainWindow& window) {
  const PageSizes& sizes = window.CurrentPage() == kInstructionsPage ? kInstructionsSizes : kSoundPageSizes;
  window[kPageTabs].SetHeight(ScaleToDpi(sizes.tabHeight, window.Dpi()));
  window[kInstructionsLabel].SetHeight(ScaleToDpi(sizes.instructionsHeight, window.Dpi()));
  for (std::wstring_view name : kVolumeRow) window[name].SetVisible(sizes.volumeRowShown);
}

}  // namespace kivora::ui

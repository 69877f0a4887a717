#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "ui/control_kinds.h"

namespace kivora::ui {
namespace {

constexpr int kTrackMinimum = 0;
constexpr int kTrackMaximum = 100;

}  // namespace

// Every step of a drag, a key or a click on the track changes the position; the
// end of a drag does not.
void Slider::OnScroll(WORD code) {
  if (code != TB_ENDTRACK) FireIfBound(Events().changed);
}

int Slider::TrackPosition() const { return static_cast<int>(SendMessageW(Handle(), TBM_GETPOS, 0, 0)); }

void Slider::SetTrackPosition(int position) {
  SendMessageW(Handle(), TBM_SETPOS, TRUE, std::clamp(position, kTrackMinimum, kTrackMaximum));
}

}  // namespace kivora::ui

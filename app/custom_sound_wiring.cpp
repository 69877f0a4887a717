// The custom sounds beyond their buttons: files dropped on the window, the
// loudness matching that measures each slot's file and levels it, and the trim
// that goes with a slot's file.
#include <windows.h>

#include <memory>

#include "app/app.h"
#include "ui/layout.h"

namespace kivora {
namespace {

// The custom slot whose button lies under a screen point; 0 for none.
int SlotAt(ui::MainWindow& window, POINT screen) {
  for (int slot = 1; slot <= ui::kCustomSlotCount; ++slot) {
    HWND button = window[ui::CustomSlotName(slot)].Handle();
    RECT area{};
    if (button && IsWindowVisible(button) && GetWindowRect(button, &area) && PtInRect(&area, screen)) return slot;
  }
  return 0;
}

}  // namespace

void App::StartCustomSoundExtras() {
  loudness_.Restore(saved_.loudness, saved_.slotPaths);
  // From the event loop, so that the window is up before the worker starts.
  window_.Post([this] { loudness_.MeasureUnmeasured(); });
  slots_.Watch({[this](int slot, const std::wstring& path) {
                  loudness_.SlotChanged(slot, path);
                  remote_.SlotChanged(slot);
                  soundShapes_.FileChanged(ui::CustomSlotName(slot));
                },
                [this](int slot) { loudness_.SlotPlaying(slot); }});
  // Only the custom page takes files; elsewhere the pointer shows a refusal.
  drop_ = std::make_unique<FileDropTarget>(
      window_.Handle(), [this](POINT) { return window_.CurrentPage() == ui::kCustomPage; },
      [this](std::vector<std::wstring> files, POINT at) {
        if (window_.CurrentPage() == ui::kCustomPage) slots_.OnDrop(files, SlotAt(window_, at));
      },
      [this](std::function<void()> later) { window_.Post(std::move(later)); });
}

void App::StopCustomSoundExtras() { drop_.reset(); }

}  // namespace kivora

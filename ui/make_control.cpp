#include "ui/control_kinds.h"

namespace kivora::ui {

std::unique_ptr<Control> MakeControl(const ControlSpec& spec, HWND handle, const int& currentPage) {
  switch (spec.kind) {
    case ControlKind::PushButton: return std::make_unique<PushButton>(spec, handle, currentPage);
    case ControlKind::PictureButton: return std::make_unique<PictureButton>(spec, handle, currentPage);
    case ControlKind::CheckBox: return std::make_unique<CheckBox>(spec, handle, currentPage);
    case ControlKind::Slider: return std::make_unique<Slider>(spec, handle, currentPage);
    case ControlKind::TabControl: return std::make_unique<TabControl>(spec, handle, currentPage);
    case ControlKind::Label: return std::make_unique<Label>(spec, handle, currentPage);
    case ControlKind::HyperlinkLabel: return std::make_unique<HyperlinkLabel>(spec, handle, currentPage);
    case ControlKind::PictureBox: return std::make_unique<PictureBox>(spec, handle, currentPage);
  }
  return std::make_unique<Control>(spec, handle, currentPage);
}

}  // namespace kivora::ui

#include "ontop/always_on_top.h"

namespace kivora {

AlwaysOnTop::AlwaysOnTop(ui::MainWindow& window, SettingsStore& settings) : window_(window), settings_(settings) {}

void AlwaysOnTop::BindEvents() { window_[kAlwaysOnTopBox].Events().clicked = [this] { OnClicked(); }; }

void AlwaysOnTop::OnClicked() {
  const bool ticked = window_.As<ui::CheckBox>(kAlwaysOnTopBox).Checked();
  settings_.WriteAlwaysOnTop(ticked);
  Choose(ticked);
}

void AlwaysOnTop::Restore(const std::wstring& saved) {
  if (saved != L"1" && saved != L"0") return;
  const bool onTop = saved == L"1";
  Choose(onTop);
  window_.As<ui::CheckBox>(kAlwaysOnTopBox).SetChecked(onTop);
}

void AlwaysOnTop::Choose(bool onTop) {
  window_.SetTopmostChoice(onTop);
  window_.SetAlwaysOnTop(onTop);
}

}  // namespace kivora

// The "总是最上" check box: the user's always-on-top choice, kept in the settings
// file and applied to the window.
#pragma once

#include <string>

#include "settings/settings_store.h"
#include "ui/control_names.h"
#include "ui/main_window.h"

namespace kivora {

using ui::kAlwaysOnTopBox;

class AlwaysOnTop {
 public:
  AlwaysOnTop(ui::MainWindow& window, SettingsStore& settings);

  // Binds the box's click.
  void BindEvents();

  // The box was clicked (its tick already changed): save the choice and apply it.
  void OnClicked();

  // At start-up, from the saved text: "1" puts the window on top and ticks the box,
  // "0" clears both, anything else changes nothing.
  void Restore(const std::wstring& saved);

 private:
  void Choose(bool onTop);

  ui::MainWindow& window_;
  SettingsStore& settings_;
};

}  // namespace kivora

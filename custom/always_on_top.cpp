#include "custom/always_on_top.h"

#include "custom/settings_file.h"
#include "ui/main_window.h"

namespace kivora {

void OnAlwaysOnTopClicked(ui::MainWindow& window, const std::wstring& settingsFile) {
  const bool ticked = window[kAlwaysOnTopBox].Checked();
  WriteSetting(settingsFile, std::wstring(kSettingsSection), std::wstring(kAlwaysOnTopKey), ticked ? L"1" : L"0");
  window.SetAlwaysOnTop(ticked);
}

void RestoreAlwaysOnTop(ui::MainWindow& window, const std::wstring& settingsFile) {
  const std::wstring section(kSettingsSection), key(kAlwaysOnTopKey);
  if (ReadSetting(settingsFile, section, key) == L"1") {
    window.SetAlwaysOnTop(true);
    window[kAlwaysOnTopBox].SetChecked(true);
  }
  if (ReadSetting(settingsFile, section, key) == L"0") {
    window.SetAlwaysOnTop(false);
    window[kAlwaysOnTopBox].SetChecked(false);
  }
}

void LiftAlwaysOnTop(ui::MainWindow& window) { window.SetAlwaysOnTop(false); }

void ReapplyAlwaysOnTopIfTicked(ui::MainWindow& window) {
  if (window[kAlwaysOnTopBox].Checked()) window.SetAlwaysOnTop(true);
}

}  // namespace kivora

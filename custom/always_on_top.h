// The "总是最上" check box and the always-on-top state it keeps in the settings file.
#pragma once

#include <string>

namespace kivora::ui {
class MainWindow;
}

namespace kivora {

inline constexpr std::wstring_view kSettingsSection = L"设置";
inline constexpr std::wstring_view kAlwaysOnTopKey = L"最前";
inline constexpr std::wstring_view kAlwaysOnTopBox = L"选择框1";

// The box was clicked (its tick already changed): save the choice and apply it.
void OnAlwaysOnTopClicked(ui::MainWindow& window, const std::wstring& settingsFile);

// At start-up: "1" puts the window on top and ticks the box, "0" clears both,
// anything else changes nothing.
void RestoreAlwaysOnTop(ui::MainWindow& window, const std::wstring& settingsFile);

// Message boxes have no owner, so they could open behind an always-on-top window:
// the state is lifted while one is shown and put back if the box is ticked.
void LiftAlwaysOnTop(ui::MainWindow& window);
void ReapplyAlwaysOnTopIfTicked(ui::MainWindow& window);

}  // namespace kivora

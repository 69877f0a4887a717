// The settings dialog's section "响度": one check box, "音量均衡", that turns
// loudness matching of the custom sounds on or off when the dialog is confirmed.
#pragma once

#include <string_view>

#include "loudness/loudness_matching.h"
#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

inline constexpr std::wstring_view kLoudnessSectionTitle = L"响度";
inline constexpr std::wstring_view kLoudnessCheckBoxText = L"音量均衡";

class LoudnessSection final : public SettingsSection {
 public:
  explicit LoudnessSection(LoudnessMatching& matching) : matching_(matching) {}

  std::wstring_view Title() const override { return kLoudnessSectionTitle; }
  void Create(SettingsPane& page) override;
  void Apply() override;

 private:
  LoudnessMatching& matching_;
  HWND checkBox_ = nullptr;
};

}  // namespace kivora

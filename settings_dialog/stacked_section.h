// Two sections on one page, one above the other, under the upper one's title: a
// feature adds its rows to a page another feature owns without either knowing the
// other. Each part lays itself out on a pane of its own; the lower one starts at
// lowerTop (units at 96 DPI). 确定, 取消 and every check go to both, upper first.
#pragma once

#include <memory>

#include "settings_dialog/settings_pane.h"
#include "settings_dialog/settings_section.h"

namespace kivora {

class StackedSection final : public SettingsSection {
 public:
  StackedSection(std::unique_ptr<SettingsSection> upper, std::unique_ptr<SettingsSection> lower, int lowerTop)
      : upper_(std::move(upper)), lower_(std::move(lower)), lowerTop_(lowerTop) {}

  std::wstring_view Title() const override { return upper_->Title(); }
  void Create(SettingsPane& page) override {
    upperPane_ = std::make_unique<SettingsPane>(page.Handle(), RECT{0, 0, page.Width(), lowerTop_}, *upper_);
    upper_->Create(*upperPane_);
    lowerPane_ = std::make_unique<SettingsPane>(page.Handle(), RECT{0, lowerTop_, page.Width(), page.Height()}, *lower_);
    lower_->Create(*lowerPane_);
  }
  bool Validate() override { return upper_->Validate() && lower_->Validate(); }
  void Apply() override {
    upper_->Apply();
    lower_->Apply();
  }
  void Cancel() override {
    upper_->Cancel();
    lower_->Cancel();
  }

 private:
  std::unique_ptr<SettingsSection> upper_, lower_;
  int lowerTop_;
  // Destroyed before the sections whose controls they hold.
  std::unique_ptr<SettingsPane> upperPane_, lowerPane_;
};

}  // namespace kivora

// One section of the settings dialog: a title in the dialog's list and a page of
// controls. The dialog makes a fresh set of sections each time it opens, so a
// section holds only what the user has changed since then.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

namespace kivora {

class SettingsPane;

class SettingsSection {
 public:
  virtual ~SettingsSection() = default;

  virtual std::wstring_view Title() const = 0;

  // Makes the section's controls on page, whose client area is the room it has,
  // showing the settings as they are now.
  virtual void Create(SettingsPane& page) = 0;

  // A control the section made reported WM_COMMAND.
  virtual void OnCommand(HWND /*control*/, WORD /*code*/) {}

  // The text colour of one of the section's labels; nothing: the dialog's own.
  virtual std::optional<COLORREF> TextColour(HWND /*label*/) const { return std::nullopt; }

  // 确定 pressed: false keeps the dialog open on this section, which has said why.
  virtual bool Validate() { return true; }
  // After every section validated: the changes are kept and take effect.
  virtual void Apply() = 0;
  // 取消 or Esc: whatever the section tried while open is undone.
  virtual void Cancel() {}
};

}  // namespace kivora

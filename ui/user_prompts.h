// Message boxes go through this interface so that tests can answer them.
#pragma once

#include <windows.h>

#include <string_view>

namespace kivora::ui {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  // Shows a message box without an owner window; returns the button pressed (IDYES, IDOK, ...).
  virtual int Show(std::wstring_view text, std::wstring_view caption, UINT type) = 0;
};

// The real boxes.
class SystemPrompts final : public UserPrompts {
 public:
  int Show(std::wstring_view text, std::wstring_view caption, UINT type) override;
};

}  // namespace kivora::ui

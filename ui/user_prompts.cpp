#include "ui/user_prompts.h"

#include <string>

namespace kivora::ui {

int SystemPrompts::Show(std::wstring_view text, std::wstring_view caption, UINT type) {
  return MessageBoxW(nullptr, std::wstring(text).c_str(), std::wstring(caption).c_str(), type);
}

}  // namespace kivora::ui

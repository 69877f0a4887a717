// Opening a web address in the user's browser, behind an interface so that tests
// can record the address instead of starting a browser.
#pragma once

#include <string_view>

namespace kivora {

class WebOpener {
 public:
  virtual ~WebOpener() = default;
  virtual void Open(std::wstring_view address) = 0;
};

// Hands the address to the shell with the verb "open".
class ShellWebOpener final : public WebOpener {
 public:
  void Open(std::wstring_view address) override;
};

}  // namespace kivora

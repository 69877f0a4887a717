#include "decor/web_opener.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace kivora {

void ShellWebOpener::Open(std::wstring_view address) {
  ShellExecuteW(nullptr, L"open", std::wstring(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace kivora

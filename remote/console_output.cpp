#include "remote/console_output.h"

#include <windows.h>

#include <string>

namespace kivora::remote {
namespace {

// The inherited handle (a file or pipe the output was redirected to), or the
// parent's console once attached to it.
HANDLE OutputHandle(bool error) {
  const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
  HANDLE handle = GetStdHandle(which);
  if (handle && handle != INVALID_HANDLE_VALUE) return handle;
  static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
  if (!attached) return nullptr;
  static HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
  return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

}  // namespace

void WriteOut(std::string_view utf8, bool error) {
  HANDLE handle = OutputHandle(error);
  if (!handle) return;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A console shows UTF-16 whatever its code page.
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  size_t done = 0;
  while (done < utf8.size()) {
    DWORD written = 0;
    if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written, nullptr) || !written) {
      return;
    }
    done += written;
  }
}

}  // namespace kivora::remote

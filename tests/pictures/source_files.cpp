#include "source_files.h"

#include <windows.h>

#include <memory>

namespace kivora::test {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OpenForReading(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// CTest and the compiler hand us Unix paths when the tests run under Wine; Wine
// itself knows which drive letter reaches them.
std::wstring ToWindowsPath(const std::wstring& path) {
  if (path.empty() || path[0] != L'/') return path;
  using UnixToDos = wchar_t*(__cdecl*)(const char*);
  const auto unixToDos = reinterpret_cast<UnixToDos>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (!unixToDos) return path;
  const std::string narrow(path.begin(), path.end());  // our source paths are ASCII
  wchar_t* dos = unixToDos(narrow.c_str());
  if (!dos) return path;
  std::wstring result(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return result;
}

std::wstring SourceRoot() {
  std::wstring root = EnvironmentVariable(L"KIVORA_SOURCE_DIR");
  if (root.empty()) {
    // This file is <root>/tests/pictures/source_files.cpp.
    const std::string self = __FILE__;
    std::wstring path(self.begin(), self.end());
    for (int level = 0; level < 3; ++level) {
      const size_t separator = path.find_last_of(L"/\\");
      if (separator == std::wstring::npos) return {};
      path.resize(separator);
    }
    root = path;
  }
  return ToWindowsPath(root);
}

}  // namespace

std::vector<unsigned char> ReadSourceFile(const std::wstring& relativePath) {
  const std::wstring path = SourceRoot() + L"\\" + relativePath;
  const FileHandle file = OpenForReading(path);
  if (!file) return {};
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return {};
  std::vector<unsigned char> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    return {};
  }
  return bytes;
}

}  // namespace kivora::test

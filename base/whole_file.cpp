#include "base/whole_file.h"

#include <windows.h>

#include <algorithm>

#include "base/unique_handle.h"

namespace kivora {
namespace {

// WriteFile takes a 32-bit count; larger bodies go in pieces.
constexpr size_t kLargestWrite = 64u << 20;

}  // namespace

bool WriteAllBytes(HANDLE file, std::span<const unsigned char> bytes) {
  while (!bytes.empty()) {
    DWORD piece = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

bool WriteWholeFile(const std::wstring& path, std::span<const unsigned char> bytes) {
  if (path.empty()) return false;
  KernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && WriteAllBytes(file.Get(), bytes);
}

}  // namespace kivora

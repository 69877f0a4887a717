#include "base/long_path.h"

#include <algorithm>
#include <cwctype>

namespace kivora {
namespace {

constexpr size_t kPlainPathLimit = 260;  // MAX_PATH, terminating zero included

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < kPlainPathLimit) return path;
  const bool drive = path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && IsSeparator(path[2]);
  const bool share = IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != L'?' && path[2] != L'.';
  if (!drive && !share) return path;
  std::wstring canonical = path;
  std::replace(canonical.begin(), canonical.end(), L'/', L'\\');
  return drive ? L"\\\\?\\" + canonical : L"\\\\?\\UNC\\" + canonical.substr(2);
}

}  // namespace kivora

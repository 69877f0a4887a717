// Reads files from the source tree, so that tests can check what is committed.
#pragma once

#include <string>
#include <vector>

namespace kivora::test {

// Contents of a file given relative to the source root (e.g. L"assets/app_icon.ico").
// The root comes from KIVORA_SOURCE_DIR (set by CTest) or, when the test program
// is started by hand, from where this file was compiled. Empty if unreadable.
std::vector<unsigned char> ReadSourceFile(const std::wstring& relativePath);

}  // namespace kivora::test

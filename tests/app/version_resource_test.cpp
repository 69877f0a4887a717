// What Explorer's Properties shows of Kivora.exe: the version from VERSION, the
// product name and description, read back with the system's own calls.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::wstring StringValue(const std::vector<BYTE>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
  return value;
}

TEST(VersionResource, KivoraShowsItsVersionNameAndDescription) {
  const char* exe = std::getenv("KIVORA_EXE");
  const char* source = std::getenv("KIVORA_SOURCE_DIR");
  ASSERT_TRUE(exe && source) << "run by CTest, which names the program and the source folder";
  std::string version;
  std::ifstream(std::string(source) + "/VERSION") >> version;
  ASSERT_FALSE(version.empty());

  const std::wstring path(exe, exe + std::char_traits<char>::length(exe));
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<BYTE> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

  EXPECT_EQ(StringValue(block, L"ProductName"), L"Kivora");
  EXPECT_EQ(StringValue(block, L"FileVersion"), std::wstring(version.begin(), version.end()));
  EXPECT_EQ(StringValue(block, L"ProductVersion"), std::wstring(version.begin(), version.end()));
  EXPECT_FALSE(StringValue(block, L"FileDescription").empty());
  EXPECT_FALSE(StringValue(block, L"LegalCopyright").empty());

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, version);
}

}  // namespace

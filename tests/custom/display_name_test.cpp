// The name a sound is shown under, against the system's own ANSI path functions
// on the GBK bytes of the same paths (the table of examples is in
// display_name_examples_test.cpp, which also builds natively).
#include <windows.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <string>

#include "base/gbk_text.h"
#include "custom/display_name.h"

namespace kivora {
namespace {

// What the ANSI functions give for the same path under code page 936: the
// component from PathFindFileNameA, empty when it ends in a backslash (found
// with CharNextA, which knows the GBK lead bytes), else cut at
// PathFindExtensionA.
std::wstring SystemDisplayName(const std::wstring& path) {
  const std::string bytes = ToGbk(path);
  const char* name = PathFindFileNameA(bytes.c_str());
  const char* last = nullptr;
  for (const char* p = name; *p; p = CharNextA(p)) last = p;
  if (last && *last == '\\') return {};
  const char* extension = PathFindExtensionA(name);
  return FromGbk(std::string(name, extension));
}

TEST(DisplayName, AgreesWithTheSystemPathFunctionsUnderCodePage936) {
  ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8 so that the ANSI code page is GBK";
  // 乗 815C, 俓 825C, 嘰 875C, 癨 B05C and 圽 885C end in '\\'; 乚 815D ends
  // in ']'; 表 B1ED and 声 C9F9 do not, and are here as ordinary characters.
  const wchar_t* paths[] = {
      L"D:\\音效\\掌声.mp3",
      L"D:\\乗\\乗乗.mp3",
      L"D:\\乗",
      L"D:\\俓.嘰",
      L"D:\\癨\\",
      L"D:\\a\\圽",
      L"D:\\a\\圽 .mp3",
      L"乗:乗",
      L"表\\声.wav",
      L"D:\\乚.乗\\x",
      L"D:\\sounds\\",
      L"D:\\sounds\\\\",
      L"D:\\sounds//",
      L"D:\\sounds\\/clip.mp3",
      L"D:/sounds/clip.mp3",
      L"D:clip.mp3",
      L"D:",
      L"C:\\",
      L"\\",
      L"/",
      L":",
      L"::x",
      L"\\\\server\\share\\clip.mp3",
      L"D:\\my.folder\\clip",
      L"D:\\my.folder\\clip.",
      L"D:\\sounds\\.mp3",
      L"D:\\sounds\\..",
      L"D:\\sounds\\take.2 final",
      L"D:\\sounds\\take.2 final.mp3",
      L"D:\\sounds\\a .b",
      L"D:\\sounds\\a. b",
      L"D:\\sounds\\clip.mp3 ",
      L"D:\\sounds\\.",
      L"D:\\s.d\\",
      L"clip",
      L"",
  };
  for (const wchar_t* path : paths) {
    EXPECT_EQ(DisplayNameOf(path), SystemDisplayName(path)) << path;
  }
}

}  // namespace
}  // namespace kivora

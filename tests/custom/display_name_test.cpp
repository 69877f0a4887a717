// The name a sound is shown under, against a table and against the system's
// own ANSI path functions on the GBK bytes of the same paths.
#include <windows.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <string>

#include "base/gbk_text.h"
#include "custom/display_name.h"

namespace kivora {
namespace {

TEST(DisplayName, Examples) {
  struct Case {
    const wchar_t* path;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"D:\\sounds\\clip.mp3", L"clip"},
      {L"D:\\sounds\\a.b.mp3", L"a.b"},
      {L"D:\\sounds\\clip", L"clip"},
      {L"D:\\sounds\\take.2 final", L"take.2 final"},
      {L"D:\\sounds\\", L""},
      {L"D:\\sounds\\.mp3", L""},
      {L"D:\\音效\\掌声.mp3", L"掌声"},
      {L"clip.mp3", L"clip"},
      {L"", L""},
      {L"D:/sounds/clip.wav", L"clip"},
      {L"D:clip.wav", L"clip"},
      {L"D:\\my.folder\\clip", L"clip"},
      {L"D:\\sounds//clip.mp3", L"clip"},
      // The trail byte of 乗 is '\\': it is neither a separator nor the end of
      // a folder name.
      {L"D:\\乗\\乗乗.mp3", L"乗乗"},
      {L"D:\\sounds\\乗", L"乗"},
      // Characters GBK cannot hold stay as they are.
      {L"D:\\sounds\\🎵 tune.mp3", L"🎵 tune"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DisplayNameOf(c.path), c.expected) << c.path;
  }
}

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

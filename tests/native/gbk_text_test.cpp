// The native GBK conversion agrees with code page 936 on the bytes the settings
// file and the length rules depend on, and the length rule cuts whole characters.
#include <gtest/gtest.h>

#include <string>

#include "base/gbk_text.h"

namespace kivora {
namespace {

TEST(NativeGbk, ConvertsBothWaysAndMarksWhatItCannotHold) {
  const struct {
    const wchar_t* text;
    const char* gbk;
    bool fits;
  } cases[] = {
      {L"设置", "\xC9\xE8\xD6\xC3", true},
      {L"按钮6=", "\xB0\xB4\xC5\xA5" "6=", true},
      {L"乗", "\x81\x5C", true},  // its trail byte is a backslash
      {L"박수", "??", false},
      {L"🎵", "?", false},
      {L"", "", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToGbk(c.text), c.gbk) << c.gbk;
    EXPECT_EQ(FitsGbk(c.text), c.fits) << c.gbk;
    if (c.fits) EXPECT_EQ(FromGbk(c.gbk), c.text) << c.gbk;
  }
  EXPECT_EQ(FromGbk("a\xFF" "b\xC9"), L"a\uFFFDb\uFFFD") << "bytes that start no character";
}

TEST(NativeGbk, TruncationKeepsWholeCharactersWithinTheByteLimit) {
  const struct {
    const wchar_t* text;
    size_t maxBytes;
    const wchar_t* kept;
  } cases[] = {
      {L"欢迎使用Kivora！", 62, L"欢迎使用Kivora！"},
      {L"欢迎使用Kivora！", 15, L"欢迎使用Kivora"},
      {L"欢迎使用Kivora！", 3, L"欢"},
      {L"a🎵b", 2, L"a🎵"},
      {L"abc", 0, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(TruncateToGbkBytes(c.text, c.maxBytes), c.kept) << c.maxBytes;
}

}  // namespace
}  // namespace kivora

// The name a sound is shown under, against a table of examples. Needs no window
// system: it also runs in the native sanitizer build.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kivora

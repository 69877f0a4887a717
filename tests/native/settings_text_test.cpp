// The settings rules over a file held in memory: UTF-16 names and values in,
// GBK bytes in the file, and a refusal wherever a value would not read back.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/settings_text.h"

namespace kivora {
namespace {

TEST(SettingsText, WritesGbkThatReadsBackAndKeepsTheRestOfTheFile) {
  const std::string file = "; \xD2\xF4\xD0\xA7\n[Custom]\nSound1=D:\\a\\1.mp3\n";
  const std::optional<std::string> written = BytesWithSetting(file, L"设置", L"音量", L"37");
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, file + "[\xC9\xE8\xD6\xC3]\n\xD2\xF4\xC1\xBF=37\n");
  EXPECT_EQ(SettingFromBytes(*written, L"设置", L"音量"), L"37");
  EXPECT_EQ(SettingFromBytes(*written, L"\t 设置", L"\x01音量"), L"37") << "leading controls are skipped";
  EXPECT_EQ(SettingFromBytes(*written, L"custom", L"SOUND1"), L"D:\\a\\1.mp3");
  EXPECT_EQ(BytesWithSetting(*written, L"设置", L"音量", L"37"), written) << "the same value changes nothing";
}

TEST(SettingsText, RefusesWhatWouldNotReadBackTheSame) {
  const std::string file = "[s]\n?=question\n";
  const struct {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  } refused[] = {
      {L"s", L"k", L"D:\\박수.mp3"},  // GBK cannot hold it: '?' would name another file
      {L"s", L"박", L"1"},
      {L"박", L"k", L"1"},
      {L" ", L"k", L"1"},
      {L"s", L"\x1F", L"1"},
      {L"s", L"k", L"a\r\nb=1"},
      {L"s", L"k=v", L"1"},
  };
  for (const auto& r : refused) {
    EXPECT_EQ(BytesWithSetting(file, r.section, r.key, r.value), std::nullopt) << r.key << " " << r.value;
  }
  EXPECT_EQ(SettingFromBytes(file, L"s", L"박"), L"") << "a name outside GBK must not find the '?' key";
}

}  // namespace
}  // namespace kivora

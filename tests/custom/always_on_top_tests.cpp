// The "总是最上" box: a click saves the choice and applies it at once; the next
// start brings it back only for the values 1 and 0.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>

#include "base/gbk_text.h"
#include "settings/settings_file.h"
#include "support/app_fixture.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::AppFixture;

std::wstring SettingsFile() { return AppFixture::SettingsFile(); }

std::wstring OnTopKey() { return ReadSetting(SettingsFile(), L"设置", L"最前"); }

class AlwaysOnTopTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteFileW(SettingsFile().c_str()); }
  void TearDown() override { DeleteFileW(SettingsFile().c_str()); }
};

TEST_F(AlwaysOnTopTest, TickingSavesOneAndRaisesTheWindowUntickingSavesZero) {
  AppFixture fixture;
  EXPECT_FALSE(testing::FileExists(SettingsFile())) << "nothing is written before the user changes something";
  fixture.Click(L"选择框1");
  EXPECT_TRUE(fixture.window().As<ui::CheckBox>(L"选择框1").Checked());
  EXPECT_EQ(OnTopKey(), L"1");
  EXPECT_TRUE(fixture.window().AlwaysOnTop());

  fixture.Click(L"选择框1");
  EXPECT_FALSE(fixture.window().As<ui::CheckBox>(L"选择框1").Checked());
  EXPECT_EQ(OnTopKey(), L"0");
  EXPECT_FALSE(fixture.window().AlwaysOnTop());
}

TEST_F(AlwaysOnTopTest, RestoreAppliesOnlyOneAndZero) {
  struct Case {
    const wchar_t* line;  // the key's line as a hand-edited file may hold it; nullptr: no key
    bool onTop;
  };
  const Case cases[] = {{L"最前=1", true},   {L"最前=0", false},  {L"最前=2", false}, {L"最前=", false},
                        {L"最前 = 1 ", true}, {L"最前=yes", false}, {nullptr, false}};
  for (const Case& c : cases) {
    const std::wstring text = std::wstring(L"[设置]\r\n") + (c.line ? c.line : L"音量=50") + L"\r\n";
    ASSERT_TRUE(testing::WriteFileBytes(SettingsFile(), ToGbk(text)));
    const wchar_t* stored = c.line ? c.line : L"(none)";
    AppFixture fixture(AppFixture::Settings::AsTheyAre);
    EXPECT_EQ(fixture.window().AlwaysOnTop(), c.onTop) << stored;
    EXPECT_EQ(fixture.window().As<ui::CheckBox>(L"选择框1").Checked(), c.onTop) << stored;
  }
}

TEST_F(AlwaysOnTopTest, RestoringTheTickRunsNoHandler) {
  WriteSetting(SettingsFile(), L"设置", L"最前", L"1");
  const std::string before = testing::ReadFileBytes(SettingsFile());
  {
    AppFixture fixture(AppFixture::Settings::AsTheyAre);
    EXPECT_TRUE(fixture.window().As<ui::CheckBox>(L"选择框1").Checked());
    EXPECT_EQ(testing::ReadFileBytes(SettingsFile()), before) << "start-up writes nothing";
  }
}

}  // namespace
}  // namespace kivora

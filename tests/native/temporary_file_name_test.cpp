// Only the exact names a settings write gives its temporary files are taken for
// them: anything else beside the settings file belongs to someone else.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/temporary_file_name.h"

namespace kivora {
namespace {

TEST(TemporaryFileName, IsRecognisedWithItsProcess) {
  for (unsigned long process : {1ul, 4ul, 1234ul, 4294967295ul}) {
    for (int attempt : {0, 7, kTemporaryFileAttempts - 1}) {
      EXPECT_EQ(TemporaryFileOwner(TemporaryFileName(L"设置.ini", process, attempt), L"设置.ini"), process);
    }
  }
}

TEST(TemporaryFileName, AnyOtherNameIsNotOne) {
  const wchar_t* others[] = {
      L"设置.ini",
      L"设置.ini.tmp",
      L"设置.ini.12.tmp",
      L"设置.ini.12-.tmp",
      L"设置.ini.-3.tmp",
      L"设置.ini.12-3",
      L"设置.ini.12-3.tmp.bak",
      L"设置.ini.12-3.TMP",
      L"设置.ini.12-3-4.tmp",
      L"设置.ini.012-3.tmp",
      L"设置.ini.12-03.tmp",
      L"设置.ini.12-100.tmp",
      L"设置.ini.0-3.tmp",
      L"设置.ini.4294967296-3.tmp",
      L"设置.ini.99999999999999999999999-3.tmp",
      L"设置.ini.+12-3.tmp",
      L"设置.ini. 12-3.tmp",
      L"设置.ini.１２-3.tmp",  // full-width digits
      L"设置.ini12-3.tmp",
      L"x设置.ini.12-3.tmp",
      L"设置.INI.12-3.tmp",
      L"其他.ini.12-3.tmp",
  };
  for (const wchar_t* name : others) EXPECT_EQ(TemporaryFileOwner(name, L"设置.ini"), std::nullopt) << name;
  EXPECT_EQ(TemporaryFileOwner(L".12-3.tmp", L""), std::nullopt) << "no target, no temporary file";
}

}  // namespace
}  // namespace kivora

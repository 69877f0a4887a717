// The exit cleanup releases the shell texts once, after everything that used them:
// under AddressSanitizer a second release or a use after it stops the test.
#include <gtest/gtest.h>

#include <vector>

#include "app/shell_texts.h"

namespace kivora {
namespace {

TEST(ExitCleanup, ReleasesTheHeldTextsOnceWhenItGoes) {
  std::vector<int> released;
  {
    ExitCleanup cleanup([&](int count) { released.push_back(count); });
    ShellTexts& texts = cleanup.Texts();
    texts.dataFolder = std::wstring(300, L'd');  // long enough to live on the heap
    texts.pickedFilePath = std::wstring(300, L'p');
    EXPECT_TRUE(released.empty());
  }
  EXPECT_EQ(released, std::vector<int>{2});
}

TEST(ExitCleanup, ReleasesNothingTwice) {
  ShellTexts texts{std::wstring(300, L'd'), std::wstring(300, L'p'), std::wstring(300, L'n')};
  EXPECT_EQ(ReleaseShellTexts(texts), 3);
  EXPECT_EQ(ReleaseShellTexts(texts), 0);
}

}  // namespace
}  // namespace kivora

// Long paths: the manifest's declaration, the extended-length prefix from MAX_PATH
// on, and a file that deep opens.
#include "base/long_path.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "audio/decode/file_byte_source.h"
#include "audio/dsp/file_loudness.h"
#include "custom/sound_file_check.h"
#include "support/sound_bytes.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

TEST(ExtendedLengthPath, PrefixesFullPathsFromMaxPathOnAndLeavesTheRest) {
  const std::wstring tail(300, L'a');
  const struct {
    std::wstring path;
    std::wstring expected;
  } cases[] = {
      {L"C:\\xy\\" + tail.substr(0, 253), L"C:\\xy\\" + tail.substr(0, 253)},  // 259 and the zero: MAX_PATH
      {L"C:\\xyz\\" + tail.substr(0, 253), L"\\\\?\\C:\\xyz\\" + tail.substr(0, 253)},  // one more
      {L"D:/" + tail + L"/b.mp3", L"\\\\?\\D:\\" + tail + L"\\b.mp3"},
      {L"\\\\server\\share\\" + tail, L"\\\\?\\UNC\\server\\share\\" + tail},
      {L"\\\\?\\C:\\" + tail + L"\\c", L"\\\\?\\C:\\" + tail + L"\\c"},  // already in that form
      {L"\\\\.\\pipe\\" + tail, L"\\\\.\\pipe\\" + tail},                // a device
      {L"relative\\" + tail + L"\\c", L"relative\\" + tail + L"\\c"},    // no prefix can help it
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedLengthPath(c.path), c.expected) << c.path.size();
}

// Windows 10 and later lift MAX_PATH for a program that declares itself long-path
// aware (where the system's policy allows it). The test program carries Kivora's manifest.
TEST(ExtendedLengthPath, TheManifestDeclaresLongPathAwareness) {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_TRUE(found);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  const std::string manifest(bytes, SizeofResource(nullptr, found));
  const size_t at = manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true<");
  EXPECT_NE(at, std::string::npos) << manifest;
  EXPECT_LT(manifest.find("<windowsSettings>"), at);
}

// A file dropped from deep folders arrives as a plain path over MAX_PATH: the slot's
// check, the decoder's reading and the measurement all open it.
TEST(ExtendedLengthPath, AFileDeeperThanMaxPathIsCheckedReadAndMeasured) {
  testing::TempFolder folder;
  std::wstring deep = folder.Path();
  for (int level = 0; level < 3; ++level) {
    deep += std::wstring(90, static_cast<wchar_t>(L'a' + level)) + L"\\";
    // A folder left by an earlier run of the same process number is as good.
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::wstring path = deep + L"far.wav";
  ASSERT_GT(path.size(), 260u);
  ASSERT_TRUE(testing::WriteFileBytes(L"\\\\?\\" + path, testing::SilentWave()));
  EXPECT_EQ(CheckSoundFile(path), SoundFileProblem::kNone);
  EXPECT_TRUE(audio::FileByteSource::Open(path));
  EXPECT_TRUE(audio::MeasureFile(path));
}

}  // namespace
}  // namespace kivora

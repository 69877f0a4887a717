// The settings file on disk: UTF-16 in and out, GBK in the file, every call
// going to the file, and writes that either land whole or change nothing.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/settings_file.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::FileExists;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;
using Names = std::vector<std::wstring>;

// Everything in folder but "." and "..", sorted.
Names FolderEntries(const std::wstring& folder) {
  Names names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Another program's handle on the file, open for as long as it lives.
class OtherHandle {
 public:
  OtherHandle(const std::wstring& path, DWORD shareMode)
      : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareMode, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  OtherHandle(const OtherHandle&) = delete;
  OtherHandle& operator=(const OtherHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class SettingsFile : public ::testing::Test {
 protected:
  TempFolder folder_;
  const std::wstring path_ = SettingsFilePath(folder_.Path());
  // Twenty custom sounds and a volume, with a comment and LF line endings:
  // the kind of file a failed write must never cost the user.
  const std::string seed_ =
      "; \xd2\xf4\xd0\xa7\n"  // ; 音效
      "[Custom]\n"
      "Sound1=D:\\a\\1.mp3\n"
      "Sound2=D:\\a\\2.mp3\n"
      "[Options]\n"
      "Volume=80\n";
};

TEST(SettingsFilePath, IsTheDataFolderPlusTheFileName) {
  EXPECT_EQ(SettingsFilePath(L"C:\\Users\\me\\Kivora\\"), L"C:\\Users\\me\\Kivora\\设置.ini");
}

TEST_F(SettingsFile, StoresUtf16TextAsGbkBytes) {
  ASSERT_TRUE(WriteSetting(path_, L"音效", L"声音1", L"D:\\音效\\掌声.mp3"));
  EXPECT_EQ(ReadFileBytes(path_),
            "[\xd2\xf4\xd0\xa7]\r\n"
            "\xc9\xf9\xd2\xf4" "1=D:\\\xd2\xf4\xd0\xa7\\\xd5\xc6\xc9\xf9.mp3\r\n");
  EXPECT_EQ(ReadSetting(path_, L"音效", L"声音1"), L"D:\\音效\\掌声.mp3");
}

TEST_F(SettingsFile, EveryReadGoesToTheFile) {
  ASSERT_TRUE(WriteSetting(path_, L"Options", L"Volume", L"80"));
  ASSERT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"80");
  ASSERT_TRUE(WriteFileBytes(path_, "[Options]\r\nVolume=35\r\n"));
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"35");
  ASSERT_TRUE(DeleteFileW(path_.c_str()));
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"");
}

TEST_F(SettingsFile, WriteKeepsTheRestOfTheFileByteForByte) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  ASSERT_TRUE(WriteSetting(path_, L"custom", L"sound2", L"E:\\新\\2.wav"));
  ASSERT_TRUE(WriteSetting(path_, L"Custom", L"Sound3", L""));
  EXPECT_EQ(ReadFileBytes(path_),
            "; \xd2\xf4\xd0\xa7\n"
            "[Custom]\n"
            "Sound1=D:\\a\\1.mp3\n"
            "Sound2=E:\\\xd0\xc2\\2.wav\n"
            "Sound3=\n"
            "[Options]\n"
            "Volume=80\n");
}

TEST_F(SettingsFile, ArgumentsSkipLeadingControlCharacters) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  EXPECT_EQ(ReadSetting(L" \t" + path_, L"\x01 Custom", L"\x1f Sound1"), L"D:\\a\\1.mp3");
  ASSERT_TRUE(WriteSetting(L"\r\n" + path_, L" Options", L"\tVolume", L"60"));
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"60");
}

TEST_F(SettingsFile, EmptyArgumentsReadEmptyAndWriteNothing) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  EXPECT_EQ(ReadSetting(L"", L"Options", L"Volume"), L"");
  EXPECT_EQ(ReadSetting(L" \t", L"Options", L"Volume"), L"");
  EXPECT_EQ(ReadSetting(path_, L"", L"Volume"), L"");
  EXPECT_EQ(ReadSetting(path_, L"Options", L"  "), L"");
  EXPECT_FALSE(WriteSetting(path_, L" ", L"Volume", L"1"));
  EXPECT_FALSE(WriteSetting(path_, L"Options", L"", L"1"));
  EXPECT_EQ(ReadFileBytes(path_), seed_);
}

TEST_F(SettingsFile, MissingOrUnreadableFileReadsEmpty) {
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"");
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  {
    OtherHandle locked(path_, 0);
    ASSERT_TRUE(locked.valid());
    EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"");
  }
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"80");
}

TEST_F(SettingsFile, TextThatWouldNotReadBackIsRefused) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_ + "?=question\n"));
  // GBK has no emoji: written as '?', the file would name another sound.
  EXPECT_FALSE(WriteSetting(path_, L"Custom", L"Sound1", L"D:\\🎵.mp3"));
  EXPECT_FALSE(WriteSetting(path_, L"Custom", L"🎵", L"D:\\a.mp3"));
  EXPECT_EQ(ReadSetting(path_, L"Options", L"🎵"), L"");
  // A line break would add lines of its own to the file.
  EXPECT_FALSE(WriteSetting(path_, L"Custom", L"Sound1", L"x\r\n[Options]\r\nVolume=0"));
  EXPECT_EQ(ReadFileBytes(path_), seed_ + "?=question\n");
}

TEST_F(SettingsFile, SuccessfulWritesLeaveNoTemporaryFile) {
  for (int i = 1; i <= 20; ++i) {
    ASSERT_TRUE(WriteSetting(path_, L"Custom", L"Sound" + std::to_wstring(i), L"D:\\音效\\" + std::to_wstring(i)));
  }
  EXPECT_EQ(ReadSetting(path_, L"Custom", L"Sound20"), L"D:\\音效\\20");
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{L"设置.ini"});
}

// A process started suspended, so that it does nothing while the test looks at it.
class SuspendedProcess {
 public:
  SuspendedProcess() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + system + L"\\cmd.exe\" /c exit";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &info_)) {
      CloseHandle(info_.hThread);
    }
  }
  ~SuspendedProcess() { End(); }
  SuspendedProcess(const SuspendedProcess&) = delete;
  SuspendedProcess& operator=(const SuspendedProcess&) = delete;

  DWORD id() const { return info_.dwProcessId; }
  // Kills it, as a power cut or SIGKILL would, and lets go of it: its id then names no process.
  void End() {
    if (!info_.hProcess) return;
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, INFINITE);
    CloseHandle(info_.hProcess);
    info_.hProcess = nullptr;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// A write killed half-way leaves "<file>.<pid>-<n>.tmp" beside the file. The next
// write clears those of processes that are gone, and nothing else.
TEST_F(SettingsFile, TheNextWriteRemovesTemporaryFilesOfEndedWritersOnly) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  SuspendedProcess killed, running;
  ASSERT_NE(killed.id(), 0u);
  ASSERT_NE(running.id(), 0u);
  killed.End();
  const std::wstring dead = std::to_wstring(killed.id());
  const Names stale = {L"设置.ini." + dead + L"-0.tmp", L"设置.ini." + dead + L"-99.tmp"};
  const Names kept = {
      L"设置.ini." + std::to_wstring(running.id()) + L"-0.tmp",       // a write still in progress
      L"设置.ini." + std::to_wstring(GetCurrentProcessId()) + L"-7.tmp",  // this process's own
      L"设置.ini." + dead + L"-100.tmp",  // no write counts that far
      L"设置.ini." + dead + L"-00.tmp",
      L"设置.ini.0" + dead + L"-0.tmp",
      L"设置.ini." + dead + L".tmp",
      L"设置.ini." + dead + L"-0-1.tmp",
      L"设置.ini." + dead + L"-0.tmp.bak",
      L"设置.ini.x" + dead + L"-0.tmp",
      L"设置.ini.0-0.tmp",
      L"其他.ini." + dead + L"-0.tmp",
      L"备份设置.ini." + dead + L"-0.tmp",
  };
  for (const Names* names : {&stale, &kept}) {
    for (const std::wstring& name : *names) ASSERT_TRUE(WriteFileBytes(folder_.Path() + name, "[Options]\nVol")) << name;
  }
  const std::wstring folderLikeAStaleFile = L"设置.ini." + dead + L"-1.tmp";
  ASSERT_TRUE(CreateDirectoryW((folder_.Path() + folderLikeAStaleFile).c_str(), nullptr));

  ASSERT_TRUE(WriteSetting(path_, L"Options", L"Volume", L"81"));

  Names expected = kept;
  expected.push_back(L"设置.ini");
  expected.push_back(folderLikeAStaleFile);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderEntries(folder_.Path()), expected);
  EXPECT_EQ(ReadSetting(path_, L"Options", L"Volume"), L"81");
}

TEST_F(SettingsFile, WriteIntoMissingFolderFailsAndCreatesNothing) {
  const std::wstring missing = folder_.Path() + L"missing\\";
  EXPECT_FALSE(WriteSetting(SettingsFilePath(missing), L"Options", L"Volume", L"1"));
  EXPECT_FALSE(FileExists(missing));
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{});
}

TEST_F(SettingsFile, FileHeldOpenWithoutSharingMakesTheWriteFail) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  {
    OtherHandle locked(path_, 0);
    ASSERT_TRUE(locked.valid());
    // The old content cannot be read: writing anyway would leave a file
    // holding only the new key.
    EXPECT_FALSE(WriteSetting(path_, L"Options", L"Volume", L"10"));
  }
  EXPECT_EQ(ReadFileBytes(path_), seed_);
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{L"设置.ini"});
}

TEST_F(SettingsFile, FileThatCannotBeReadIsNotReplaced) {
  // Far larger than any settings file, so the reader refuses it (Wine will
  // not replace a file that another handle holds open, whatever the sharing,
  // so a held file cannot show this). Writing without the old content would
  // leave a file holding nothing but the new key.
  const std::string huge = seed_ + std::string(17 * 1024 * 1024, ';') + "\n";
  ASSERT_TRUE(WriteFileBytes(path_, huge));
  EXPECT_FALSE(WriteSetting(path_, L"Options", L"Volume", L"10"));
  EXPECT_TRUE(ReadFileBytes(path_) == huge);
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{L"设置.ini"});
}

TEST_F(SettingsFile, FileThatCannotBeReplacedIsLeftWhole) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  {
    // Readable, but open without delete sharing, so nothing may take its
    // place: the new content is written in full and then cannot be moved in.
    OtherHandle held(path_, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(held.valid());
    EXPECT_FALSE(WriteSetting(path_, L"Options", L"Volume", L"10"));
  }
  EXPECT_EQ(ReadFileBytes(path_), seed_);
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{L"设置.ini"});
}

TEST_F(SettingsFile, ReadOnlyFileIsLeftAlone) {
  ASSERT_TRUE(WriteFileBytes(path_, seed_));
  ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(WriteSetting(path_, L"Options", L"Volume", L"10"));
  SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFileBytes(path_), seed_);
  EXPECT_EQ(FolderEntries(folder_.Path()), Names{L"设置.ini"});
}

// A folder in which no file can be created, even by an administrator: a
// process folder of the Linux process file system, which Wine shows on drive
// Z:. Its "comm" file, which is not read-only, stands for a settings file
// already in that folder, so the write gets as far as the temporary file.
TEST(SettingsFileInReadOnlyFolder, WriteFailsAndLeavesTheFileAsItWas) {
  const std::wstring path = L"Z:\\proc\\self\\comm";
  const std::string before = ReadFileBytes(path);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (before.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) {
    GTEST_SKIP() << "no writable file in a read-only folder on this system";
  }
  EXPECT_FALSE(WriteSetting(path, L"Options", L"Volume", L"10"));
  EXPECT_EQ(ReadFileBytes(path), before);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L".*.tmp").c_str(), &found);
  EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << found.cFileName;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

}  // namespace
}  // namespace kivora

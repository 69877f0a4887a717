// First-start extraction of the sixty built-in sounds, and the cases where it
// must write nothing or skip a file.
#include <windows.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/catalogue_extraction.h"
#include "base/unique_handle.h"
#include "assets/catalogue.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

using testing::TempFolder;

std::set<std::wstring> FilesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::string BodyBytes(const CatalogueEntry& entry) {
  auto body = BodyOf(entry);
  return std::string(reinterpret_cast<const char*>(body.data()), body.size());
}

TEST(CatalogueExtraction, FreshDataFolderGetsSixtyExactFiles) {
  TempFolder data;
  ExtractCatalogue(data.Path());
  const std::wstring music = data.Path() + L"音乐\\";
  std::set<std::wstring> names = FilesIn(music);
  ASSERT_EQ(names.size(), 60u);
  for (const CatalogueEntry& entry : Catalogue()) {
    std::string onDisk = testing::ReadFileBytes(data.Path() + std::wstring(entry.relativePath));
    EXPECT_EQ(onDisk.size(), BodyOf(entry).size()) << entry.number;
    EXPECT_TRUE(onDisk == BodyBytes(entry)) << entry.number;
  }
  // Names as Windows lists them, upper-case ASCII letters included.
  for (const wchar_t* name : {L"01群众笑声.mp3", L"15DJ开场.mp3", L"41LALALALA德玛西亚.mp3", L"55LOL五杀.mp3",
                              L"46C哩C哩.mp3", L"52王者RAP.mp3", L"60会呼吸的痛.mp3"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

TEST(CatalogueExtraction, BodiesAreSixtyDistinctMp3Files) {
  std::set<std::string> bodies;
  for (const CatalogueEntry& entry : Catalogue()) {
    std::string body = BodyBytes(entry);
    ASSERT_GT(body.size(), 1000u) << entry.number;
    bool id3 = body.compare(0, 3, "ID3") == 0;
    bool frameSync = static_cast<unsigned char>(body[0]) == 0xFF && (static_cast<unsigned char>(body[1]) & 0xE0) == 0xE0;
    EXPECT_TRUE(id3 || frameSync) << entry.number;
    bodies.insert(body);
  }
  EXPECT_EQ(bodies.size(), 60u);
}

TEST(CatalogueExtraction, ExistingMusicFolderIsLeftAloneEvenWhenEmpty) {
  TempFolder data;
  const std::wstring music = data.Path() + L"音乐\\";
  ASSERT_TRUE(CreateDirectoryW(music.c_str(), nullptr));
  ExtractCatalogue(data.Path());
  EXPECT_TRUE(FilesIn(music).empty());
}

TEST(CatalogueExtraction, DeletedEntryIsNotRestoredOnTheNextStart) {
  TempFolder data;
  ExtractCatalogue(data.Path());
  const std::wstring thirteen = data.Path() + L"音乐\\13感谢.mp3";
  ASSERT_TRUE(DeleteFileW(thirteen.c_str()));
  ExtractCatalogue(data.Path());
  EXPECT_FALSE(testing::FileExists(thirteen));
  EXPECT_EQ(FilesIn(data.Path() + L"音乐\\").size(), 59u);
}

TEST(CatalogueExtraction, FileHeldOpenByAnotherHandleIsSkippedAndTheRestWritten) {
  TempFolder data;
  const std::wstring held = data.Path() + L"音乐\\13感谢.mp3";
  KernelHandle holder;
  // As soon as the folder exists, someone else grabs entry 13 without sharing.
  ExtractCatalogue(data.Path(), [&](const std::wstring& path, std::span<const unsigned char> bytes) {
    if (!holder) holder = KernelHandle(CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW, 0, nullptr));
    return WriteWholeFile(path, bytes);
  });
  ASSERT_TRUE(holder);
  holder = KernelHandle();
  EXPECT_EQ(testing::ReadFileBytes(held).size(), 0u);
  for (const CatalogueEntry& entry : Catalogue()) {
    if (entry.number == 13) continue;
    EXPECT_TRUE(testing::ReadFileBytes(data.Path() + std::wstring(entry.relativePath)) == BodyBytes(entry))
        << entry.number;
  }
}

TEST(CatalogueExtraction, MissingDataFolderFailsQuietly) {
  TempFolder data;
  ExtractCatalogue(data.Path() + L"missing\\deeper\\");
  EXPECT_FALSE(testing::FileExists(data.Path() + L"missing"));
}

TEST(WholeFileWrite, FailsForEmptyPathAndHeldFileAndTruncatesAnExistingOne) {
  TempFolder folder;
  const unsigned char bytes[] = {1, 2, 3, 4};
  EXPECT_FALSE(WriteWholeFile(L"", bytes));

  const std::wstring path = folder.Path() + L"a.bin";
  ASSERT_TRUE(testing::WriteFileBytes(path, std::string(100, 'x')));
  EXPECT_TRUE(WriteWholeFile(path, bytes));
  EXPECT_EQ(testing::ReadFileBytes(path), std::string("\1\2\3\4"));

  KernelHandle holder(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  EXPECT_FALSE(WriteWholeFile(path, std::span<const unsigned char>(bytes, 2)));
  holder = KernelHandle();
  EXPECT_EQ(testing::ReadFileBytes(path), std::string("\1\2\3\4"));
}

}  // namespace
}  // namespace kivora

// Our settings reader and writer against the system's GetPrivateProfileStringA
// and WritePrivateProfileStringA under code page 936, on the INI files in
// corpus/. Each corpus file X.ini comes with X.cases (UTF-8), whose lines are
//   read<TAB>section<TAB>key
//   write<TAB>section<TAB>key<TAB>value
// with \t, \n, \r, \s (space) and \\ as escapes; any other backslash is
// itself, so that paths can be written as they are. A .cases file without its .ini
// stands for a settings file that does not exist yet.
//
// For each file: every listed key is read from the file by both readers; then
// the writes are applied once by our writer and once, on a copy, by the
// system's; then every key, read and written, is read from both results by
// both readers. The system rewrites the whole file in its own layout, so
// values are compared, never bytes.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/gbk_text.h"
#include "settings/settings_file.h"
#include "support/temp_folder.h"

namespace kivora {
namespace {

enum class Stage { kRead, kWrite, kAfterWrites };

const char* StageName(Stage stage) {
  switch (stage) {
    case Stage::kRead: return "read";
    case Stage::kWrite: return "write";
    case Stage::kAfterWrites: return "after writes";
  }
  return "";
}

// Where the two disagree on purpose. Each entry must still disagree, so that
// the list stays true.
struct KnownDifference {
  const wchar_t* file;
  Stage stage;
  const wchar_t* section;
  const wchar_t* key;
};

const KnownDifference kKnownDifferences[] = {
    // A quoted value whose text is exactly 10239 bytes: the system takes the
    // quotes off after cutting to its buffer and so drops the last character
    // of the text as well. We return all 10239 bytes, which fit.
    {L"long_values", Stage::kRead, L"Long", L"quoted_exact"},
    {L"long_values", Stage::kAfterWrites, L"Long", L"quoted_exact"},
    // A value with blanks at its ends, or wrapped in matching quotes: the
    // system stores it as it is, and reading it back loses the blanks or the
    // quotes. We write such a value inside another pair of double quotes so
    // that it reads back unchanged, from our file by either reader.
    {L"quotes", Stage::kAfterWrites, L"Q", L"padded"},
    {L"quotes", Stage::kAfterWrites, L"Q", L"wrapped"},
    // A value holding a line break: the system writes the break into the file,
    // and the lines after it become a section of their own that hides the
    // real one, losing its sounds. We refuse the write and change nothing.
    {L"sounds_crlf", Stage::kWrite, L"设置", L"注入"},
    {L"sounds_crlf", Stage::kAfterWrites, L"设置", L"注入"},
    {L"sounds_crlf", Stage::kAfterWrites, L"音效", L"声音1"},
    {L"sounds_crlf", Stage::kAfterWrites, L"音效", L"声音2"},
    {L"sounds_crlf", Stage::kAfterWrites, L"音效", L"声音4"},
};

std::wstring FromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// Long values are shown by their length and ends only.
std::string Show(const std::wstring& value) {
  if (value.size() <= 60) return "\"" + ToUtf8(value) + "\"";
  return std::to_string(value.size()) + " characters \"" + ToUtf8(value.substr(0, 20)) + "..." +
         ToUtf8(value.substr(value.size() - 20)) + "\"";
}

// The corpus folder beside this source file; a Linux path is reached through
// Wine's drive Z:.
std::wstring CorpusFolder() {
  std::wstring folder = FromUtf8(__FILE__);
  folder = folder.substr(0, folder.find_last_of(L"/\\") + 1) + L"corpus\\";
  if (!folder.empty() && folder[0] == L'/') folder = L"Z:" + folder;
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  return folder;
}

std::wstring Unescape(const std::wstring& field) {
  std::wstring text;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != L'\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    switch (field[++i]) {
      case L't': text += L'\t'; break;
      case L'n': text += L'\n'; break;
      case L'r': text += L'\r'; break;
      case L's': text += L' '; break;
      case L'\\': text += L'\\'; break;
      default: text += L'\\'; text += field[i]; break;
    }
  }
  return text;
}

struct Write {
  std::wstring section;
  std::wstring key;
  std::wstring value;
};

struct CorpusCase {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> reads;
  std::vector<Write> writes;
};

CorpusCase LoadCase(const std::wstring& folder, const std::wstring& name) {
  CorpusCase corpusCase{name, {}, {}};
  const std::wstring text = FromUtf8(testing::ReadFileBytes(folder + name + L".cases"));
  std::wistringstream lines(text);
  std::wstring line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.empty() || line[0] == L'#') continue;
    std::vector<std::wstring> fields;
    std::wistringstream parts(line);
    std::wstring field;
    while (std::getline(parts, field, L'\t')) fields.push_back(Unescape(field));
    if (line.back() == L'\t') fields.push_back(L"");
    if (fields.size() == 3 && fields[0] == L"read") {
      corpusCase.reads.emplace_back(fields[1], fields[2]);
    } else if (fields.size() == 4 && fields[0] == L"write") {
      corpusCase.writes.push_back({fields[1], fields[2], fields[3]});
    } else {
      ADD_FAILURE() << "bad line in " << ToUtf8(name) << ".cases: " << ToUtf8(line);
    }
  }
  return corpusCase;
}

std::vector<std::wstring> CaseNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*.cases").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring file = found.cFileName;
    names.push_back(file.substr(0, file.size() - 6));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// The system reader with the buffer the program has always used. The buffer
// starts zeroed and is read up to its first zero: when the system cuts a value
// before a double-byte character it reports 10239 but leaves byte 10238 as it
// found it.
std::wstring SystemRead(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
  std::string buffer(10240, '\0');
  GetPrivateProfileStringA(ToGbk(section).c_str(), ToGbk(key).c_str(), "", buffer.data(), 10240,
                           ToGbk(path).c_str());
  return FromGbk(buffer.c_str());
}

bool SystemWrite(const std::wstring& path, const Write& write) {
  return WritePrivateProfileStringA(ToGbk(write.section).c_str(), ToGbk(write.key).c_str(),
                                    ToGbk(write.value).c_str(), ToGbk(path).c_str()) != FALSE;
}

class Comparison {
 public:
  explicit Comparison(std::wstring file) : file_(std::move(file)) {}

  // Expects every value to be the same, unless the difference is a known one.
  void Check(Stage stage, const std::wstring& section, const std::wstring& key,
             const std::vector<std::pair<const char*, std::wstring>>& values) {
    bool same = true;
    for (const auto& value : values) same = same && value.second == values.front().second;
    std::ostringstream shown;
    for (const auto& value : values) shown << "\n  " << value.first << ": " << Show(value.second);
    const std::string where = ToUtf8(file_) + " (" + StageName(stage) + ") [" + ToUtf8(section) + "] " + ToUtf8(key);
    if (IsKnown(stage, section, key)) {
      ++knownSeen_;
      EXPECT_FALSE(same) << where << " agrees now; take it off the list of known differences" << shown.str();
    } else {
      EXPECT_TRUE(same) << where << shown.str();
    }
    if (!same) differences_.push_back(where);
  }

  const std::vector<std::string>& differences() const { return differences_; }
  int knownSeen() const { return knownSeen_; }

 private:
  bool IsKnown(Stage stage, const std::wstring& section, const std::wstring& key) const {
    return std::any_of(std::begin(kKnownDifferences), std::end(kKnownDifferences), [&](const KnownDifference& d) {
      return file_ == d.file && stage == d.stage && section == d.section && key == d.key;
    });
  }

  std::wstring file_;
  std::vector<std::string> differences_;
  int knownSeen_ = 0;
};

TEST(SystemAgreement, CorpusReadsAndWritesGiveTheSameValues) {
  ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8 so that the ANSI code page is GBK";
  const std::wstring corpus = CorpusFolder();
  const std::vector<std::wstring> names = CaseNames(corpus);
  ASSERT_FALSE(names.empty()) << "no corpus in " << ToUtf8(corpus);

  testing::TempFolder folder;
  int agreeing = 0;
  int knownSeen = 0;
  std::vector<std::string> differences;
  for (const std::wstring& name : names) {
    const CorpusCase corpusCase = LoadCase(corpus, name);
    const std::wstring source = corpus + name + L".ini";
    const std::wstring ours = folder.Path() + name + L".ours.ini";
    const std::wstring system = folder.Path() + name + L".system.ini";
    if (testing::FileExists(source)) {
      ASSERT_TRUE(CopyFileW(source.c_str(), ours.c_str(), TRUE));
      ASSERT_TRUE(CopyFileW(source.c_str(), system.c_str(), TRUE));
    }

    Comparison comparison(name);
    for (const auto& [section, key] : corpusCase.reads) {
      comparison.Check(Stage::kRead, section, key,
                       {{"ours", ReadSetting(ours, section, key)}, {"system", SystemRead(ours, section, key)}});
    }

    std::vector<std::pair<std::wstring, std::wstring>> keys = corpusCase.reads;
    for (const Write& write : corpusCase.writes) {
      const bool oursWrote = WriteSetting(ours, write.section, write.key, write.value);
      const bool systemWrote = SystemWrite(system, write);
      comparison.Check(Stage::kWrite, write.section, write.key,
                       {{"ours", oursWrote ? L"written" : L"refused"}, {"system", systemWrote ? L"written" : L"refused"}});
      keys.emplace_back(write.section, write.key);
    }

    std::set<std::pair<std::wstring, std::wstring>> seen;
    for (const auto& [section, key] : keys) {
      if (!seen.insert({section, key}).second) continue;
      comparison.Check(Stage::kAfterWrites, section, key,
                       {{"our file, our reader", ReadSetting(ours, section, key)},
                        {"our file, system reader", SystemRead(ours, section, key)},
                        {"system file, our reader", ReadSetting(system, section, key)},
                        {"system file, system reader", SystemRead(system, section, key)}});
    }

    if (comparison.differences().empty()) ++agreeing;
    knownSeen += comparison.knownSeen();
    differences.insert(differences.end(), comparison.differences().begin(), comparison.differences().end());
  }

  EXPECT_EQ(knownSeen, static_cast<int>(std::size(kKnownDifferences)))
      << "a known difference names a case that the corpus no longer has";
  std::printf("[ corpus   ] %d of %d files give the same values with our codec and the system's\n", agreeing,
              static_cast<int>(names.size()));
  for (const std::string& difference : differences) std::printf("[ differs  ] %s\n", difference.c_str());
}

}  // namespace
}  // namespace kivora

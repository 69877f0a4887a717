// The settings file 设置.ini: one value per call, read from and written to the
// file every time, or the whole file read once into a document that answers
// many reads, and several values written in one replacement of the file. Text is
// UTF-16 here and GBK (code page 936) on disk.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kivora {

// dataFolder ends in a backslash.
std::wstring SettingsFilePath(const std::wstring& dataFolder);

// The value of key in section, or empty text when the file, section or key is
// missing, the file cannot be read, or an argument is empty once leading
// characters up to U+0020 are skipped.
std::wstring ReadSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key);

// The file's bytes as they were read, answering reads by the rules of ReadSetting.
class SettingsDocument {
 public:
  SettingsDocument() = default;
  explicit SettingsDocument(std::string bytes) : bytes_(std::move(bytes)) {}
  std::wstring Read(const std::wstring& section, const std::wstring& key) const;
  // Several keys of one section in one walk through the file, in the order given.
  std::vector<std::wstring> Read(const std::wstring& section, const std::vector<std::wstring>& keys) const;

 private:
  std::string bytes_;
};

// The whole file; an empty document when it is missing or cannot be read.
SettingsDocument ReadSettingsDocument(const std::wstring& filePath);

// Sets key=value in section, creating the file and the section when missing.
// The new content goes to a temporary file in the same folder that then
// replaces the old one, so a failed write leaves the previous file whole.
// Temporary files that writes of processes no longer running left behind (a
// crash or a power loss in mid-write) are removed first.
// False when nothing was written: an empty argument, text that GBK cannot hold
// or that would not read back the same (line breaks, '=' in the key), a file
// that exists but cannot be read or is read-only, a folder that is missing or
// cannot be written.
bool WriteSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                  const std::wstring& value);

// One setting to write: key=value in section; without a value, the key is taken out.
struct SettingChange {
  std::wstring section;
  std::wstring key;
  std::optional<std::wstring> value;
};

// What became of a write of several settings.
struct SettingsWriteResult {
  // The changes that cannot be stored so that they read back the same, by their
  // index; they are left out and the others written.
  std::vector<size_t> refused;
  // Whether the file was replaced; when not, none of the changes reached it.
  enum class Problem { kNone, kReadOnly, kSystemError } problem = Problem::kNone;
  unsigned long systemError = 0;  // with kSystemError: the Win32 error code

  bool AllWritten() const { return refused.empty() && problem == Problem::kNone; }
};

// Every change, in the order given, in one replacement of the file by the rules of
// WriteSetting: at every moment the file holds all of them or none of them.
SettingsWriteResult WriteSettings(const std::wstring& filePath, const std::vector<SettingChange>& changes);

// Why the file was not written, in words for the user (Chinese, with the system's
// own text for a system error); empty when it was.
std::wstring WriteProblemText(const SettingsWriteResult& result);

// Takes key out of section by the same safe replacement; true also when there
// was no such key (or no file) to begin with. False when nothing could be written.
bool RemoveSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key);

}  // namespace kivora

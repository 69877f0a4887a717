#include "settings/settings_file.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <optional>

#include "base/gbk_text.h"
#include "base/unique_handle.h"
#include "base/whole_file.h"
#include "settings/ini_codec.h"
#include "settings/settings_keys.h"
#include "settings/settings_text.h"
#include "settings/stale_temporary_files.h"
#include "settings/temporary_file_name.h"

namespace kivora {
namespace {

// A settings file is a few kilobytes; anything this large is not one, and
// reading it whole could exhaust a 32-bit address space.
constexpr size_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

// A new file next to the target that is deleted again unless it has been
// moved into place. It never takes over a file that is already there (a
// leftover of an interrupted write, or another writer's).
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::wstring& target) {
    for (int attempt = 0; attempt < kTemporaryFileAttempts; ++attempt) {
      std::wstring candidate = TemporaryFileName(target, GetCurrentProcessId(), attempt);
      handle_.Reset(CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (handle_) {
        path_ = std::move(candidate);
        return;
      }
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
    }
  }
  ~TemporaryFile() {
    handle_.Reset();
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool created() const { return !path_.empty(); }

  // Writes the whole content and makes sure it is on disk before the file is
  // allowed to replace anything.
  bool WriteAndClose(const std::string& bytes) {
    const bool written =
        WriteAllBytes(handle_.Get(), {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}) &&
        FlushFileBuffers(handle_.Get());
    return Close() && written;
  }

  bool MoveOver(const std::wstring& target) {
    if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return false;
    path_.clear();
    return true;
  }

 private:
  // Closing can report a write that failed late, so its answer counts.
  bool Close() { return !handle_ || CloseHandle(handle_.Release()) != FALSE; }

  std::wstring path_;
  KernelHandle handle_;
};

enum class FileState { kRead, kMissing, kUnreadable };

struct FileBytes {
  FileState state = FileState::kUnreadable;
  std::string bytes;
};

// Reads until the end rather than trusting the reported size, which some
// special files give as zero.
FileBytes ReadFileBytes(const std::wstring& path) {
  FileBytes result;
  KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) result.state = FileState::kMissing;
    return result;
  }
  std::string chunk(64 * 1024, '\0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) return result;
    if (got == 0) break;
    if (result.bytes.size() + got > kMaxSettingsFileBytes) return result;
    result.bytes.append(chunk.data(), got);
  }
  result.state = FileState::kRead;
  return result;
}

// At every moment path holds either the old content or the new content in
// full: the new content is written and flushed elsewhere, then moved over it.
bool ReplaceFileContents(const std::wstring& path, const std::string& bytes) {
  RemoveStaleTemporaryFiles(path);
  TemporaryFile temporary(path);
  return temporary.created() && temporary.WriteAndClose(bytes) && temporary.MoveOver(path);
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

SettingsDocument ReadDocumentUnguarded(const std::wstring& filePath) {
  const std::wstring path = SkipLeadingControls(filePath);
  if (path.empty()) return {};
  FileBytes file = ReadFileBytes(path);
  if (file.state != FileState::kRead) return {};
  return SettingsDocument(std::move(file.bytes));
}

// value: nothing removes the key.
bool WriteSettingUnguarded(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                           const std::optional<std::wstring>& value) {
  const std::wstring path = SkipLeadingControls(filePath);
  if (path.empty() || !UsableSettingNames(section, key)) return false;

  // Without the old content in hand, replacing the file would drop every
  // other setting in it.
  const FileBytes old = ReadFileBytes(path);
  if (old.state == FileState::kUnreadable) return false;
  if (old.state == FileState::kRead && IsReadOnly(path)) return false;

  if (!value && old.state == FileState::kMissing) return true;
  const std::optional<std::string> updated =
      value ? BytesWithSetting(old.bytes, section, key, *value) : BytesWithoutSetting(old.bytes, section, key);
  if (!updated) return false;
  if (old.state == FileState::kRead && *updated == old.bytes) return true;
  return ReplaceFileContents(path, *updated);
}

}  // namespace

std::wstring SettingsFilePath(const std::wstring& dataFolder) { return dataFolder + std::wstring(kSettingsFileName); }

std::wstring SettingsDocument::Read(const std::wstring& section, const std::wstring& key) const {
  return Read(section, std::vector<std::wstring>{key}).front();
}

std::vector<std::wstring> SettingsDocument::Read(const std::wstring& section,
                                                 const std::vector<std::wstring>& keys) const {
  try {
    return SettingsFromBytes(bytes_, section, keys);
  } catch (const std::exception&) {
    return std::vector<std::wstring>(keys.size());
  }
}

SettingsDocument ReadSettingsDocument(const std::wstring& filePath) {
  try {
    return ReadDocumentUnguarded(filePath);
  } catch (const std::exception&) {
    return {};
  }
}

std::wstring ReadSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key) {
  // The names are checked before the file is touched, as a missing name reads nothing anyway.
  if (SkipLeadingControls(section).empty() || SkipLeadingControls(key).empty()) return {};
  return ReadSettingsDocument(filePath).Read(section, key);
}

bool WriteSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key,
                  const std::wstring& value) {
  try {
    return WriteSettingUnguarded(filePath, section, key, value);
  } catch (const std::exception&) {
    return false;
  }
}

bool RemoveSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key) {
  try {
    return WriteSettingUnguarded(filePath, section, key, std::nullopt);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace kivora

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
  DWORD error = 0;  // why it is unreadable
};

// Reads until the end rather than trusting the reported size, which some
// special files give as zero.
FileBytes ReadFileBytes(const std::wstring& path) {
  FileBytes result;
  KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    result.error = GetLastError();
    if (result.error == ERROR_FILE_NOT_FOUND || result.error == ERROR_PATH_NOT_FOUND) result.state = FileState::kMissing;
    return result;
  }
  std::string chunk(64 * 1024, '\0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
      result.error = GetLastError();
      return result;
    }
    if (got == 0) break;
    if (result.bytes.size() + got > kMaxSettingsFileBytes) {
      result.error = ERROR_FILE_TOO_LARGE;
      return result;
    }
    result.bytes.append(chunk.data(), got);
  }
  result.state = FileState::kRead;
  return result;
}

// At every moment path holds either the old content or the new content in
// full: the new content is written and flushed elsewhere, then moved over it.
// 0, or the error of the step that failed.
DWORD ReplaceFileContents(const std::wstring& path, const std::string& bytes) {
  RemoveStaleTemporaryFiles(path);
  TemporaryFile temporary(path);
  if (!temporary.created() || !temporary.WriteAndClose(bytes) || !temporary.MoveOver(path)) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_WRITE_FAULT;
  }
  return 0;
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

SettingsWriteResult WriteSettingsUnguarded(const std::wstring& filePath, const std::vector<SettingChange>& changes) {
  using Problem = SettingsWriteResult::Problem;
  SettingsWriteResult result;
  auto fail = [&result](Problem problem, DWORD error = 0) {
    result.problem = problem;
    result.systemError = error;
    return result;
  };
  const std::wstring path = SkipLeadingControls(filePath);
  if (path.empty()) return fail(Problem::kSystemError, ERROR_INVALID_NAME);

  // Without the old content in hand, replacing the file would drop every
  // other setting in it.
  const FileBytes old = ReadFileBytes(path);
  if (old.state == FileState::kUnreadable) return fail(Problem::kSystemError, old.error);
  if (old.state == FileState::kRead && IsReadOnly(path)) return fail(Problem::kReadOnly);

  std::string updated = old.bytes;
  for (size_t index = 0; index < changes.size(); ++index) {
    const SettingChange& change = changes[index];
    std::optional<std::string> next = change.value ? BytesWithSetting(updated, change.section, change.key, *change.value)
                                                   : BytesWithoutSetting(updated, change.section, change.key);
    if (next) {
      updated = std::move(*next);
    } else {
      result.refused.push_back(index);
    }
  }
  if (result.refused.size() == changes.size()) return result;
  if (old.state == FileState::kRead && updated == old.bytes) return result;
  if (old.state == FileState::kMissing && updated.empty()) return result;  // only removals, and no file
  if (const DWORD error = ReplaceFileContents(path, updated)) return fail(Problem::kSystemError, error);
  return result;
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
  return WriteSettings(filePath, {{section, key, value}}).AllWritten();
}

SettingsWriteResult WriteSettings(const std::wstring& filePath, const std::vector<SettingChange>& changes) {
  try {
    return WriteSettingsUnguarded(filePath, changes);
  } catch (const std::exception&) {
    SettingsWriteResult result;
    result.problem = SettingsWriteResult::Problem::kSystemError;
    result.systemError = ERROR_NOT_ENOUGH_MEMORY;
    return result;
  }
}

bool RemoveSetting(const std::wstring& filePath, const std::wstring& section, const std::wstring& key) {
  return WriteSettings(filePath, {{section, key, std::nullopt}}).AllWritten();
}

std::wstring WriteProblemText(const SettingsWriteResult& result) {
  switch (result.problem) {
    case SettingsWriteResult::Problem::kNone:
      return result.refused.empty() ? std::wstring() : std::wstring(L"有设置含有无法保存的字符");
    case SettingsWriteResult::Problem::kReadOnly: return L"文件是只读的";
    case SettingsWriteResult::Problem::kSystemError: break;
  }
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      result.systemError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = length > 0 && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' ')) words.pop_back();
  const std::wstring code = L"错误代码 " + std::to_wstring(result.systemError);
  return words.empty() ? code : words + L"（" + code + L"）";
}

}  // namespace kivora

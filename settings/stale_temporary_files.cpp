#include "settings/stale_temporary_files.h"

#include <windows.h>

#include "base/unique_handle.h"
#include "settings/temporary_file_name.h"

namespace kivora {
namespace {

// A process id names a running process while the system knows it and its
// process has not ended; a process this one may not open still runs.
bool ProcessIsRunning(unsigned long processId) {
  if (processId == GetCurrentProcessId()) return true;
  KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE Get() const { return handle_; }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

}  // namespace

int RemoveStaleTemporaryFiles(const std::wstring& target) {
  const size_t slash = target.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
  const std::wstring name = target.substr(folder.size());
  if (name.empty()) return 0;
  // The wildcard narrows the listing; the exact name check decides. A pattern
  // also matches short 8.3 names, which the check never accepts.
  WIN32_FIND_DATAW found{};
  FindHandle search(FindFirstFileExW((target + L".*-*.tmp").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0));
  if (!search) return 0;
  int removed = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::optional<unsigned long> owner = TemporaryFileOwner(found.cFileName, name);
    if (owner && !ProcessIsRunning(*owner) && DeleteFileW((folder + found.cFileName).c_str())) ++removed;
  } while (FindNextFileW(search.Get(), &found));
  return removed;
}

}  // namespace kivora

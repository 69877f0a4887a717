// Clearing away what interrupted settings writes left behind.
#pragma once

#include <string>

namespace kivora {

// Deletes the temporary files of target's writes whose process is gone: a write
// cut off by a crash, a kill or a power loss leaves its "<target>.<pid>-<n>.tmp"
// beside the target, and nothing else would ever remove it. Files of a process
// that still runs (a write in progress, this process's own) and every name not
// of exactly that form are left alone. Returns how many files were deleted.
int RemoveStaleTemporaryFiles(const std::wstring& target);

}  // namespace kivora

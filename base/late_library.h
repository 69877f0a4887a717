// A system library loaded at its first use instead of at process start. Every
// library imported by the program is loaded and initialised before the window can
// show; one that only a later action needs (the file dialog, the web) is better
// loaded by that action. The toolchain can delay-load too (an import library made
// with dlltool -y), but that needs a build step per library and hides the load;
// here the owner loads it where it is needed and keeps it until it goes.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace kivora {

class LateLibrary {
 public:
  explicit LateLibrary(const wchar_t* fileName) : fileName_(fileName) {}

  // The export as a pointer to Function (a function type such as
  // decltype(::GetOpenFileNameW)), or null when the library or the export is missing.
  template <typename Function>
  Function* Find(const char* exportName) {
    if (!module_) module_.Reset(LoadLibraryExW(fileName_, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module_) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), exportName)));
  }

 private:
  const wchar_t* fileName_;
  Library module_;
};

}  // namespace kivora

// Scoped owners of GDI handles: an object is deleted, a DC freed and a selection
// undone when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace kivora::skin {

// Owns one handle and frees it with Free.
template <typename Handle, BOOL(WINAPI* Free)(Handle)>
class Owned {
 public:
  explicit Owned(Handle handle = nullptr) : handle_(handle) {}
  ~Owned() {
    if (handle_) Free(handle_);
  }
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Owned& operator=(Owned&& other) noexcept {
    std::swap(handle_, other.handle_);  // the handle held before goes with `other`
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Handle Get() const { return handle_; }

 private:
  Handle handle_;
};

// A brush, pen, font or bitmap.
using Gdi = Owned<HGDIOBJ, DeleteObject>;
using MemoryDc = Owned<HDC, DeleteDC>;

// Selects an object into a DC for a scope.
class Select {
 public:
  Select(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Select() { SelectObject(dc_, previous_); }
  Select(const Select&) = delete;
  Select& operator=(const Select&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace kivora::skin

// Scoped owners of GDI handles: an object is deleted, a DC freed and a selection
// undone when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace kivora::skin {

// Owns one GDI object: a brush, pen, font or bitmap.
class Gdi {
 public:
  explicit Gdi(HGDIOBJ object = nullptr) : object_(object) {}
  ~Gdi() {
    if (object_) DeleteObject(object_);
  }
  Gdi(Gdi&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Gdi& operator=(Gdi&& other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  Gdi(const Gdi&) = delete;
  Gdi& operator=(const Gdi&) = delete;
  HGDIOBJ Get() const { return object_; }

 private:
  HGDIOBJ object_;
};

// Owns a memory DC.
class MemoryDc {
 public:
  explicit MemoryDc(HDC dc = nullptr) : dc_(dc) {}
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDc(MemoryDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  MemoryDc& operator=(MemoryDc&& other) noexcept {
    std::swap(dc_, other.dc_);
    return *this;
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

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

// One owner for every kind of system handle: kernel handles (files, events,
// threads), GDI objects, icons, menus, memory DCs and loaded libraries. Each kind names how it is
// closed and which values mean "no handle"; the owner closes it exactly once.
#pragma once

#include <windows.h>

#include <utility>

namespace kivora {

template <typename Kind>
class UniqueHandle {
 public:
  using Handle = typename Kind::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(Kind::IsValid(handle) ? handle : Handle{}) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, Handle{}));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Handle{}; }

  // Closes the handle held, if any, and takes the new one.
  void Reset(Handle handle = Handle{}) {
    if (handle_ != Handle{}) Kind::Close(handle_);
    handle_ = Kind::IsValid(handle) ? handle : Handle{};
  }

  // Gives the handle to a caller that closes it from now on.
  Handle Release() { return std::exchange(handle_, Handle{}); }

 private:
  Handle handle_{};
};

// CreateFile gives INVALID_HANDLE_VALUE on failure, most other calls null.
struct KernelHandleKind {
  using Handle = HANDLE;
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};

template <typename GdiHandle>
struct GdiObjectKind {
  using Handle = GdiHandle;
  static bool IsValid(GdiHandle handle) { return handle != nullptr; }
  static void Close(GdiHandle handle) { DeleteObject(handle); }
};

struct IconKind {
  using Handle = HICON;
  static bool IsValid(HICON handle) { return handle != nullptr; }
  static void Close(HICON handle) { DestroyIcon(handle); }
};

struct MenuKind {
  using Handle = HMENU;
  static bool IsValid(HMENU handle) { return handle != nullptr; }
  static void Close(HMENU handle) { DestroyMenu(handle); }
};

struct MemoryDcKind {
  using Handle = HDC;
  static bool IsValid(HDC handle) { return handle != nullptr; }
  static void Close(HDC handle) { DeleteDC(handle); }
};

struct LibraryKind {
  using Handle = HMODULE;
  static bool IsValid(HMODULE handle) { return handle != nullptr; }
  static void Close(HMODULE handle) { FreeLibrary(handle); }
};

struct HookKind {
  using Handle = HHOOK;
  static bool IsValid(HHOOK handle) { return handle != nullptr; }
  static void Close(HHOOK handle) { UnhookWindowsHookEx(handle); }
};

using KernelHandle = UniqueHandle<KernelHandleKind>;
using Font = UniqueHandle<GdiObjectKind<HFONT>>;
using Brush = UniqueHandle<GdiObjectKind<HBRUSH>>;
using Pen = UniqueHandle<GdiObjectKind<HPEN>>;
using Bitmap = UniqueHandle<GdiObjectKind<HBITMAP>>;
using Icon = UniqueHandle<IconKind>;
using Menu = UniqueHandle<MenuKind>;
using Library = UniqueHandle<LibraryKind>;
using Hook = UniqueHandle<HookKind>;

// Selects an object into a DC for one scope and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelect() { SelectObject(dc_, previous_); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A memory DC compatible with another (null: with the screen), deleted with this object.
class MemoryDc {
 public:
  explicit MemoryDc(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
  HDC Get() const { return dc_.Get(); }

 private:
  UniqueHandle<MemoryDcKind> dc_;
};

// The screen's DC for one scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace kivora

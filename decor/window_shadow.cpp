#include "decor/window_shadow.h"

#include <commctrl.h>

#include <cstdint>

#include "base/dpi.h"
#include "decor/shadow_rings.h"

namespace kivora::decor {
namespace {

constexpr UINT_PTR kPictureSubclassId = 0x5348;  // one subclass per shadow window
// Where the shadow window keeps its picture (the subclass owns and frees it).
constexpr wchar_t kPictureProperty[] = L"Kivora.WndShadow.Picture";
// The owner's DPI: the band width is given at 96 DPI and drawn at this one.
constexpr wchar_t kDpiProperty[] = L"Kivora.WndShadow.Dpi";

void SetDpiProperty(HWND shadow, int dpi) {
  SetPropW(shadow, kDpiProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(dpi)));
}

int DpiProperty(HWND shadow) {
  const int dpi = static_cast<int>(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kDpiProperty)));
  return dpi > 0 ? dpi : kBaseDpi;
}

// The shadow's last picture, kept with its shadow window so that a move that keeps
// the size only moves the window; a new size, colour or band width paints it anew.
class PictureCache {
 public:
  PictureCache() = default;
  ~PictureCache() {
    Release();
    if (memoryDc_) DeleteDC(memoryDc_);
  }
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  bool Matches(int width, int height, COLORREF color, int size) const {
    return bitmap_ && width == width_ && height == height_ && color == color_ && size == size_;
  }

  // Paints the rings into a fresh bitmap of this size; false when GDI refuses one.
  bool Paint(int width, int height, COLORREF color, int size) {
    Release();
    if (!memoryDc_) memoryDc_ = CreateCompatibleDC(nullptr);
    if (!memoryDc_) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up rows; the rings are symmetric
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(memoryDc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits) {
      Release();
      return false;
    }
    previous_ = SelectObject(memoryDc_, bitmap_);
    pixels_ = {static_cast<std::uint32_t*>(bits), static_cast<size_t>(width) * static_cast<size_t>(height)};
    PaintShadowRings(pixels_, width, height, color, size);
    width_ = width;
    height_ = height;
    color_ = color;
    size_ = size;
    return true;
  }

  HDC Dc() const { return memoryDc_; }
  ShadowPicture Picture() const { return {pixels_, width_, height_}; }

 private:
  void Release() {
    if (bitmap_) {
      SelectObject(memoryDc_, previous_);
      DeleteObject(bitmap_);
    }
    bitmap_ = nullptr;
    previous_ = nullptr;
    pixels_ = {};
    width_ = height_ = 0;
  }
  HDC memoryDc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::span<std::uint32_t> pixels_;
  int width_ = 0;
  int height_ = 0;
  COLORREF color_ = 0;
  int size_ = 0;
};

// Owns the picture cache for the life of the shadow window.
LRESULT CALLBACK ShadowWindowSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR data) noexcept {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ShadowWindowSubclass, id);
    RemovePropW(hwnd, kPictureProperty);
    delete reinterpret_cast<PictureCache*>(data);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

PictureCache* FindCache(HWND shadow) { return static_cast<PictureCache*>(GetPropW(shadow, kPictureProperty)); }

HWND CreateShadowWindow(HWND owner) {
  constexpr DWORD kExStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT;
  constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Wine registers no "SysShadow" class: there the "Static" fallback is what runs.
  HWND shadow = CreateWindowExW(kExStyle, L"SysShadow", L"", kStyle, 0, 0, 0, 0, owner, nullptr, instance, nullptr);
  if (!shadow) shadow = CreateWindowExW(kExStyle, L"Static", L"", kStyle, 0, 0, 0, 0, owner, nullptr, instance, nullptr);
  if (!shadow) return nullptr;
  auto* cache = new (std::nothrow) PictureCache();
  if (!cache || !SetWindowSubclass(shadow, ShadowWindowSubclass, kPictureSubclassId, reinterpret_cast<DWORD_PTR>(cache)) ||
      !SetPropW(shadow, kPictureProperty, cache)) {
    delete cache;
    DestroyWindow(shadow);
    return nullptr;
  }
  return shadow;
}

// The owner's shadow window, made when it has none (a failed creation stores 0).
HWND ObtainShadowWindow(HWND owner) {
  if (HWND existing = ShadowWindowOf(owner)) return existing;
  HWND shadow = CreateShadowWindow(owner);
  SetPropW(owner, kShadowWindowProperty, shadow);
  return shadow;
}

// Hands the cached picture to the layered window, placing and sizing it in the same call.
void ShowPicture(HWND shadow, const PictureCache& cache, const ShadowBox& box) {
  POINT place{box.left, box.top};
  POINT source{0, 0};
  SIZE extent{box.width, box.height};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(shadow, nullptr, &place, &extent, cache.Dc(), &source, 0, &blend, ULW_ALPHA);
}

LRESULT CALLBACK ShadowOwnerProcedure(HWND owner, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto previous = reinterpret_cast<WNDPROC>(GetPropW(owner, kShadowProcedureProperty));
  // Before the owner moves to the suggested rectangle, which redraws the band. The
  // DPI comes from wParam: GetDpiForWindow may still give the old one.
  if (message == WM_DPICHANGED) {
    if (HWND shadow = ShadowWindowOf(owner)) SetDpiProperty(shadow, LOWORD(wParam));
  }
  const LRESULT result =
      previous ? CallWindowProcW(previous, owner, message, wParam, lParam) : DefWindowProcW(owner, message, wParam, lParam);
  switch (message) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_DPICHANGED: UpdateWindowShadow(owner); break;
    case WM_SHOWWINDOW: UpdateWindowShadow(owner, wParam != 0); break;
    case WM_NCDESTROY:
      // The system destroys the owned shadow window with its owner; only the names go.
      RemovePropW(owner, kShadowWindowProperty);
      RemovePropW(owner, kShadowProcedureProperty);
      break;
    default: break;
  }
  return result;
}

}  // namespace

HWND ShadowWindowOf(HWND owner) {
  auto shadow = static_cast<HWND>(GetPropW(owner, kShadowWindowProperty));
  return shadow && IsWindow(shadow) ? shadow : nullptr;
}

bool SetWindowShadow(HWND owner, COLORREF color, int size) {
  if (!IsWindow(owner)) return false;
  if (size < 1) {
    RemoveWindowShadow(owner);
    return false;
  }
  if (HWND shadow = ObtainShadowWindow(owner)) {
    SetPropW(shadow, kShadowColorProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(color)));
    SetPropW(shadow, kShadowSizeProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(size)));
    if (!GetPropW(shadow, kDpiProperty)) SetDpiProperty(shadow, WindowDpi(owner));
  }
  UpdateWindowShadow(owner);
  if (!GetPropW(owner, kShadowProcedureProperty)) {
    LONG_PTR previous = SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShadowOwnerProcedure));
    SetPropW(owner, kShadowProcedureProperty, reinterpret_cast<HANDLE>(previous));
  }
  return true;
}

void RemoveWindowShadow(HWND owner) {
  if (HWND shadow = ShadowWindowOf(owner)) {
    RemovePropW(shadow, kShadowColorProperty);
    RemovePropW(shadow, kShadowSizeProperty);
    RemovePropW(shadow, kDpiProperty);
    DestroyWindow(shadow);
  }
  RemovePropW(owner, kShadowWindowProperty);
  auto previous = reinterpret_cast<LONG_PTR>(GetPropW(owner, kShadowProcedureProperty));
  if (!previous) return;
  // Only a procedure still at the front can be taken out. When another one was
  // chained in front of it later (docking), putting the old one back would cut that
  // one off: the shadow's procedure stays and, with no shadow window, only passes on.
  if (GetWindowLongPtrW(owner, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&ShadowOwnerProcedure)) {
    SetWindowLongPtrW(owner, GWLP_WNDPROC, previous);
    RemovePropW(owner, kShadowProcedureProperty);
  }
}

void UpdateWindowShadow(HWND owner, std::optional<bool> visible) {
  HWND shadow = ShadowWindowOf(owner);
  if (!shadow) return;
  const bool shown = visible.value_or(IsWindowVisible(owner) != FALSE);
  if (!shown || IsZoomed(owner) || IsIconic(owner)) {
    ShowWindow(shadow, SW_HIDE);
    return;
  }
  // Not SW_SHOW: that would activate the shadow and take the focus from its owner.
  if (!IsWindowVisible(shadow)) ShowWindow(shadow, SW_SHOWNA);
  RECT frame{};
  GetWindowRect(owner, &frame);
  if (frame.right == frame.left || frame.bottom == frame.top) return;
  const int size = ScaleToDpi(static_cast<int>(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowSizeProperty))),
                              DpiProperty(shadow));
  const auto color = static_cast<COLORREF>(reinterpret_cast<UINT_PTR>(GetPropW(shadow, kShadowColorProperty)));
  const ShadowBox box = ShadowAround(frame.left, frame.top, frame.right, frame.bottom, size);
  PictureCache* cache = FindCache(shadow);
  // A layered window keeps its picture: a move that keeps the size only moves it.
  constexpr UINT kPlaceOnly = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS | SWP_NOSENDCHANGING;
  if (cache && cache->Matches(box.width, box.height, color, size)) {
    SetWindowPos(shadow, nullptr, box.left, box.top, 0, 0, kPlaceOnly | SWP_NOSIZE);
    return;
  }
  if (cache && cache->Paint(box.width, box.height, color, size)) {
    ShowPicture(shadow, *cache, box);
  } else {
    SetWindowPos(shadow, nullptr, box.left, box.top, box.width, box.height, kPlaceOnly);
  }
}

ShadowPicture RenderedShadowPicture(HWND shadowWindow) {
  const PictureCache* cache = FindCache(shadowWindow);
  return cache ? cache->Picture() : ShadowPicture{};
}

}  // namespace kivora::decor

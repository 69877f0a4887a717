// The off-screen bitmap the controls of a skinned window paint into before they
// are shown in one blit, so nothing flickers.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

namespace kivora::skin {

// One memory DC and bitmap for every control of a window, made at the first paint
// and grown to the largest control, instead of a DC and a bitmap made and freed
// on every paint.
class BackBuffer {
 public:
  BackBuffer() = default;
  ~BackBuffer();
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;

  // A memory DC holding a bitmap of at least width × height pixels, of the same
  // kind as `screen`'s; null when none can be made. Valid until the next call.
  HDC Reserve(HDC screen, int width, int height);

 private:
  UniqueHandle<MemoryDcKind> dc_;
  Bitmap bitmap_;
  HGDIOBJ original_ = nullptr;  // the DC's own bitmap, put back before the DC goes
  int width_ = 0;
  int height_ = 0;
};

// Paints one control for a WM_PAINT: into the back buffer, shown in one blit at
// the end. Each paint starts from the same DC state, as a fresh DC would.
class BufferedPaint {
 public:
  BufferedPaint(HWND hwnd, BackBuffer& buffer);
  ~BufferedPaint();
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;

  HDC Dc() const { return dc_; }
  const RECT& Area() const { return area_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC target_;
  RECT area_{};
  HDC dc_ = nullptr;  // the back buffer, or the window itself when there is none
  int saved_ = 0;
};

}  // namespace kivora::skin

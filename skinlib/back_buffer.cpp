#include "skinlib/back_buffer.h"

#include <algorithm>

namespace kivora::skin {

BackBuffer::~BackBuffer() {
  if (dc_.Get() && original_) SelectObject(dc_.Get(), original_);
}

HDC BackBuffer::Reserve(HDC screen, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  if (!dc_.Get()) dc_.Reset(CreateCompatibleDC(screen));
  if (!dc_.Get()) return nullptr;
  if (width > width_ || height > height_) {
    const int grownWidth = std::max(width, width_), grownHeight = std::max(height, height_);
    Bitmap grown(CreateCompatibleBitmap(screen, grownWidth, grownHeight));
    if (!grown.Get()) return nullptr;
    HGDIOBJ previous = SelectObject(dc_.Get(), grown.Get());
    if (!original_) original_ = previous;
    bitmap_ = std::move(grown);  // the smaller bitmap, already out of the DC, is deleted
    width_ = grownWidth;
    height_ = grownHeight;
  }
  return dc_.Get();
}

BufferedPaint::BufferedPaint(HWND hwnd, BackBuffer& buffer) : hwnd_(hwnd), target_(BeginPaint(hwnd, &paint_)) {
  GetClientRect(hwnd, &area_);
  HDC memory = buffer.Reserve(target_, area_.right, area_.bottom);
  dc_ = memory ? memory : target_;
  saved_ = SaveDC(dc_);
}

BufferedPaint::~BufferedPaint() {
  RestoreDC(dc_, saved_);
  if (dc_ != target_) BitBlt(target_, 0, 0, area_.right, area_.bottom, dc_, 0, 0, SRCCOPY);
  EndPaint(hwnd_, &paint_);
}

}  // namespace kivora::skin

#include "skinlib/skin_state.h"

#include "base/dpi.h"

namespace kivora::skin {

HBRUSH WindowSkin::BackgroundBrush() {
  if (!backgroundBrush_.Get() || backgroundBrushColor_ != Color(Role::Background)) {
    backgroundBrushColor_ = Color(Role::Background);
    backgroundBrush_.Reset(CreateSolidBrush(backgroundBrushColor_));
  }
  return backgroundBrush_.Get();
}

int WindowSkin::Scaled(int pixels) const { return ScaleToDpi(pixels, dpi_); }

void WindowSkin::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  captionFont_.Reset();
}

HFONT WindowSkin::CaptionFont() {
  if (!captionFont_.Get()) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW face = metrics.lfCaptionFont;
    // The system's metrics are at the system's DPI; the window may be on a monitor of another.
    face.lfHeight = MulDiv(face.lfHeight, dpi_, SystemDpi());
    face.lfWeight = FW_SEMIBOLD;
    captionFont_.Reset(CreateFontIndirectW(&face));
  }
  return captionFont_.Get();
}

}  // namespace kivora::skin

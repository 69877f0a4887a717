#include "skinlib/skin_state.h"

namespace kivora::skin {

HBRUSH WindowSkin::BackgroundBrush() {
  if (!backgroundBrush_.Get() || backgroundBrushColor_ != Color(Role::Background)) {
    backgroundBrushColor_ = Color(Role::Background);
    backgroundBrush_.Reset(CreateSolidBrush(backgroundBrushColor_));
  }
  return backgroundBrush_.Get();
}

HFONT WindowSkin::CaptionFont() {
  if (!captionFont_.Get()) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW face = metrics.lfCaptionFont;
    face.lfWeight = FW_SEMIBOLD;
    captionFont_.Reset(CreateFontIndirectW(&face));
  }
  return captionFont_.Get();
}

}  // namespace kivora::skin

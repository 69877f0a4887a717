#include "ui/picture_fit.h"

#include <algorithm>
#include <cstdint>

namespace kivora::ui {

FittedRect FitCentred(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return {0, 0, 0, 0};
  const std::int64_t pw = pictureWidth, ph = pictureHeight, bw = boxWidth, bh = boxHeight;
  std::int64_t width = bw, height = bh;
  // Wider than the box's aspect: the width fills the box; otherwise the height does.
  if (pw * bh >= ph * bw) {
    height = std::max<std::int64_t>(1, (ph * bw * 2 + pw) / (pw * 2));
  } else {
    width = std::max<std::int64_t>(1, (pw * bh * 2 + ph) / (ph * 2));
  }
  return {static_cast<int>((bw - width) / 2), static_cast<int>((bh - height) / 2), static_cast<int>(width),
          static_cast<int>(height)};
}

}  // namespace kivora::ui

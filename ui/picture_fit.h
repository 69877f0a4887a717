// Where a picture lands in a box of another size: scaled with its aspect kept
// and centred. Plain arithmetic, no windows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kivora::ui {

struct FittedRect {
  int left, top, width, height;
  friend bool operator==(const FittedRect&, const FittedRect&) = default;
};

// The largest rectangle of the picture's aspect that fits the box, centred in it
// (rounded to whole pixels, at least one pixel each way). A picture of the box's
// own size fills it exactly; an empty picture or box gives an empty rectangle.
FittedRect FitCentred(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight);

// The picture (32-bit pixels, rows of its width; premultiplied BGRA) at another size:
// each new pixel the mean of the area of the old picture it covers, channel by
// channel, so a picture made smaller stays smooth and text in it stays legible.
// Empty when a size is not positive or the pixels do not match the size.
std::vector<std::uint32_t> ResampleByArea(std::span<const std::uint32_t> pixels, int width, int height, int toWidth,
                                          int toHeight);

}  // namespace kivora::ui

// Where a picture lands in a box of another size: scaled with its aspect kept
// and centred. Plain arithmetic, no windows.
#pragma once

namespace kivora::ui {

struct FittedRect {
  int left, top, width, height;
  friend bool operator==(const FittedRect&, const FittedRect&) = default;
};

// The largest rectangle of the picture's aspect that fits the box, centred in it
// (rounded to whole pixels, at least one pixel each way). A picture of the box's
// own size fills it exactly; an empty picture or box gives an empty rectangle.
FittedRect FitCentred(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight);

}  // namespace kivora::ui

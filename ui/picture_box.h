// What a picture box shows: a JPEG or PNG picture held in memory, drawn scaled
// into the box with its aspect kept and centred on the box's background.
#pragma once

#include <windows.h>

#include <span>

#include "ui/png_picture.h"

namespace kivora::ui {

// Decodes the bytes by their signature as JPEG or PNG; anything else, or a
// picture either decoder refuses, gives an empty picture.
PngPicture DecodePicture(std::span<const unsigned char> bytes) noexcept;

// Draws the picture (premultiplied alpha) fitted into `area` of the DC, over
// whatever the DC already holds there. An empty picture draws nothing.
void DrawFitted(HDC dc, const RECT& area, const PngPicture& picture);

// The picture resampled to the size it takes when fitted into a box of this size
// (ResampleByArea): GDI's own stretching repeats and drops whole pixels.
PngPicture FittedCopy(const PngPicture& picture, int boxWidth, int boxHeight);

}  // namespace kivora::ui

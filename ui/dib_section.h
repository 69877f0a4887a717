// The one bitmap layout every decoded picture uses: 32 bits a pixel, rows top-down.
#pragma once

#include <windows.h>

namespace kivora::ui {

// A DIB section of width x height 32-bit pixels with the top row first in memory;
// *bits points at its pixels. Null when GDI cannot make it.
HBITMAP CreateTopDownDib(int width, int height, void** bits);

}  // namespace kivora::ui

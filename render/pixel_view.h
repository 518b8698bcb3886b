// A block of pixels in memory that belongs to someone else: a surface's pixels while
// they are locked or held by a canvas, or a finished frame handed to the window.
#pragma once

#include <cstdint>

#include "pixel_format.h"

// Row y starts at Bits + y * Pitch (the pitch may be negative for a bottom-up block);
// pixels are little-endian values of Format.BytesPerPixel() bytes. Palette is the
// 256-entry colour table that palette-indexed pixels refer to, or null.
struct TPixelView {
  std::uint8_t* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  int Pitch = 0;
  TPixelFormat Format;
  const TRGBQuad* Palette = nullptr;
};

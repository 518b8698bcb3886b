// Text on pixel memory: the font a surface canvas draws with, and the side that
// draws it (the window system's: TDXDrawPlatform is one).
#pragma once

#include <string>

#include "pixel_format.h"
#include "pixel_view.h"

// The font and brush a canvas draws text with.
struct TCanvasFont {
  std::string Name = "MS Sans Serif";
  int SizePoints = 8;
  TColor Color = RGB(0, 0, 0);
  bool BrushClear = false;  // no background behind the text
  TColor BrushColor = RGB(255, 255, 255);
};

class TTextDrawer {
 public:
  virtual ~TTextDrawer() = default;
  // Draws `text` with its top-left corner at (x, y) into `target`.
  virtual void DrawText(const TPixelView& target, const TCanvasFont& font, int x, int y,
                        const std::string& text) = 0;
};

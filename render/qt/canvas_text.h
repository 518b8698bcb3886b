// Text on a surface's own memory, drawn with Qt: what QtDXDrawPlatform draws the
// surface canvases' text with. Needs a QGuiApplication.
#pragma once

#include <string>

#include "pixel_view.h"
#include "text_drawer.h"

// Draws `text` with its top-left corner at (x, y); formats that Qt cannot paint on
// (palette-indexed) draw nothing.
void DrawCanvasTextWithQt(const TPixelView& target, const TCanvasFont& font, int x, int y, const std::string& text);

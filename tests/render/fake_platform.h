// A window-system side for tests: counts waits and frames, records the text it is
// asked to draw and can lose the screen.
#pragma once

#include <string>
#include <vector>

#include "direct_draw.h"
#include "dxdraw_platform.h"

class TFakePlatform : public TDXDrawPlatform {
 public:
  bool ParentForm = true;
  TPixelFormat Format = pixel_formats::Rgb565;
  int Width = 502, Height = 402;
  bool Lost = false;
  bool CanRestore = true;
  int Waits = 0;
  int Frames = 0;
  int PaletteLoads = 0;
  TRect LastTarget;
  std::uint32_t LastTopLeft = 0;
  TRGBQuad LastPalette[256] = {};
  std::vector<std::string> Texts;  // "font/size/text" of each line drawn

  bool HasParentForm() const override { return ParentForm; }
  TPixelFormat DisplayFormat() const override { return Format; }
  int ControlWidth() const override { return Width; }
  int ControlHeight() const override { return Height; }
  bool PrimaryLost() override { return Lost; }
  bool RestorePrimary() override {
    if (CanRestore) Lost = false;
    return CanRestore;
  }
  void WaitForVerticalBlank() override { ++Waits; }
  void ShowFrame(const TPixelView& frame, const TRect& target) override {
    ++Frames;
    LastTarget = target;
    LastTopLeft = 0;
    if (frame.Bits && frame.Width > 0 && frame.Height > 0)
      for (int i = 0; i < frame.Format.BytesPerPixel(); ++i) LastTopLeft |= std::uint32_t(frame.Bits[i]) << (8 * i);
  }
  void DrawText(const TPixelView&, const TCanvasFont& font, int, int, const std::string& text) override {
    Texts.push_back(font.Name + "/" + std::to_string(font.SizePoints) + "/" + text);
  }
  void ApplyPalette(const TRGBQuad (&entries)[256]) override {
    ++PaletteLoads;
    for (int i = 0; i < 256; ++i) LastPalette[i] = entries[i];
  }
};

// Records the calls that DrawBlend hands to the blend pixel loop.
#pragma once

#include <cstdint>
#include <vector>

#include "pixel_format.h"

struct TBlendSurface {
  std::uint8_t* Bits;
  int Width, Height;
  int Pitch;
  TPixelFormat Format;
  const TRGBQuad* Palette;
};
void BlendRect(const TBlendSurface& target, const TBlendSurface& source, const TRect& destRect, const TRect& srcRect,
               bool transparent, std::uint32_t colorKey, int alpha);

struct TBlendCall {
  TBlendSurface Target, Source;
  TRect DestRect, SrcRect;
  bool Transparent;
  std::uint32_t ColorKey;
  int Alpha;
};
std::vector<TBlendCall>& BlendCalls();

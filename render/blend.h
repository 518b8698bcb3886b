// The additive blend: a source rectangle, scaled to a target rectangle by nearest
// sampling, is added onto the target's pixels (scaled by Alpha/256 below 255), each
// colour channel clamped at its maximum. On a palette-indexed target the source is
// copied instead.
//
// BlendRect works on locked pixel memory and does the whole drawing: rectangle checks,
// clipping, the 16.16 stepping, the per-pixel combination and the packing. The surface
// layer calls it from DrawBlend once its own entry checks have passed.
#pragma once

#include <cstdint>

#include "pixel_format.h"
#include "pixel_view.h"

// Draws srcRect of source into destRect of target (locked pixels, each with its
// colour table when palette-indexed). With transparent, source pixels whose raw value
// (alpha bits left out) equals colorKey leave the target alone. alpha is 1..255; 0 or less draws nothing and values above 255 act as 255.
//
// Supported: RGB surfaces of 1 to 4 bytes per pixel with any channel masks, 8-bit
// palette-indexed sources onto RGB targets (through the source palette), and 8-bit
// palette-indexed targets. Onto an indexed target an indexed source is copied raw;
// an RGB source is drawn as the nearest colour of the target palette (nothing is
// drawn when the target has no palette). Other combinations (1, 2 or 4-bit indices,
// an indexed source without a palette, more than 32 bits per pixel, a pitch shorter
// than a row, null pixels) draw nothing.
//
// Channel rules: a colour channel the source lacks counts as 0; a source alpha channel
// scales the source in place of Alpha (below 255); a target alpha channel is left as
// it was; target bits that belong to no channel are written as 0.
//
// The target and source may share memory (a surface drawn onto itself); the pixels are
// then combined one at a time in reading order.
void BlendRect(const TPixelView& target, const TPixelView& source, const TRect& destRect,
               const TRect& srcRect, bool transparent, std::uint32_t colorKey, int alpha);

// The ways the pixel loop can be run. All of them write the same pixels; the choice
// exists so that tests can hold each against the others.
enum class TBlendPath {
  Auto,      // the fastest one this processor runs
  Avx2,      // 256-bit vector row loops (x86-64 with AVX2)
  Sse2,      // 128-bit vector row loops (x86-64)
  Template,  // scalar row loops specialised per pixel format at compile time
  Generic,   // one per-pixel loop that reads the formats at run time
};

// Chooses the path for later calls (process-wide). A path the processor cannot run
// falls back to the next slower one. Formats or modes without a specialised loop
// always take the generic loop.
void SetBlendPath(TBlendPath path);
TBlendPath GetBlendPath();
bool BlendPathAvailable(TBlendPath path);

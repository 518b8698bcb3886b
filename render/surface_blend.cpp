// The blended copy's entry: checks, locking and the hand-over to the pixel loop.
#include "direct_draw.h"

#if __has_include("blend.h")
#include "blend.h"
#else
// The pixel loop lives with the blend code; its interface is repeated here until
// that code is part of this tree.
struct TBlendSurface {
  std::uint8_t* Bits;
  int Width, Height;
  int Pitch;
  TPixelFormat Format;
  const TRGBQuad* Palette;  // 256 entries or null
};
void BlendRect(const TBlendSurface& target, const TBlendSurface& source, const TRect& destRect, const TRect& srcRect,
               bool transparent, std::uint32_t colorKey, int alpha);
#endif

namespace {

// Unlocks on leaving, also when the pixel loop raises.
struct TLockGuard {
  TDirectDrawSurface& Surface;
  ~TLockGuard() { Surface.Unlock(); }
};

TBlendSurface Describe(TDirectDrawSurface& s, const TDirectDrawPalette* palette, TRGBQuad (&table)[256]) {
  const TRGBQuad* entries = nullptr;
  if (s.Format().Indexed && palette) {
    for (int i = 0; i < 256; ++i) {
      const TPaletteEntry& e = palette->Entry(i);
      table[i] = TRGBQuad{e.Blue, e.Green, e.Red, 0};
    }
    entries = table;
  }
  return TBlendSurface{s.Bits(), s.Width(), s.Height(), s.Pitch(), s.Format(), entries};
}

}  // namespace

void TDirectDrawSurface::DrawBlend(const TRect& destRect, const TRect& srcRect, TDirectDrawSurface* source,
                                   bool transparent, int alpha) {
  if (Width() == 0 || Height() == 0) return;
  if (!source || source->Width() == 0 || source->Height() == 0) return;
  if (alpha == 0) return;
  if (!Lock()) return;
  TLockGuard targetLock{*this};
  if (!source->Lock()) {
    SetErrorCode(source->ErrorCode());
    return;
  }
  TLockGuard sourceLock{*source};
  TRGBQuad targetTable[256], sourceTable[256];
  const TBlendSurface target = Describe(*this, MatchPalette(), targetTable);
  const TBlendSurface from = Describe(*source, source->MatchPalette(), sourceTable);
  BlendRect(target, from, destRect, srcRect, transparent, source->ColorKey(), alpha);
}

// The blended copy's entry: checks, locking and the hand-over to the pixel loop.
#include "direct_draw.h"

#include "blend.h"

namespace {

// Unlocks on leaving, also when the pixel loop raises.
struct TLockGuard {
  TDirectDrawSurface& Surface;
  ~TLockGuard() { Surface.Unlock(); }
};

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
  const TPixelView target = View(targetTable);
  const TPixelView from = source->View(sourceTable);
  BlendRect(target, from, destRect, srcRect, transparent, source->ColorKey(), alpha);
}

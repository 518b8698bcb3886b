// Test double for the blend pixel loop, used until the real one is in this tree: it
// records each call so that the entry checks and locking of DrawBlend can be tested.
#include "blend_stub.h"

std::vector<TBlendCall>& BlendCalls() {
  static std::vector<TBlendCall> calls;
  return calls;
}

void BlendRect(const TBlendSurface& target, const TBlendSurface& source, const TRect& destRect, const TRect& srcRect,
               bool transparent, std::uint32_t colorKey, int alpha) {
  BlendCalls().push_back(TBlendCall{target, source, destRect, srcRect, transparent, colorKey, alpha});
}

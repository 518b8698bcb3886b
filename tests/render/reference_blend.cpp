// The blend written out plainly: every rule applied in order for every pixel, with no
// tables, no runs and no specialisation. Slow on purpose.
#include <cassert>
#include <climits>

#include "blend_test_support.h"

namespace blend_test {
namespace {

// A channel's mask, its bit count and lowest bit, and the shifts to an 8-bit value.
struct TRefChannel {
  std::uint32_t mask = 0;
  int right = 0, left = 0;
};

TRefChannel Describe(std::uint32_t mask) {
  TRefChannel c;
  c.mask = mask;
  if (mask == 0) return c;
  int bits = 0, low = -1;
  for (int b = 0; b < 32; ++b) {
    if (mask & (std::uint32_t(1) << b)) {
      ++bits;
      if (low < 0) low = b;
    }
  }
  const int shift = low + bits - 8;
  c.right = shift >= 0 ? shift : 0;
  c.left = -(shift - c.right);
  return c;
}

std::uint32_t ToEight(std::uint32_t raw, const TRefChannel& c) { return ((raw & c.mask) >> c.right) << c.left; }
std::uint32_t FromEight(std::uint32_t value, const TRefChannel& c) { return ((value << c.right) >> c.left) & c.mask; }

std::uint32_t Read(const TPixelView& s, int x, int y) {
  const int bytes = s.Format.BytesPerPixel();
  const std::uint8_t* p = s.Bits + (long long)y * s.Pitch + (long long)x * bytes;
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v += std::uint32_t(p[i]) << (8 * i);
  return v;
}

void Write(const TPixelView& s, int x, int y, std::uint32_t v) {
  const int bytes = s.Format.BytesPerPixel();
  std::uint8_t* p = s.Bits + (long long)y * s.Pitch + (long long)x * bytes;
  for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t Min255(std::uint32_t v) { return v < 255 ? v : 255; }

int NearestIndex(const TRGBQuad* palette, int r, int g, int b) {
  int best = 0;
  long bestDistance = LONG_MAX;
  for (int i = 0; i < 256; ++i) {
    const long dr = palette[i].Red - r, dg = palette[i].Green - g, db = palette[i].Blue - b;
    const long distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

}  // namespace

bool ReferenceBlend(const TPixelView& target, const TPixelView& source, const TRect& destRect,
                    const TRect& srcRect, bool transparent, std::uint32_t colorKey, int alpha) {
  // Alpha outside 1..255: nothing below 1, 255 above.
  if (alpha < 1) return false;
  if (alpha > 255) alpha = 255;
  // Surface combinations this blend draws.
  if (target.Format.Indexed && !source.Format.Indexed && target.Palette == nullptr) return false;
  if (source.Format.Indexed && !target.Format.Indexed && source.Palette == nullptr) return false;
  assert(source.Width < 65536 && target.Width < 65536);

  // Geometry.
  if (destRect.Left >= destRect.Right || destRect.Top >= destRect.Bottom) return false;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > source.Width || srcRect.Bottom > source.Height ||
      srcRect.Left >= srcRect.Right || srcRect.Top >= srcRect.Bottom)
    return false;

  long long left = destRect.Left, right = destRect.Right, top = destRect.Top, bottom = destRect.Bottom;
  long long skipX = 0, skipY = 0;
  if (left < 0) {
    skipX = -left;
    left = 0;
  }
  if (right > target.Width) right = target.Width;
  if (!(right >= 1 && right - left >= 1)) return false;
  if (top < 0) {
    skipY = -top;
    top = 0;
  }
  if (bottom > target.Height) bottom = target.Height;
  if (!(bottom >= 1 && bottom - top >= 1)) return false;

  const long long destWidth = (long long)destRect.Right - destRect.Left;
  const long long destHeight = (long long)destRect.Bottom - destRect.Top;
  const long long du = (long long)(srcRect.Right - srcRect.Left) * 65535 / destWidth;
  const long long dv = (long long)(srcRect.Bottom - srcRect.Top) * 65535 / destHeight;

  // Start positions must be non-negative 32-bit values.
  const __int128 uStart = (__int128)skipX * du + (__int128)srcRect.Left * 65535;
  const __int128 vStart = (__int128)skipY * dv + (__int128)srcRect.Top * 65535;
  if (uStart < 0 || vStart < 0 || uStart > INT32_MAX || vStart > INT32_MAX) return false;

  // End check.
  if ((((__int128)(right - left) * du + uStart) >> 16) >= source.Width) return false;
  if ((((__int128)(bottom - top) * dv + vStart) >> 16) >= source.Height) return false;

  const TRefChannel tr = Describe(target.Format.Red.Mask), tg = Describe(target.Format.Green.Mask),
                    tb = Describe(target.Format.Blue.Mask);
  const TRefChannel sr = Describe(source.Format.Red.Mask), sg = Describe(source.Format.Green.Mask),
                    sb = Describe(source.Format.Blue.Mask), sa = Describe(source.Format.Alpha.Mask);

  std::uint32_t v = std::uint32_t(vStart);
  for (long long y = top; y < bottom; ++y, v += std::uint32_t(dv)) {
    std::uint32_t u = std::uint32_t(uStart);
    for (long long x = left; x < right; ++x, u += std::uint32_t(du)) {
      const std::uint32_t raw = Read(source, int(u >> 16), int(v >> 16));
      if (transparent && (raw & ~source.Format.Alpha.Mask) == colorKey) continue;

      if (target.Format.Indexed) {
        if (source.Format.Indexed) {
          Write(target, int(x), int(y), raw);
        } else {
          Write(target, int(x), int(y),
                std::uint32_t(NearestIndex(target.Palette, int(ToEight(raw, sr)), int(ToEight(raw, sg)),
                                           int(ToEight(raw, sb)))));
        }
        continue;
      }

      std::uint32_t s[3], a;
      if (source.Format.Indexed) {
        const TRGBQuad& q = source.Palette[raw & 0xFF];
        s[0] = q.Red, s[1] = q.Green, s[2] = q.Blue;
        a = std::uint32_t(alpha);
      } else {
        s[0] = sr.mask ? ToEight(raw, sr) : 0;
        s[1] = sg.mask ? ToEight(raw, sg) : 0;
        s[2] = sb.mask ? ToEight(raw, sb) : 0;
        a = sa.mask ? ToEight(raw, sa) : std::uint32_t(alpha);
      }
      const std::uint32_t old = Read(target, int(x), int(y));
      const TRefChannel* channels[3] = {&tr, &tg, &tb};
      std::uint32_t out = 0;
      for (int c = 0; c < 3; ++c) {
        if (!channels[c]->mask) continue;
        const std::uint32_t d = ToEight(old, *channels[c]);
        const std::uint32_t r = alpha == 255 ? Min255(s[c] + d) : Min255(((s[c] * a) >> 8) + d);
        out |= FromEight(r, *channels[c]);
      }
      out |= old & target.Format.Alpha.Mask;  // the target's alpha is left as it was
      Write(target, int(x), int(y), out);
    }
  }
  return true;
}

}  // namespace blend_test

// Copies between surfaces: the clipped copy, the unclipped fast copy, the general
// copy with stretching, colour fill and source colour key.
#include <algorithm>
#include <cstring>
#include <vector>

#include "direct_draw.h"

namespace {

bool Inside(const TRect& r, int width, int height) {
  return r.Left >= 0 && r.Top >= 0 && r.Right <= width && r.Bottom <= height;
}

TRect Intersect(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

std::uint32_t ReadRaw(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

// The rows of a source rectangle. A copy within one surface works from a copy of
// the rectangle, so that it reads the pixels as they were before it started.
class TSourceRows {
 public:
  TSourceRows(const TDirectDrawSurface& s, const TRect& r, bool snapshot) {
    const int bpp = s.Format().BytesPerPixel();
    const std::size_t rowBytes = std::size_t(r.Width()) * std::size_t(bpp);
    const std::uint8_t* first = s.Bits() + std::size_t(r.Top) * std::size_t(s.Pitch()) + std::size_t(r.Left) * std::size_t(bpp);
    if (!snapshot) {
      FFirst = first;
      FPitch = std::size_t(s.Pitch());
      return;
    }
    FCopy.resize(rowBytes * std::size_t(r.Height()));
    for (int y = 0; y < r.Height(); ++y)
      std::memcpy(FCopy.data() + std::size_t(y) * rowBytes, first + std::size_t(y) * std::size_t(s.Pitch()), rowBytes);
    FFirst = FCopy.data();
    FPitch = rowBytes;
  }
  const std::uint8_t* Row(int y) const { return FFirst + std::size_t(y) * FPitch; }

 private:
  std::vector<std::uint8_t> FCopy;
  const std::uint8_t* FFirst = nullptr;
  std::size_t FPitch = 0;
};

}  // namespace

bool TDirectDrawSurface::FastCopy(int x, int y, const TRect& srcRect, std::uint32_t flags, TDirectDrawSurface* source) {
  if (!source) return Check(DDERR_INVALIDPARAMS);
  if (!FHasSurface || !source->FHasSurface) return Check(DDERR_INVALIDOBJECT);
  if (Busy() || source->Busy()) return Check(DDERR_SURFACEBUSY);
  if (FClipper) return Check(DDERR_BLTFASTCANTCLIP);
  if (srcRect.Empty() || !Inside(srcRect, source->FWidth, source->FHeight)) return Check(DDERR_INVALIDRECT);
  const std::int64_t right = std::int64_t(x) + srcRect.Width(), bottom = std::int64_t(y) + srcRect.Height();
  if (x < 0 || y < 0 || right > FWidth || bottom > FHeight) return Check(DDERR_INVALIDRECT);
  if (!(source->FFormat == FFormat)) return Check(DDERR_INVALIDPIXELFORMAT);

  const int bpp = FFormat.BytesPerPixel();
  const TSourceRows rows(*source, srcRect, source == this);
  const bool keyed = (flags & DDBLTFAST_SRCCOLORKEY) != 0;
  const std::uint32_t key = source->FColorKey;
  const std::size_t rowBytes = std::size_t(srcRect.Width()) * std::size_t(bpp);
  for (int row = 0; row < srcRect.Height(); ++row) {
    std::uint8_t* out = PixelAddress(x, y + row);
    const std::uint8_t* in = rows.Row(row);
    if (!keyed) {
      std::memcpy(out, in, rowBytes);
      continue;
    }
    for (int col = 0; col < srcRect.Width(); ++col, in += bpp, out += bpp)
      if (ReadRaw(in, bpp) != key) std::memcpy(out, in, std::size_t(bpp));
  }
  return Check(DD_OK);
}

bool TDirectDrawSurface::Blit(const TRect* destRect, const TRect* srcRect, std::uint32_t flags,
                              const TDDBltFX* effects, TDirectDrawSurface* source) {
  if (!FHasSurface) return Check(DDERR_INVALIDOBJECT);
  if (Busy() || (source && source->Busy())) return Check(DDERR_SURFACEBUSY);
  const TRect dest = destRect ? *destRect : ClientRect();
  if (dest.Empty()) return Check(DDERR_INVALIDRECT);
  // Without a clipper the target rectangle must lie inside the surface; with one the
  // copy is limited to the clipper's visible area.
  TRect visible = dest;
  if (FClipper) {
    visible = Intersect(Intersect(dest, ClientRect()), FClipper->ClipRect());
    if (visible.Empty()) return Check(DD_OK);
  } else if (!Inside(dest, FWidth, FHeight)) {
    return Check(DDERR_INVALIDRECT);
  }
  const int bpp = FFormat.BytesPerPixel();

  if (flags & DDBLT_COLORFILL) {
    if (!effects) return Check(DDERR_INVALIDPARAMS);
    std::uint8_t value[4];
    for (int i = 0; i < 4; ++i) value[i] = std::uint8_t(effects->dwFillColor >> (8 * i));
    for (int y = visible.Top; y < visible.Bottom; ++y) {
      std::uint8_t* out = PixelAddress(visible.Left, y);
      for (int x = visible.Left; x < visible.Right; ++x, out += bpp) std::memcpy(out, value, std::size_t(bpp));
    }
    return Check(DD_OK);
  }

  if (!source) return Check(DDERR_INVALIDPARAMS);
  if (!source->FHasSurface) return Check(DDERR_INVALIDOBJECT);
  const TRect src = srcRect ? *srcRect : source->ClientRect();
  if (src.Empty() || !Inside(src, source->FWidth, source->FHeight)) return Check(DDERR_INVALIDRECT);
  if (!(source->FFormat == FFormat)) return Check(DDERR_INVALIDPIXELFORMAT);

  const TSourceRows block(*source, src, source == this);
  const bool keyed = (flags & DDBLT_KEYSRC) != 0;
  const std::uint32_t key = source->FColorKey;
  const std::int64_t sw = src.Width(), sh = src.Height();
  const std::int64_t dw = std::int64_t(dest.Right) - dest.Left, dh = std::int64_t(dest.Bottom) - dest.Top;
  std::vector<int> columns(std::size_t(visible.Width()));
  for (int x = visible.Left; x < visible.Right; ++x)
    columns[std::size_t(x - visible.Left)] = int((std::int64_t(x) - dest.Left) * sw / dw);
  for (int y = visible.Top; y < visible.Bottom; ++y) {
    const std::uint8_t* in = block.Row(int((std::int64_t(y) - dest.Top) * sh / dh));
    std::uint8_t* out = PixelAddress(visible.Left, y);
    if (!keyed && sw == dw) {
      std::memcpy(out, in + std::size_t(columns[0]) * std::size_t(bpp), std::size_t(visible.Width()) * std::size_t(bpp));
      continue;
    }
    for (int col : columns) {
      const std::uint8_t* p = in + std::size_t(col) * std::size_t(bpp);
      if (!keyed || ReadRaw(p, bpp) != key) std::memcpy(out, p, std::size_t(bpp));
      out += bpp;
    }
  }
  return Check(DD_OK);
}

void TDirectDrawSurface::Draw(int x, int y, const TRect& srcRect, TDirectDrawSurface* source, bool transparent) {
  if (!source) return;
  // Clip in 64 bits so that far-off positions cannot overflow.
  struct TWide { std::int64_t Left, Top, Right, Bottom; };
  TWide src{srcRect.Left, srcRect.Top, srcRect.Right, srcRect.Bottom};
  TWide dest{x, y, std::int64_t(x) + (src.Right - src.Left), std::int64_t(y) + (src.Bottom - src.Top)};
  const TWide target{0, 0, Width(), Height()};
  const TWide bounds{0, 0, source->Width(), source->Height()};

  if (target.Left > dest.Left) { src.Left += target.Left - dest.Left; dest.Left = target.Left; }
  if (target.Top > dest.Top) { src.Top += target.Top - dest.Top; dest.Top = target.Top; }
  if (bounds.Left > src.Left) { dest.Left += bounds.Left - src.Left; src.Left = bounds.Left; }
  if (bounds.Top > src.Top) { dest.Top += bounds.Top - src.Top; src.Top = bounds.Top; }
  if (target.Right < dest.Right) { src.Right -= dest.Right - target.Right; dest.Right = target.Right; }
  if (target.Bottom < dest.Bottom) { src.Bottom -= dest.Bottom - target.Bottom; dest.Bottom = target.Bottom; }
  if (bounds.Right < src.Right) { dest.Right -= src.Right - bounds.Right; src.Right = bounds.Right; }
  if (bounds.Bottom < src.Bottom) { dest.Bottom -= src.Bottom - bounds.Bottom; src.Bottom = bounds.Bottom; }
  if (dest.Left >= dest.Right || dest.Top >= dest.Bottom || src.Left >= src.Right || src.Top >= src.Bottom) return;

  const TRect d{int(dest.Left), int(dest.Top), int(dest.Right), int(dest.Bottom)};
  const TRect s{int(src.Left), int(src.Top), int(src.Right), int(src.Bottom)};
  if (!FGeneralCopy) {
    const std::uint32_t flags = DDBLTFAST_WAIT | (transparent ? DDBLTFAST_SRCCOLORKEY : 0);
    if (FastCopy(d.Left, d.Top, s, flags, source)) return;
    if (ErrorCode() != DDERR_BLTFASTCANTCLIP) return;
    if (FClipper) FGeneralCopy = true;
  }
  Blit(&d, &s, DDBLT_WAIT | (transparent ? DDBLT_KEYSRC : 0), nullptr, source);
}

bool TDirectDrawSurface::Fill(std::uint32_t value) {
  TDDBltFX fx;
  fx.dwFillColor = value;
  return Blit(nullptr, nullptr, DDBLT_WAIT | DDBLT_COLORFILL, &fx, nullptr);
}

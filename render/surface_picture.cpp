// Turning pictures into surface pixels: colour matching and picture loading.
#include <vector>

#include "direct_draw.h"

namespace {

// Stretches `rect` of a picture onto the whole W by H surface, nearest pixel;
// positions outside the picture leave the surface black.
template <typename ColorAt>
void StretchOnto(TDirectDrawSurface& surface, const TRect& rect, int pictureWidth, int pictureHeight,
                 ColorAt colorAt) {
  const int w = surface.Width(), h = surface.Height();
  const std::int64_t sw = rect.Width(), sh = rect.Height();
  if (sw <= 0 || sh <= 0) return;
  for (int y = 0; y < h; ++y) {
    const std::int64_t sy = rect.Top + std::int64_t(y) * sh / h;
    if (sy < 0 || sy >= pictureHeight) continue;
    for (int x = 0; x < w; ++x) {
      const std::int64_t sx = rect.Left + std::int64_t(x) * sw / w;
      if (sx < 0 || sx >= pictureWidth) continue;
      surface.SetPixel(x, y, colorAt(int(sx), int(sy)));
    }
  }
}

}  // namespace

std::uint32_t TDirectDrawSurface::MatchColor(TColor color) {
  if (!FHasSurface) return 0;
  // Put the colour at (0, 0), read back what the surface made of it, and restore
  // the pixel that was there.
  const std::uint32_t saved = Pixel(0, 0);
  SetPixel(0, 0, ConvertColor(color));
  const std::uint32_t value = Pixel(0, 0);
  SetPixel(0, 0, saved);
  return value;
}

void TDirectDrawSurface::LoadPicture(const TPicture& picture, int width, int height, const TRect& srcRect) {
  if (width == 0) width = srcRect.Width();
  if (height == 0) height = srcRect.Height();
  SetSize(width, height);
  if (!FHasSurface || picture.Empty()) return;

  // The picture is drawn through the canvas, which is given back afterwards.
  TDirectDrawSurfaceCanvas& canvas = Canvas();
  const bool heldBefore = canvas.HandleAllocated();
  if (!canvas.Handle()) return;

  if (const TDIB* dib = picture.Dib()) {
    if (dib->BitCount() <= 8) {
      std::vector<std::uint32_t> raw(dib->Palette().size());
      for (std::size_t i = 0; i < raw.size(); ++i) {
        const TRGBQuad& e = dib->Palette()[i];
        raw[i] = ConvertColor(RGB(e.Red, e.Green, e.Blue));
      }
      StretchOnto(*this, srcRect, dib->Width(), dib->Height(),
                  [&](int x, int y) { return raw[std::size_t(dib->PixelIndex(x, y))]; });
    } else {
      StretchOnto(*this, srcRect, dib->Width(), dib->Height(),
                  [&](int x, int y) { return ConvertColor(dib->PixelColor(x, y)); });
    }
  } else if (const TBitmap* bitmap = picture.Bitmap()) {
    if (srcRect.Width() == width && srcRect.Height() == height) {
      // Same size: the bitmap drawn at (-SrcRect.Left, -SrcRect.Top).
      for (int y = 0; y < height; ++y) {
        const int by = y + srcRect.Top;
        if (by < 0 || by >= bitmap->Height()) continue;
        for (int x = 0; x < width; ++x) {
          const int bx = x + srcRect.Left;
          if (bx < 0 || bx >= bitmap->Width()) continue;
          SetPixel(x, y, ConvertColor(bitmap->Pixel(bx, by)));
        }
      }
    } else {
      // Another size: through a 24-bit picture of SrcRect's size, then stretched.
      TDIB between(std::max(srcRect.Width(), 0), std::max(srcRect.Height(), 0), 24);
      for (int y = 0; y < between.Height(); ++y)
        for (int x = 0; x < between.Width(); ++x) {
          const int bx = x + srcRect.Left, by = y + srcRect.Top;
          if (bx >= 0 && by >= 0 && bx < bitmap->Width() && by < bitmap->Height())
            between.SetPixelColor(x, y, bitmap->Pixel(bx, by));
        }
      StretchOnto(*this, TRect{0, 0, between.Width(), between.Height()}, between.Width(), between.Height(),
                  [&](int x, int y) { return ConvertColor(between.PixelColor(x, y)); });
    }
  }
  if (!heldBefore) canvas.Release();
}

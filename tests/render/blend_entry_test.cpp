// DrawBlend's entry checks and what it hands to the blend pixel loop: every refused
// call leaves the target's pixels as they were, and an accepted one draws exactly
// what the pixel loop draws when it is called directly on the same pixels with the
// same rectangles, colour key, Alpha and colour tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "blend.h"
#include "direct_draw.h"

namespace {

std::vector<std::uint8_t> Snapshot(TDirectDrawSurface& s) {
  return std::vector<std::uint8_t>(s.Bits(), s.Bits() + std::size_t(s.Pitch()) * std::size_t(s.Height()));
}

// What BlendRect draws onto a copy of `target`'s pixels.
std::vector<std::uint8_t> BlendedCopy(TDirectDrawSurface& target, const TRGBQuad* targetTable, TDirectDrawSurface& source,
                                      const TRGBQuad* sourceTable, const TRect& destRect, const TRect& srcRect,
                                      bool transparent, std::uint32_t key, int alpha) {
  std::vector<std::uint8_t> copy = Snapshot(target);
  TPixelView to = target.View();
  to.Bits = copy.data();
  to.Palette = targetTable;
  TPixelView from = source.View();
  from.Palette = sourceTable;
  BlendRect(to, from, destRect, srcRect, transparent, key, alpha);
  return copy;
}

class BlendEntry : public ::testing::TestWithParam<TPixelFormat> {
 protected:
  TDirectDraw DD{GetParam()};
  std::unique_ptr<TDirectDrawSurface> Make(int w, int h, unsigned seed, std::uint32_t key) {
    auto s = std::make_unique<TDirectDrawSurface>(DD);
    s->SetSize(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        s->SetPixel(x, y, (x + y) % 3 == 0 ? key
                                           : GetParam().Pack(std::uint8_t(rng()), std::uint8_t(rng()),
                                                             std::uint8_t(rng())));
    return s;
  }
};

TEST_P(BlendEntry, ChecksThenHandsOverLockedSurfaces) {
  const std::uint32_t key = GetParam().Pack(10, 20, 30);
  const std::uint32_t noKey = GetParam().Pack(200, 100, 50);
  auto target = Make(502, 402, 1, noKey);
  auto slide = Make(47, 25, 2, key);
  slide->SetColorKey(key);
  const std::vector<std::uint8_t> before = Snapshot(*target);
  const TRect dest{15, 102, 62, 127};
  target->DrawBlend(dest, slide->ClientRect(), slide.get(), false, 0);
  target->DrawBlend(dest, slide->ClientRect(), nullptr, false, 10);
  TDirectDrawSurface none(DD);
  target->DrawBlend(dest, slide->ClientRect(), &none, false, 10);
  none.DrawBlend(dest, slide->ClientRect(), slide.get(), false, 10);
  slide->Canvas().Handle();
  target->DrawBlend(dest, slide->ClientRect(), slide.get(), false, 10);
  EXPECT_EQ(target->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_FALSE(target->Locked());
  slide->Canvas().Release();
  EXPECT_EQ(Snapshot(*target), before) << "a refused blend draws nothing";

  const TRect src{0, 0, 47, 25};
  const auto expected = BlendedCopy(*target, nullptr, *slide, nullptr, dest, src, true, key, 128);
  // The expected pixels depend on each value handed over, so a wrong one shows.
  ASSERT_NE(expected, before);
  ASSERT_NE(expected, BlendedCopy(*target, nullptr, *slide, nullptr, dest, src, false, key, 128));
  ASSERT_NE(expected, BlendedCopy(*target, nullptr, *slide, nullptr, dest, src, true, key, 255));
  ASSERT_NE(expected, BlendedCopy(*target, nullptr, *slide, nullptr, dest, TRect{1, 0, 47, 25}, true, key, 128));
  ASSERT_NE(expected, BlendedCopy(*target, nullptr, *slide, nullptr, TRect{16, 102, 63, 127}, src, true, key, 128));
  ASSERT_NE(expected, BlendedCopy(*target, nullptr, *slide, nullptr, dest, src, true, noKey, 128));

  target->DrawBlend(dest, src, slide.get(), true, 128);
  EXPECT_EQ(Snapshot(*target), expected);
  EXPECT_FALSE(target->Locked());
  EXPECT_FALSE(slide->Locked());
}

INSTANTIATE_TEST_SUITE_P(AllRgb, BlendEntry,
                         ::testing::Values(pixel_formats::Rgb565, pixel_formats::Rgb555, pixel_formats::Rgb888,
                                           pixel_formats::Xrgb8888));

// Indexed surfaces go to the pixel loop with their colour tables: the target's own
// palette, and the display's for a source without one. RGB surfaces carry none.
TEST(BlendEntryIndexed, PaletteGoesWithAnIndexedTarget) {
  TDirectDraw dd(pixel_formats::Indexed8);
  TDirectDrawPalette display(dd), own(dd);
  TPaletteEntry entries[256] = {};
  entries[3] = TPaletteEntry{10, 20, 30, 0};
  display.SetEntries(0, 256, entries);
  entries[3] = TPaletteEntry{40, 50, 60, 0};
  own.SetEntries(0, 256, entries);
  TDirectDrawSurface target(dd), source(dd);
  target.SetSize(4, 4);
  source.SetSize(4, 4);
  ASSERT_TRUE(source.Fill(3));
  target.AttachPalette(&own);
  TRGBQuad targetTable[256], sourceTable[256];
  const TPixelView to = target.View(targetTable);
  const TPixelView from = source.View(sourceTable);
  ASSERT_EQ(to.Palette, targetTable);
  EXPECT_EQ(to.Palette[3], (TRGBQuad{60, 50, 40, 0}));
  ASSERT_EQ(from.Palette, sourceTable);
  EXPECT_EQ(from.Palette[3], (TRGBQuad{30, 20, 10, 0}));
  EXPECT_EQ(to.Bits, target.Bits());
  EXPECT_EQ(to.Pitch, target.Pitch());

  const std::vector<std::uint8_t> before = Snapshot(target);
  const auto expected =
      BlendedCopy(target, targetTable, source, sourceTable, TRect{0, 0, 4, 4}, TRect{0, 0, 4, 4}, false, 0, 1);
  ASSERT_NE(expected, before);
  target.DrawBlend(TRect{0, 0, 4, 4}, TRect{0, 0, 4, 4}, &source, false, 1);
  EXPECT_EQ(Snapshot(target), expected);
  EXPECT_EQ(target.Pixel(2, 2), 3u) << "indexed onto indexed is copied";

  TDirectDraw rgb(pixel_formats::Rgb565);
  TDirectDrawPalette unused(rgb);
  TDirectDrawSurface plain(rgb);
  plain.SetSize(2, 2);
  TRGBQuad plainTable[256];
  EXPECT_EQ(plain.View(plainTable).Palette, nullptr);
}

}  // namespace

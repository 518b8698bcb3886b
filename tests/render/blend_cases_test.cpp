// Hand-worked cases of the blend: the arithmetic examples, the slideshow's geometry, the
// refusals and the boundary rules, each on every path.
#include <climits>
#include <memory>

#include <gtest/gtest.h>

#include "blend_test_support.h"

namespace blend_test {
namespace {

namespace pf = pixel_formats;

// Runs body once per path the processor can take, with that path forced.
template <class Body>
void ForEachPath(Body body) {
  for (const TBlendPath path : kForcedPaths) {
    if (!BlendPathAvailable(path)) continue;
    SCOPED_TRACE(PathName(path));
    TPathScope scope(path);
    body(path);
  }
}

// A row of identical pixels, wide enough for every vector loop and a tail.
constexpr int kRow = 37;

std::uint32_t BlendUniformRow(const TPixelFormat& format, std::uint32_t sourcePixel, std::uint32_t targetPixel,
                              int alpha) {
  TGuardedSurface target(kRow, 1, format), source(kRow, 1, format);
  source.Fill(sourcePixel);
  target.Fill(targetPixel);
  BlendRect(target.Surface(), source.Surface(), Bounds(0, 0, kRow, 1), Bounds(0, 0, kRow, 1), false, 0, alpha);
  for (int x = 1; x < kRow; ++x) EXPECT_EQ(target.Get(x, 0), target.Get(0, 0)) << "pixel " << x;
  return target.Get(0, 0);
}

constexpr std::uint32_t Field565(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return (r << 11) | (g << 5) | b; }

TEST(BlendArithmetic, WorkedValuesOn565) {
  ForEachPath([](TBlendPath) {
    // Red 31 over 2 and green 63 over 10 at Alpha 128: red 17, green 41.
    const std::uint32_t half = BlendUniformRow(pf::Rgb565, Field565(31, 63, 0), Field565(2, 10, 0), 128);
    EXPECT_EQ(half >> 11, 17u);
    EXPECT_EQ((half >> 5) & 63, 41u);
    EXPECT_EQ(half & 31, 0u);
    // At Alpha 255 the same red saturates.
    const std::uint32_t full = BlendUniformRow(pf::Rgb565, Field565(31, 63, 0), Field565(2, 10, 0), 255);
    EXPECT_EQ(full >> 11, 31u);
    EXPECT_EQ((full >> 5) & 63, 63u);
  });
}

TEST(BlendArithmetic, Alpha254AndAlpha255DifferOnBrightPixels) {
  ForEachPath([](TBlendPath) {
    // 248 * 254 >> 8 = 246 against 248 added whole.
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0xF8F8F8, 0, 254), 0xF6F6F6u);
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0xF8F8F8, 0, 255), 0xF8F8F8u);
    EXPECT_EQ(BlendUniformRow(pf::Rgb888, 0xF8F8F8, 0, 254), 0xF6F6F6u);
    // In 5-6-5 the fields drop to 30 and 61 at 254 and stay 31 and 62 at 255.
    EXPECT_EQ(BlendUniformRow(pf::Rgb565, Field565(31, 62, 31), 0, 254), Field565(30, 61, 30));
    EXPECT_EQ(BlendUniformRow(pf::Rgb565, Field565(31, 62, 31), 0, 255), Field565(31, 62, 31));
  });
}

TEST(BlendArithmetic, SpareBitsOfTheTargetBecomeZero) {
  ForEachPath([](TBlendPath) {
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0xAB102030, 0xCD010203, 255), 0x00112233u);
    EXPECT_EQ(BlendUniformRow(pf::Rgb555, 0x8000 | (1u << 10), 0x8000 | (2u << 10), 255), 3u << 10);
  });
}

TEST(BlendArithmetic, BlackSourceLeavesTargetUnchanged) {
  std::mt19937 rng(7);
  for (const TPixelFormat& format : {pf::Rgb565, pf::Rgb555, pf::Rgb888, pf::Xrgb8888}) {
    ForEachPath([&](TBlendPath) {
      TGuardedSurface target(53, 9, format), source(53, 9, format);
      target.Randomise(rng);
      // Only channel bits count: clear the ones that belong to no channel.
      const std::uint32_t channels = format.Red.Mask | format.Green.Mask | format.Blue.Mask;
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 53; ++x) target.Set(x, y, target.Get(x, y) & channels);
      const std::vector<std::uint8_t> before = target.Snapshot();
      for (const int alpha : {1, 2, 127, 128, 252, 254, 255}) {
        BlendRect(target.Surface(), source.Surface(), Bounds(0, 0, 53, 9), Bounds(0, 0, 53, 9), false, 0, alpha);
        ASSERT_EQ(FirstDifference(target, before), "") << "format " << format.BitsPerPixel << ", alpha " << alpha;
      }
    });
  }
}

TEST(BlendArithmetic, SaturatedTargetStaysSaturated) {
  std::mt19937 rng(11);
  for (const TPixelFormat& format : {pf::Rgb565, pf::Rgb555, pf::Rgb888, pf::Xrgb8888}) {
    ForEachPath([&](TBlendPath) {
      const std::uint32_t white = format.Red.Mask | format.Green.Mask | format.Blue.Mask;
      TGuardedSurface target(45, 7, format), source(45, 7, format);
      source.Randomise(rng);
      for (const int alpha : {1, 128, 252, 255}) {
        target.Fill(white);
        BlendRect(target.Surface(), source.Surface(), Bounds(0, 0, 45, 7), Bounds(0, 0, 45, 7), false, 0, alpha);
        for (int y = 0; y < 7; ++y)
          for (int x = 0; x < 45; ++x) ASSERT_EQ(target.Get(x, y), white) << "(" << x << ", " << y << ")";
      }
    });
  }
}

// The slideshow: a 471 x 258 slide into (15, 102, 486, 360) of the 502 x 402 back
// surface. Onto black at Alpha 255 the target shows the source pixels themselves.
TEST(BlendGeometry, SlideshowRectangleRepeatsFirstColumnAndRow) {
  for (const TPixelFormat& format : {pf::Xrgb8888, pf::Rgb565}) {
    std::mt19937 rng(format.BitsPerPixel);
    TGuardedSurface source(471, 258, format);
    source.Randomise(rng);
    const std::uint32_t channels = format.Red.Mask | format.Green.Mask | format.Blue.Mask;
    ForEachPath([&](TBlendPath) {
      TGuardedSurface target(502, 402, format);
      BlendRect(target.Surface(), source.Surface(), TRect{15, 102, 486, 360}, TRect{0, 0, 471, 258}, false, 0, 255);
      for (int y = 0; y < 402; ++y) {
        for (int x = 0; x < 502; ++x) {
          const bool inside = x >= 15 && x < 486 && y >= 102 && y < 360;
          const std::uint32_t want =
              inside ? source.Get(std::max(x - 15 - 1, 0), std::max(y - 102 - 1, 0)) & channels : 0;
          ASSERT_EQ(target.Get(x, y), want) << "(" << x << ", " << y << ")";
        }
      }
    });
  }
}

TEST(BlendGeometry, SourceRectangleBeyondTheSourceIsRefused) {
  std::mt19937 rng(3);
  TGuardedSurface source(471, 258, pf::Xrgb8888);
  source.Randomise(rng);
  ForEachPath([&](TBlendPath) {
    TGuardedSurface target(502, 402, pf::Xrgb8888);
    target.Fill(0x123456);
    const std::vector<std::uint8_t> before = target.Snapshot();
    const TRect refused[] = {{0, 0, 472, 258}, {0, 0, 471, 259}, {-1, 0, 470, 258},
                             {0, -1, 471, 257}, {5, 0, 5, 258},  {0, 9, 471, 8}};
    for (const TRect& src : refused) {
      BlendRect(target.Surface(), source.Surface(), TRect{15, 102, 486, 360}, src, false, 0, 128);
      ASSERT_EQ(FirstDifference(target, before), "") << src.Left << "," << src.Top << "," << src.Right << ","
                                                      << src.Bottom;
    }
    // Empty or fully clipped target rectangles draw nothing either.
    const TRect nowhere[] = {{15, 102, 15, 360}, {486, 102, 15, 360}, {-500, 0, 0, 10}, {502, 0, 900, 10},
                             {0, 402, 10, 900},  {0, -90, 10, 0}};
    for (const TRect& dest : nowhere) {
      BlendRect(target.Surface(), source.Surface(), dest, TRect{0, 0, 471, 258}, false, 0, 128);
      ASSERT_EQ(FirstDifference(target, before), "") << dest.Left << "," << dest.Top;
    }
  });
}

// A source whose pixel at (x, y) carries x in red and y in green, so the target shows
// which source pixel it sampled.
void MarkPositions(TGuardedSurface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.Set(x, y, (std::uint32_t(x) << 16) | (std::uint32_t(y) << 8));
}
int SampledX(std::uint32_t pixel) { return int(pixel >> 16) & 0xFF; }
int SampledY(std::uint32_t pixel) { return int(pixel >> 8) & 0xFF; }

TEST(BlendGeometry, LeftClipStartsAtTheSkippedSamplePosition) {
  // 200 source columns into 100 target columns starting at x = -20: du = 131070, and
  // the first drawn column samples u = 20 * du = 2621400, column 39.
  TGuardedSurface source(200, 4, pf::Xrgb8888);
  MarkPositions(source);
  ForEachPath([&](TBlendPath) {
    TGuardedSurface target(50, 4, pf::Xrgb8888);
    BlendRect(target.Surface(), source.Surface(), TRect{-20, 0, 80, 4}, TRect{0, 0, 200, 4}, false, 0, 255);
    EXPECT_EQ(SampledX(target.Get(0, 0)), 39);
    EXPECT_EQ(SampledX(target.Get(1, 0)), 41);  // (2621400 + 131070) >> 16
    for (int x = 0; x < 50; ++x)
      ASSERT_EQ(SampledX(target.Get(x, 2)), int((std::uint64_t(20 + x) * 131070) >> 16)) << "column " << x;
  });
  // Same size: the first drawn column is source column 19 (20 * 65535 >> 16).
  ForEachPath([&](TBlendPath) {
    TGuardedSurface target(30, 4, pf::Xrgb8888);
    BlendRect(target.Surface(), source.Surface(), TRect{-20, 0, 180, 4}, TRect{0, 0, 200, 4}, false, 0, 255);
    for (int x = 0; x < 30; ++x) ASSERT_EQ(SampledX(target.Get(x, 0)), 19 + x) << "column " << x;
  });
}

TEST(BlendGeometry, TopClipAndScalingUpRepeatNearestSamples) {
  TGuardedSurface source(10, 10, pf::Xrgb8888);
  MarkPositions(source);
  ForEachPath([&](TBlendPath) {
    // 10 x 10 into 30 x 30, 6 rows cut off at the top: du = dv = 21845.
    TGuardedSurface target(30, 24, pf::Xrgb8888);
    BlendRect(target.Surface(), source.Surface(), TRect{0, -6, 30, 24}, TRect{0, 0, 10, 10}, false, 0, 255);
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 30; ++x) {
        // Nearly three target pixels per source pixel; the position runs a little slow.
        ASSERT_EQ(SampledX(target.Get(x, y)), int((std::uint64_t(x) * 21845) >> 16)) << x << "," << y;
        ASSERT_EQ(SampledY(target.Get(x, y)), int((std::uint64_t(y + 6) * 21845) >> 16)) << x << "," << y;
      }
    }
    EXPECT_EQ(SampledX(target.Get(3, 0)), 0);  // 3 * 21845 = 65535: still column 0
    EXPECT_EQ(SampledX(target.Get(4, 0)), 1);
    EXPECT_EQ(SampledY(target.Get(0, 0)), 1);  // row 6 of the rectangle
  });
}

// The positions run up to the end of the source rectangle but never past it. (A source
// rectangle that passes the bounds check always passes the end check: the position after
// the last pixel is at most SrcRect.Right * 65535.)
TEST(BlendGeometry, SamplesStayInsideTheSourceRectangleEnd) {
  TGuardedSurface eleven(11, 1, pf::Xrgb8888), ten(10, 1, pf::Xrgb8888);
  MarkPositions(eleven);
  MarkPositions(ten);
  auto sampled = [](const TGuardedSurface& target) {
    std::vector<int> columns;
    for (int x = 0; x < target.Width(); ++x) columns.push_back(SampledX(target.Get(x, 0)));
    return columns;
  };
  ForEachPath([&](TBlendPath) {
    TGuardedSurface target(5, 1, pf::Xrgb8888);
    // 10 columns into 5: du = 131070; positions 0, 131070, 262140, 393210, 524280.
    BlendRect(target.Surface(), eleven.Surface(), TRect{0, 0, 5, 1}, TRect{0, 0, 10, 1}, false, 0, 255);
    EXPECT_EQ(sampled(target), (std::vector<int>{0, 1, 3, 5, 7}));
    // From column 1 the start is 65535, still column 0; the last position 589815 is column 8.
    target.Fill(0);
    BlendRect(target.Surface(), eleven.Surface(), TRect{0, 0, 5, 1}, TRect{1, 0, 11, 1}, false, 0, 255);
    EXPECT_EQ(sampled(target), (std::vector<int>{0, 2, 4, 6, 8}));
    // 9 columns into 5 on a 10-wide source: du = 117963, the last position 537387 is column 8.
    target.Fill(0);
    BlendRect(target.Surface(), ten.Surface(), TRect{0, 0, 5, 1}, TRect{1, 0, 10, 1}, false, 0, 255);
    EXPECT_EQ(sampled(target), (std::vector<int>{0, 2, 4, 6, 8}));
  });
}

TEST(BlendGeometry, HugeRectanglesStayInsideBothSurfaces) {
  std::mt19937 rng(5);
  TGuardedSurface source(16, 16, pf::Xrgb8888);
  source.Randomise(rng);
  ForEachPath([&](TBlendPath) {
    TGuardedSurface target(20, 20, pf::Xrgb8888);
    const TRect rects[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MIN, 0, 10, 10}, {0, 0, INT_MAX, 5},
                           {-1000000, -5, 30, 30}, {INT_MIN / 2, 0, INT_MIN / 2 + 40, 20}};
    for (const TRect& dest : rects) {
      std::vector<std::uint8_t> expected = target.Snapshot();
      std::vector<std::uint8_t> sourceCopy = source.Snapshot();
      ReferenceBlend(SurfaceIn(target, expected), SurfaceIn(source, sourceCopy), dest, TRect{0, 0, 16, 16}, false,
                     0, 200);
      BlendRect(target.Surface(), source.Surface(), dest, TRect{0, 0, 16, 16}, false, 0, 200);
      ASSERT_EQ(FirstDifference(target, expected), "") << dest.Left << "," << dest.Top << "," << dest.Right;
    }
  });
}

TEST(BlendModes, PaletteTargetCopiesTheSourceForAnyAlpha) {
  std::mt19937 rng(17);
  TGuardedSurface source(33, 5, pf::Indexed8);
  source.Randomise(rng);
  ForEachPath([&](TBlendPath) {
    for (const int alpha : {1, 2, 127, 128, 252, 254, 255}) {
      TGuardedSurface target(40, 8, pf::Indexed8);
      target.Fill(0xEE);
      BlendRect(target.Surface(), source.Surface(), TRect{3, 2, 36, 7}, TRect{0, 0, 33, 5}, false, 0, alpha);
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 40; ++x) {
          const bool inside = x >= 3 && x < 36 && y >= 2 && y < 7;
          const std::uint32_t want = inside ? source.Get(std::max(x - 4, 0), std::max(y - 3, 0)) : 0xEE;
          ASSERT_EQ(target.Get(x, y), want) << "alpha " << alpha << " (" << x << ", " << y << ")";
        }
      }
    }
  });
}

TEST(BlendModes, RgbOntoPaletteTargetTakesTheNearestEntry) {
  TGuardedSurface source(4, 1, pf::Xrgb8888), target(4, 1, pf::Indexed8);
  for (TRGBQuad& q : target.Palette) q = {0, 0, 0, 0};
  target.Palette[10] = {0, 0, 250, 0};    // red
  target.Palette[20] = {0, 250, 0, 0};    // green
  target.Palette[30] = {250, 250, 250, 0};  // white
  source.Set(0, 0, 0x000000);  // black: entry 0, the first of the equal blacks
  source.Set(1, 0, 0xF01010);
  source.Set(2, 0, 0x20E020);
  source.Set(3, 0, 0xE0E0E0);
  ForEachPath([&](TBlendPath) {
    target.Fill(99);
    BlendRect(target.Surface(), source.Surface(), TRect{0, 0, 4, 1}, TRect{0, 0, 4, 1}, false, 0, 128);
    EXPECT_EQ(target.Get(0, 0), 0u);
    EXPECT_EQ(target.Get(1, 0), 0u);  // sampled column 0 again (same-size rule)
    EXPECT_EQ(target.Get(2, 0), 10u);
    EXPECT_EQ(target.Get(3, 0), 20u);
  });
  // Without a palette on the target nothing is drawn.
  TPixelView bare = target.Surface();
  bare.Palette = nullptr;
  target.Fill(99);
  BlendRect(bare, source.Surface(), TRect{0, 0, 4, 1}, TRect{0, 0, 4, 1}, false, 0, 128);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Get(x, 0), 99u);
}

TEST(BlendModes, ColourKeySkipsMatchingSourcePixels) {
  ForEachPath([](TBlendPath) {
    TGuardedSurface source(20, 1, pf::Xrgb8888), target(20, 1, pf::Xrgb8888);
    for (int x = 0; x < 20; ++x) source.Set(x, 0, x % 3 == 0 ? 0x00FF00FF : 0x00010203);
    target.Fill(0x00101010);
    // Columns 0..19 of the target sample source columns 0, 0, 1, ..., 18.
    BlendRect(target.Surface(), source.Surface(), TRect{0, 0, 20, 1}, TRect{0, 0, 20, 1}, true, 0x00FF00FF, 255);
    for (int x = 0; x < 20; ++x) {
      const int sx = std::max(x - 1, 0);
      ASSERT_EQ(target.Get(x, 0), sx % 3 == 0 ? 0x00101010u : 0x00111213u) << "column " << x;
    }
  });
  // The alpha bits of a source with an alpha channel take no part in the comparison.
  constexpr TPixelFormat argb{32, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {0xFF000000}};
  TGuardedSurface source(3, 1, argb), target(3, 1, pf::Xrgb8888);
  source.Fill(0x80FF00FF);
  target.Fill(0x00000001);
  BlendRect(target.Surface(), source.Surface(), TRect{0, 0, 3, 1}, TRect{0, 0, 3, 1}, true, 0x00FF00FF, 128);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(target.Get(x, 0), 0x00000001u);
}

TEST(BlendModes, SourceAlphaChannelScalesInsteadOfAlpha) {
  constexpr TPixelFormat argb{32, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {0xFF000000}};
  TGuardedSurface source(2, 1, argb), target(2, 1, pf::Xrgb8888);
  source.Fill(0x40C8C8C8);  // own alpha 64
  target.Fill(0);
  BlendRect(target.Surface(), source.Surface(), TRect{0, 0, 2, 1}, TRect{0, 0, 2, 1}, false, 0, 200);
  EXPECT_EQ(target.Get(0, 0), 0x00323232u);  // 200 * 64 >> 8 = 50
  // At Alpha 255 the source is added whole, its own alpha notwithstanding.
  target.Fill(0);
  BlendRect(target.Surface(), source.Surface(), TRect{0, 0, 2, 1}, TRect{0, 0, 2, 1}, false, 0, 255);
  EXPECT_EQ(target.Get(1, 0), 0x00C8C8C8u);
}

TEST(BlendModes, AlphaOutsideTheRange) {
  ForEachPath([](TBlendPath) {
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0x808080, 0x101010, 0), 0x101010u);
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0x808080, 0x101010, -7), 0x101010u);
    EXPECT_EQ(BlendUniformRow(pf::Xrgb8888, 0x808080, 0x101010, 300), 0x909090u);
    EXPECT_EQ(BlendUniformRow(pf::Rgb565, Field565(16, 32, 16), Field565(1, 1, 1), INT_MAX), Field565(17, 33, 17));
  });
}

TEST(BlendSurfaces, UnusableSurfacesDrawNothing) {
  TGuardedSurface source(8, 8, pf::Xrgb8888), target(8, 8, pf::Xrgb8888);
  source.Fill(0x00FFFFFF);
  const std::vector<std::uint8_t> before = target.Snapshot();
  auto attempt = [&](TPixelView t, TPixelView s) {
    BlendRect(t, s, TRect{0, 0, 8, 8}, TRect{0, 0, 8, 8}, false, 0, 255);
    return FirstDifference(target, before);
  };
  TPixelView t = target.Surface(), s = source.Surface();
  TPixelView noBits = s;
  noBits.Bits = nullptr;
  EXPECT_EQ(attempt(t, noBits), "");
  TPixelView shortPitch = t;
  shortPitch.Pitch = 31;  // less than 8 pixels of 4 bytes
  EXPECT_EQ(attempt(shortPitch, s), "");
  TPixelView zeroWidth = s;
  zeroWidth.Width = 0;
  EXPECT_EQ(attempt(t, zeroWidth), "");
  TPixelView negativeHeight = t;
  negativeHeight.Height = -8;
  EXPECT_EQ(attempt(negativeHeight, s), "");
  TPixelView wide = s;
  wide.Format.BitsPerPixel = 48;
  EXPECT_EQ(attempt(t, wide), "");
  TPixelView nibbles = s;
  nibbles.Format = TPixelFormat{4, true, {}, {}, {}, {}};
  EXPECT_EQ(attempt(t, nibbles), "");
  TPixelView indexedNoPalette = s;
  indexedNoPalette.Format = pf::Indexed8;
  indexedNoPalette.Palette = nullptr;
  EXPECT_EQ(attempt(t, indexedNoPalette), "");
  // And the untouched surfaces do draw, so the checks above are not vacuous.
  EXPECT_NE(attempt(t, s), "");
}

// Blending a surface onto itself: every path must give what a pixel-by-pixel pass in
// reading order gives.
TEST(BlendSurfaces, SourceSharingTheTargetMemory) {
  std::mt19937 rng(23);
  for (const TPixelFormat& format : {pf::Xrgb8888, pf::Rgb565, pf::Indexed8}) {
    TGuardedSurface surface(64, 16, format);
    surface.Randomise(rng);
    const std::vector<std::uint8_t> original = surface.Snapshot();
    std::vector<std::uint8_t> expected = original;
    const TPixelView inCopy = SurfaceIn(surface, expected);
    ASSERT_TRUE(ReferenceBlend(inCopy, inCopy, TRect{3, 2, 60, 14}, TRect{0, 0, 57, 12}, false, 0, 140));
    ForEachPath([&](TBlendPath) {
      std::copy(original.begin(), original.end(), surface.Block());
      BlendRect(surface.Surface(), surface.Surface(), TRect{3, 2, 60, 14}, TRect{0, 0, 57, 12}, false, 0, 140);
      ASSERT_EQ(FirstDifference(surface, expected), "") << "bits per pixel " << format.BitsPerPixel;
    });
  }
}

TEST(BlendPaths, SelectionAndFallback) {
  TPathScope scope(TBlendPath::Generic);
  EXPECT_EQ(GetBlendPath(), TBlendPath::Generic);
  SetBlendPath(TBlendPath::Template);
  EXPECT_EQ(GetBlendPath(), TBlendPath::Template);
  EXPECT_TRUE(BlendPathAvailable(TBlendPath::Generic));
  EXPECT_TRUE(BlendPathAvailable(TBlendPath::Template));
  EXPECT_TRUE(BlendPathAvailable(TBlendPath::Auto));
#if defined(__x86_64__)
  EXPECT_TRUE(BlendPathAvailable(TBlendPath::Sse2));
  EXPECT_EQ(BlendPathAvailable(TBlendPath::Avx2), bool(__builtin_cpu_supports("avx2")));
#endif
}

}  // namespace
}  // namespace blend_test

// Surface operations in every RGB format: clipped and unclipped copies, the general
// copy, fills, colour matching, picture loading, the canvas lock-out and the entry
// of the blended copy.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "direct_draw.h"
#include "exceptions.h"

namespace {

struct TNamedFormat {
  const char* Name;
  TPixelFormat Format;
};

class SurfaceFormats : public ::testing::TestWithParam<TNamedFormat> {
 protected:
  TDirectDraw DD{GetParam().Format};

  std::unique_ptr<TDirectDrawSurface> Make(int w, int h) {
    auto s = std::make_unique<TDirectDrawSurface>(DD);
    s->SystemMemory = true;
    s->SetSize(w, h);
    return s;
  }
  // Every pixel gets its own raw value: x + 64 * y + 1.
  static std::uint32_t Code(int x, int y) { return std::uint32_t(x + 64 * y + 1); }
  std::unique_ptr<TDirectDrawSurface> Pattern(int w, int h) {
    auto s = Make(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) s->SetPixel(x, y, Code(x, y));
    return s;
  }
  // Answers which source column and row a target pixel came from, or (-1, -1).
  static std::pair<int, int> Origin(const TDirectDrawSurface& s, int x, int y) {
    const std::uint32_t v = s.Pixel(x, y);
    if (v == 0) return {-1, -1};
    return {int((v - 1) % 64), int((v - 1) / 64)};
  }
  static int CountNonZero(const TDirectDrawSurface& s) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) != 0;
    return n;
  }
};

TEST_P(SurfaceFormats, NewSurfaceIsBlackAndFillWritesRawValue) {
  auto s = Make(7, 5);
  EXPECT_EQ(s->Width(), 7);
  EXPECT_EQ(s->Height(), 5);
  EXPECT_GE(s->Pitch(), 7 * GetParam().Format.BytesPerPixel());
  EXPECT_EQ(CountNonZero(*s), 0);
  const std::uint32_t white = s->MatchColor(RGB(255, 255, 255));
  EXPECT_TRUE(s->Fill(white));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(s->Pixel(x, y), white);
  EXPECT_TRUE(s->Fill(0));
  EXPECT_EQ(CountNonZero(*s), 0);
}

TEST_P(SurfaceFormats, MatchColorKeepsTopBitsAndRestoresPixel) {
  const TPixelFormat f = GetParam().Format;
  auto s = Make(2, 2);
  s->SetPixel(0, 0, 5);
  EXPECT_EQ(s->MatchColor(RGB(255, 0, 0)), f.Red.Mask);
  EXPECT_EQ(s->MatchColor(RGB(0, 255, 0)), f.Green.Mask);
  EXPECT_EQ(s->MatchColor(RGB(0, 0, 255)), f.Blue.Mask);
  // 0x87 keeps its top bits: 10000 in five bits, 100001 in six.
  const std::uint32_t v = s->MatchColor(RGB(0x87, 0x87, 0x87));
  EXPECT_EQ(f.Red.To8(v), f.Red.Bits() == 8 ? 0x87 : 0x80);
  EXPECT_EQ(f.Green.To8(v), f.Green.Bits() == 8 ? 0x87 : f.Green.Bits() == 6 ? 0x84 : 0x80);
  EXPECT_EQ(s->Pixel(0, 0), 5u);

  TDirectDrawSurface none(DD);
  EXPECT_EQ(none.MatchColor(RGB(255, 255, 255)), 0u);
}

TEST_P(SurfaceFormats, DrawClipsAtTheLeftEdge) {
  auto target = Make(502, 402);
  auto picture = Pattern(53, 29);
  target->Draw(-10, 0, picture->ClientRect(), picture.get(), false);
  for (int x = 0; x < 43; ++x) EXPECT_EQ(Origin(*target, x, 3), std::make_pair(x + 10, 3)) << x;
  EXPECT_EQ(target->Pixel(43, 3), 0u);
  EXPECT_EQ(CountNonZero(*target), 43 * 29);
}

TEST_P(SurfaceFormats, DrawClipsAtTheRightAndBottomEdges) {
  auto target = Make(502, 402);
  auto picture = Pattern(53, 29);
  target->Draw(500, 390, picture->ClientRect(), picture.get(), false);
  EXPECT_EQ(CountNonZero(*target), 2 * 12);
  EXPECT_EQ(Origin(*target, 500, 390), std::make_pair(0, 0));
  EXPECT_EQ(Origin(*target, 501, 401), std::make_pair(1, 11));
}

TEST_P(SurfaceFormats, DrawClipsAtTheTopAndAgainstTheSource) {
  auto target = Make(40, 40);
  auto picture = Pattern(20, 20);
  target->Draw(3, -5, picture->ClientRect(), picture.get(), false);
  EXPECT_EQ(Origin(*target, 3, 0), std::make_pair(0, 5));
  EXPECT_EQ(CountNonZero(*target), 20 * 15);

  // A source rectangle reaching outside the source: the target moves with it.
  auto other = Make(40, 40);
  other->Draw(10, 10, TRect{-4, -2, 30, 8}, picture.get(), false);
  EXPECT_EQ(Origin(*other, 14, 12), std::make_pair(0, 0));
  EXPECT_EQ(other->Pixel(13, 12), 0u);
  EXPECT_EQ(CountNonZero(*other), 20 * 8);
}

TEST_P(SurfaceFormats, DrawWhollyOutsideDrawsNothing) {
  auto target = Make(502, 402);
  auto picture = Pattern(53, 29);
  for (auto [x, y] : {std::pair{502, 0}, {-53, 0}, {0, 402}, {0, -29}, {100000, 100000}, {-2147483600, 5}}) {
    target->Draw(x, y, picture->ClientRect(), picture.get(), false);
    EXPECT_EQ(CountNonZero(*target), 0) << x << "," << y;
  }
  target->Draw(0, 0, TRect{5, 5, 5, 9}, picture.get(), false);  // empty source rectangle
  target->Draw(0, 0, picture->ClientRect(), nullptr, false);
  EXPECT_EQ(CountNonZero(*target), 0);
}

TEST_P(SurfaceFormats, TransparentCopiesHonourTheSourceKey) {
  auto target = Make(10, 10);
  target->Fill(3);
  auto picture = Pattern(4, 4);
  picture->SetColorKey(Code(1, 1));
  target->Draw(0, 0, picture->ClientRect(), picture.get(), true);
  EXPECT_EQ(target->Pixel(1, 1), 3u);
  EXPECT_EQ(Origin(*target, 2, 1), std::make_pair(2, 1));
  target->Draw(0, 0, picture->ClientRect(), picture.get(), false);
  EXPECT_EQ(Origin(*target, 1, 1), std::make_pair(1, 1));

  target->Fill(3);
  EXPECT_TRUE(target->FastCopy(5, 5, picture->ClientRect(), DDBLTFAST_SRCCOLORKEY, picture.get()));
  EXPECT_EQ(target->Pixel(6, 6), 3u);
  EXPECT_EQ(Origin(*target, 5, 5), std::make_pair(0, 0));

  target->Fill(3);
  TRect d{0, 0, 8, 8};
  EXPECT_TRUE(target->Blit(&d, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr, picture.get()));
  EXPECT_EQ(target->Pixel(2, 2), 3u);  // stretched twice: (2,2) comes from (1,1)
  EXPECT_EQ(target->Pixel(3, 3), 3u);
  EXPECT_EQ(Origin(*target, 4, 2), std::make_pair(2, 1));
}

TEST_P(SurfaceFormats, FastCopyRefusesAnythingNotWhollyInside) {
  auto target = Make(502, 402);
  auto bar = Pattern(378, 36);
  EXPECT_FALSE(target->FastCopy(0, 0, TRect{0, 0, 400, 36}, 0, bar.get()));
  EXPECT_EQ(target->ErrorCode(), DDERR_INVALIDRECT);
  EXPECT_EQ(CountNonZero(*target), 0);
  EXPECT_FALSE(target->FastCopy(0, 0, TRect{0, 0, 0, 36}, 0, bar.get()));
  EXPECT_FALSE(target->FastCopy(200, 0, bar->ClientRect(), 0, bar.get()));  // 578 > 502
  EXPECT_FALSE(target->FastCopy(-1, 0, bar->ClientRect(), 0, bar.get()));
  EXPECT_FALSE(target->FastCopy(0, 0, TRect{-1, 0, 10, 10}, 0, bar.get()));
  EXPECT_FALSE(target->FastCopy(0, 0, bar->ClientRect(), 0, nullptr));
  EXPECT_EQ(CountNonZero(*target), 0);

  EXPECT_TRUE(target->FastCopy(50, 200, TRect{0, 0, 378, 36}, 0, bar.get()));
  EXPECT_EQ(target->ErrorCode(), DD_OK);
  EXPECT_EQ(CountNonZero(*target), 378 * 36);
  EXPECT_EQ(Origin(*target, 50 + 377, 200 + 35), std::make_pair(377 % 64 + 0, 35 + 377 / 64));
}

TEST_P(SurfaceFormats, BlitWholeSurfacesStretchesAndFills) {
  auto target = Make(6, 4);
  auto source = Pattern(3, 2);
  EXPECT_TRUE(target->Blit(nullptr, nullptr, DDBLT_WAIT, nullptr, source.get()));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Origin(*target, x, y), std::make_pair(x / 2, y / 2));

  TDDBltFX fx;
  fx.dwFillColor = 9;
  TRect part{1, 1, 3, 2};
  EXPECT_TRUE(target->Blit(&part, nullptr, DDBLT_WAIT | DDBLT_COLORFILL, &fx, nullptr));
  EXPECT_EQ(target->Pixel(1, 1), 9u);
  EXPECT_EQ(target->Pixel(2, 1), 9u);
  EXPECT_NE(target->Pixel(3, 1), 9u);
  EXPECT_NE(target->Pixel(1, 0), 9u);

  TRect outside{4, 0, 7, 4};
  EXPECT_FALSE(target->Blit(&outside, nullptr, DDBLT_WAIT, nullptr, source.get()));
  EXPECT_EQ(target->ErrorCode(), DDERR_INVALIDRECT);
  EXPECT_FALSE(target->Blit(nullptr, nullptr, DDBLT_WAIT, nullptr, nullptr));
  TRect bigSource{0, 0, 4, 2};
  EXPECT_FALSE(target->Blit(nullptr, &bigSource, DDBLT_WAIT, nullptr, source.get()));
}

TEST_P(SurfaceFormats, CopyWithinOneSurfaceReadsTheOldPixels) {
  auto s = Pattern(10, 10);
  EXPECT_TRUE(s->FastCopy(1, 1, TRect{0, 0, 9, 9}, 0, s.get()));
  for (int y = 1; y < 10; ++y)
    for (int x = 1; x < 10; ++x) ASSERT_EQ(Origin(*s, x, y), std::make_pair(x - 1, y - 1));
}

TEST_P(SurfaceFormats, HeldCanvasMakesEveryCopyFailUntilRelease) {
  auto back = Make(20, 20);
  auto picture = Pattern(5, 5);
  ASSERT_NE(back->Canvas().Handle(), nullptr);
  EXPECT_TRUE(back->CanvasHeld());

  back->Draw(0, 0, picture->ClientRect(), picture.get(), false);
  EXPECT_EQ(back->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_FALSE(back->FastCopy(0, 0, picture->ClientRect(), 0, picture.get()));
  EXPECT_EQ(back->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_FALSE(back->Blit(nullptr, nullptr, DDBLT_WAIT, nullptr, picture.get()));
  EXPECT_FALSE(back->Fill(7));
  EXPECT_EQ(back->ErrorCode(), DDERR_SURFACEBUSY);
  // Held as a source, too.
  auto other = Make(20, 20);
  EXPECT_FALSE(other->FastCopy(0, 0, TRect{0, 0, 5, 5}, 0, back.get()));
  EXPECT_EQ(other->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_FALSE(back->Lock());
  other->SetErrorCode(DD_OK);
  other->DrawBlend(TRect{0, 0, 5, 5}, TRect{0, 0, 5, 5}, back.get(), false, 100);
  EXPECT_EQ(other->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_FALSE(other->Locked());
  back->SetErrorCode(DD_OK);
  back->DrawBlend(TRect{0, 0, 5, 5}, TRect{0, 0, 5, 5}, picture.get(), false, 100);
  EXPECT_EQ(back->ErrorCode(), DDERR_SURFACEBUSY);
  EXPECT_EQ(CountNonZero(*back), 0);

  back->Canvas().Release();
  EXPECT_FALSE(back->CanvasHeld());
  back->Draw(0, 0, picture->ClientRect(), picture.get(), false);
  EXPECT_EQ(back->ErrorCode(), DD_OK);
  EXPECT_EQ(CountNonZero(*back), 25);
  back->Canvas().Release();  // releasing twice does nothing
  EXPECT_TRUE(back->Fill(0));
}

TEST_P(SurfaceFormats, LoadPictureFromDib) {
  TDIB dib(4, 3, 8);
  dib.SetPaletteEntry(1, TRGBQuad{0, 0, 255, 0});
  dib.SetPaletteEntry(2, TRGBQuad{255, 0, 0, 0});
  dib.SetPixelIndex(0, 0, 1);
  dib.SetPixelIndex(3, 2, 2);
  auto s = std::make_unique<TDirectDrawSurface>(DD);
  s->LoadPicture(TPicture(dib), 0, 0, TRect{0, 0, 4, 3});
  ASSERT_EQ(s->Width(), 4);
  ASSERT_EQ(s->Height(), 3);
  EXPECT_EQ(s->Pixel(0, 0), s->MatchColor(RGB(255, 0, 0)));
  EXPECT_EQ(s->Pixel(3, 2), s->MatchColor(RGB(0, 0, 255)));
  EXPECT_EQ(s->Pixel(1, 0), 0u);
  EXPECT_FALSE(s->CanvasHeld());

  // Part of the picture, and the same part stretched to twice its size.
  s->LoadPicture(TPicture(dib), 0, 0, TRect{2, 1, 4, 3});
  ASSERT_EQ(s->Width(), 2);
  EXPECT_EQ(s->Pixel(1, 1), s->MatchColor(RGB(0, 0, 255)));
  s->LoadPicture(TPicture(dib), 4, 4, TRect{2, 1, 4, 3});
  EXPECT_EQ(s->Pixel(3, 3), s->MatchColor(RGB(0, 0, 255)));
  EXPECT_EQ(s->Pixel(2, 2), s->MatchColor(RGB(0, 0, 255)));
  EXPECT_EQ(s->Pixel(1, 3), 0u);

  // A 24-bit picture.
  TDIB deep(2, 1, 24);
  deep.SetPixelColor(1, 0, RGB(0x80, 0x40, 0x20));
  s->LoadPicture(TPicture(deep), 0, 0, TRect{0, 0, 2, 1});
  EXPECT_EQ(s->Pixel(1, 0), GetParam().Format.Pack(0x80, 0x40, 0x20));
}

TEST_P(SurfaceFormats, LoadPictureFromBitmap) {
  TBitmap sheet(10, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) sheet.SetPixel(x, y, RGB(std::uint8_t(x * 16), std::uint8_t(y * 16), 0));
  auto s = std::make_unique<TDirectDrawSurface>(DD);
  // Same size: drawn at (-3, -2).
  s->LoadPicture(TPicture(sheet), 0, 0, TRect{3, 2, 7, 5});
  ASSERT_EQ(s->Width(), 4);
  EXPECT_EQ(s->Pixel(0, 0), s->MatchColor(RGB(48, 32, 0)));
  EXPECT_EQ(s->Pixel(3, 2), s->MatchColor(RGB(96, 64, 0)));
  // Another size: through an intermediate of SrcRect's size, then stretched.
  s->LoadPicture(TPicture(sheet), 8, 6, TRect{3, 2, 7, 5});
  ASSERT_EQ(s->Width(), 8);
  EXPECT_EQ(s->Pixel(7, 5), s->MatchColor(RGB(96, 64, 0)));
  EXPECT_EQ(s->Pixel(1, 1), s->MatchColor(RGB(48, 32, 0)));
  // An empty picture leaves a black surface of the rectangle's size.
  s->LoadPicture(TPicture(), 0, 0, TRect{0, 0, 3, 3});
  EXPECT_EQ(s->Width(), 3);
  EXPECT_EQ(CountNonZero(*s), 0);
}

TEST_P(SurfaceFormats, SetSizeDropsOrRefuses) {
  auto s = Make(5, 5);
  s->SetSize(0, 5);
  EXPECT_FALSE(s->HasSurface());
  EXPECT_EQ(s->Width(), 0);
  EXPECT_FALSE(s->Fill(0));
  EXPECT_EQ(s->Pixel(0, 0), 0u);
  s->SystemMemory = false;
  try {
    s->SetSize(1 << 16, 1 << 16);
    FAIL() << "no error";
  } catch (const EDirectDrawSurfaceError& e) {
    EXPECT_STREQ(e.what(), "Surface cannot be made");
  }
  EXPECT_TRUE(s->SystemMemory);  // retried in system memory first
}

TEST_P(SurfaceFormats, ClipperMakesDrawUseTheGeneralCopy) {
  TDirectDrawClipper clipper(DD, [] { return TRect{0, 0, 6, 6}; });
  auto target = Make(10, 10);
  target->AttachClipper(&clipper);
  auto picture = Pattern(5, 5);
  EXPECT_FALSE(target->FastCopy(0, 0, picture->ClientRect(), 0, picture.get()));
  EXPECT_EQ(target->ErrorCode(), DDERR_BLTFASTCANTCLIP);
  EXPECT_FALSE(target->GeneralCopy());
  target->Draw(3, 3, picture->ClientRect(), picture.get(), false);
  EXPECT_TRUE(target->GeneralCopy());
  // The clipper's 6 by 6 window limits the copy.
  EXPECT_EQ(CountNonZero(*target), 3 * 3);
  EXPECT_EQ(Origin(*target, 5, 5), std::make_pair(2, 2));
  // A far larger target rectangle is stretched and then limited to the window.
  const TRect huge{-2000000000, -2000000000, 2000000000, 2000000000};
  EXPECT_TRUE(target->Blit(&huge, nullptr, DDBLT_WAIT, nullptr, picture.get()));
  EXPECT_EQ(Origin(*target, 0, 0), std::make_pair(2, 2));
  EXPECT_EQ(Origin(*target, 5, 5), std::make_pair(2, 2));
}

INSTANTIATE_TEST_SUITE_P(AllRgb, SurfaceFormats,
                         ::testing::Values(TNamedFormat{"Rgb565", pixel_formats::Rgb565},
                                           TNamedFormat{"Rgb555", pixel_formats::Rgb555},
                                           TNamedFormat{"Rgb888", pixel_formats::Rgb888},
                                           TNamedFormat{"Xrgb8888", pixel_formats::Xrgb8888}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- palette-indexed surfaces, the canvas's text hook, the display object's end ----

TEST(IndexedSurface, PicturesMatchThePalette) {
  TDirectDraw dd(pixel_formats::Indexed8);
  TDirectDrawPalette palette(dd);
  TPaletteEntry entries[256] = {};
  entries[10] = TPaletteEntry{250, 0, 0, 0};
  entries[20] = TPaletteEntry{0, 0, 200, 0};
  ASSERT_TRUE(palette.SetEntries(0, 256, entries));
  EXPECT_FALSE(palette.SetEntries(200, 100, entries));
  TDirectDrawSurface s(dd);
  TDIB dib(2, 1, 24);
  dib.SetPixelColor(0, 0, RGB(255, 0, 0));
  dib.SetPixelColor(1, 0, RGB(0, 10, 190));
  s.LoadPicture(TPicture(dib), 0, 0, TRect{0, 0, 2, 1});
  EXPECT_EQ(s.Pixel(0, 0), 10u);
  EXPECT_EQ(s.Pixel(1, 0), 20u);
  EXPECT_EQ(s.MatchColor(RGB(1, 1, 1)), 0u);
  s.AttachPalette(&palette);
  EXPECT_EQ(s.Palette(), &palette);
  EXPECT_TRUE(s.Fill(20));
  EXPECT_EQ(s.Pixel(1, 0), 20u);
}

// Records the text a canvas hands over and marks the pixel where it starts, so the
// test sees that the drawer wrote into the surface's memory.
struct TRecordingTextDrawer : TTextDrawer {
  std::vector<std::string> Texts;
  void DrawText(const TPixelView& target, const TCanvasFont& font, int x, int y, const std::string& text) override {
    Texts.push_back(font.Name + "/" + std::to_string(font.SizePoints) + "/" + text);
    target.Bits[std::size_t(y) * std::size_t(target.Pitch) + std::size_t(x) * 2] = 0xAB;
  }
};

TEST(Canvas, TextGoesThroughTheDisplaysDrawerAndHoldsTheSurface) {
  {
    TDirectDraw plain(pixel_formats::Rgb565);
    TDirectDrawSurface s(plain);
    s.SetSize(8, 8);
    s.Canvas().TextOut(1, 1, "nothing");
    EXPECT_TRUE(s.CanvasHeld());
    EXPECT_EQ(s.Pixel(1, 1), 0u) << "without a text drawer, text draws nothing";
    s.Canvas().Release();
  }

  TRecordingTextDrawer drawer;
  TDirectDraw dd(pixel_formats::Rgb565, &drawer);
  TDirectDrawSurface s(dd);
  s.SetSize(8, 8);
  s.Canvas().FontSizePoints = 10;
  s.Canvas().TextOut(2, 3, "file.txt");
  ASSERT_EQ(drawer.Texts.size(), 1u);
  EXPECT_EQ(drawer.Texts[0], "MS Sans Serif/10/file.txt");
  EXPECT_TRUE(s.CanvasHeld());
  EXPECT_FALSE(s.Fill(0));
  s.Canvas().Release();
  EXPECT_EQ(s.Pixel(2, 3), 0xABu);

  TDirectDrawSurface none(dd);
  EXPECT_EQ(none.Canvas().Handle(), nullptr);
  none.Canvas().Release();
}

TEST(DirectDraw, EndingFirstLeavesSurfacesEmptyButValid) {
  auto dd = std::make_unique<TDirectDraw>(pixel_formats::Xrgb8888);
  TDirectDrawSurface a(*dd), b(*dd);
  auto palette = std::make_unique<TDirectDrawPalette>(*dd);
  a.SetSize(4, 4);
  b.SetSize(2, 2);
  EXPECT_EQ(dd->Surfaces().size(), 2u);
  EXPECT_EQ(dd->Palettes().size(), 1u);
  dd.reset();
  EXPECT_FALSE(a.HasSurface());
  EXPECT_FALSE(b.HasSurface());
  EXPECT_FALSE(a.Fill(0));
  a.SetSize(0, 0);
  EXPECT_THROW(a.SetSize(3, 3), EDirectDrawSurfaceError);
  EXPECT_FALSE(palette->SetEntries(0, 0, nullptr));
}

}  // namespace

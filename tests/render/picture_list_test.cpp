// The picture list: name hashing and lookup, renaming, the items' surfaces through
// the control's life, patterns, drawing and the colour table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxdraw.h"
#include "exceptions.h"
#include "fake_platform.h"
#include "picture_list.h"

namespace {

using enum TDXDrawOption;

const char* const kNames[23] = {
    "bg",           "screen_default",   "screen_features",  "screen_screenshots", "screen_install",
    "info_install1", "info_install2",   "info_install3",    "info_nfo1",          "info_nfo2",
    "info_nfo3",    "info_quit1",       "info_quit2",       "info_quit3",         "progbar1",
    "progbar2",     "info_features1",   "info_features2",   "info_features3",     "info_screenshot1",
    "info_screenshot2", "info_screenshot3", "tarnwell"};

// An 8-bit picture whose pixel (x, y) has index (x + y) % 4 + 1; palette entry i is
// (i * 40, 255 - i * 40, 7).
TDIB Stripes(int w, int h) {
  TDIB dib(w, h, 8);
  for (int i = 0; i < 256; ++i)
    dib.SetPaletteEntry(i, TRGBQuad{7, std::uint8_t(255 - i * 40), std::uint8_t(i * 40), 0});
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) dib.SetPixelIndex(x, y, (x + y) % 4 + 1);
  return dib;
}
TColor StripeColor(int x, int y) {
  const int i = (x + y) % 4 + 1;
  return RGB(std::uint8_t(i * 40), std::uint8_t(255 - i * 40), 7);
}

void FillMainList(TPictureCollection& items) {
  for (const char* name : kNames) {
    TPictureCollectionItem& item = items.Add();
    item.SetName(name);
    item.SystemMemory = true;
    item.Transparent = false;
  }
}

TEST(NameHash, Examples) {
  EXPECT_EQ(NameHash("info_install1"), 165);
  EXPECT_EQ(NameHash("info_install2"), 165);
  EXPECT_EQ(NameHash("info_install3"), 165);
  EXPECT_EQ(NameHash("progbar1"), 98);
  EXPECT_EQ(NameHash("progbar2"), 98);
  EXPECT_EQ(NameHash("bg"), 228);
  EXPECT_EQ(NameHash("BG"), 228);
  EXPECT_EQ(NameHash(""), 0);
  EXPECT_EQ(NameHash("x"), 16);
}

TEST(HashCollection, IndexOfAndItems) {
  TPictureCollection items;
  FillMainList(items);
  ASSERT_EQ(items.Count(), 23);
  for (int i = 0; i < 23; ++i) EXPECT_EQ(items.IndexOf(kNames[i]), i) << kNames[i];
  EXPECT_EQ(items.IndexOf("BG"), 0);
  EXPECT_EQ(items.IndexOf("Info_Install2"), 6);
  EXPECT_EQ(items.IndexOf(""), -1);
  EXPECT_EQ(items.IndexOf("info_install4"), -1);
  EXPECT_EQ(items.Items(14).Name(), "progbar1");
  for (int bad : {-1, 23, 1000}) {
    try {
      items.Items(bad);
      FAIL() << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
}

TEST(HashCollection, DuplicateNamesFindTheOneNamedLast) {
  TPictureCollection items;
  TPictureCollectionItem& a = items.Add();
  TPictureCollectionItem& b = items.Add();
  b.SetName("logo");
  a.SetName("LOGO");
  EXPECT_EQ(items.IndexOf("logo"), 0);
  b.SetName("other");
  b.SetName("logo");
  EXPECT_EQ(items.IndexOf("logo"), 1);
}

TEST(HashCollection, RenameSemantics) {
  TPictureCollection items;
  TPictureCollectionItem& one = items.Add();
  TPictureCollectionItem& two = items.Add();
  TPictureCollectionItem& three = items.Add();
  // All start under the empty name at the head of bucket 0, the newest first.
  EXPECT_EQ(items.BucketHead(0), &three);
  one.SetName("progbar1");
  two.SetName("progbar2");
  EXPECT_EQ(items.BucketHead(98), &two);
  one.SetName("progbar1");  // unchanged: stays where it is
  EXPECT_EQ(items.BucketHead(98), &two);
  one.SetName("PROGBAR1");  // another name in the same bucket: to the head
  EXPECT_EQ(items.BucketHead(98), &one);
  EXPECT_EQ(items.IndexOf("progbar1"), 0);
  EXPECT_EQ(items.IndexOf("progbar2"), 1);
  two.SetName("bg");
  EXPECT_EQ(items.BucketHead(228), &two);
  EXPECT_EQ(items.IndexOf("progbar2"), -1);
  EXPECT_EQ(items.IndexOf("bg"), 1);
  EXPECT_EQ(items.BucketHead(0), &three);
  EXPECT_EQ(items.IndexOf(""), 2);
}

TEST(HashCollection, DeleteLowersLaterIndexes) {
  TPictureCollection items;
  FillMainList(items);
  items.Delete(1);
  EXPECT_EQ(items.Count(), 22);
  EXPECT_EQ(items.IndexOf("screen_default"), -1);
  EXPECT_EQ(items.IndexOf("screen_features"), 1);
  EXPECT_EQ(items.IndexOf("tarnwell"), 21);
  EXPECT_EQ(items.IndexOf("bg"), 0);
  EXPECT_THROW(items.Delete(22), EListError);
}

class PictureListLife : public ::testing::Test {
 protected:
  TFakePlatform Platform;
  TDXDraw Draw{Platform};
  TDXImageList List;
  void SetUp() override {
    Draw.SetOptions(TDXDrawOptions{doWaitVBlank, doSystemMemory, doCenter});
    FillMainList(List.Items);
    List.Items.Items(0).SetPicture(TPicture(Stripes(500, 400)));
    List.Items.Items(0).SetTransparentColor(RGB(255, 0, 0));
    for (int i = 5; i <= 7; ++i) List.Items.Items(i).SetPicture(TPicture(Stripes(83, 29)));
    List.SetDXDraw(&Draw);
  }
  TPictureCollectionItem& Item(const char* name) { return List.Items.Items(List.Items.IndexOf(name)); }
};

TEST_F(PictureListLife, SurfacesAppearWithTheClosingRestore) {
  EXPECT_EQ(List.DXDraw(), &Draw);
  EXPECT_FALSE(Item("bg").Initialized());
  EXPECT_EQ(Item("bg").PatternSurface(0), nullptr);

  bool sawInitialisedItems = false;
  Draw.OnInitialize = [&](TDXDraw&) {
    sawInitialisedItems = Item("bg").Initialized() && Item("bg").PatternSurface(0) == nullptr;
    TBitmap bar(378, 36);
    bar.SetPixel(5, 5, RGB(0, 0, 255));
    Item("progbar1").SetPicture(TPicture(bar));
  };
  Draw.Initialize();
  EXPECT_TRUE(sawInitialisedItems);

  TDirectDrawSurface* bg = Item("bg").PatternSurface(0);
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->Width(), 500);
  EXPECT_EQ(bg->Height(), 400);
  EXPECT_TRUE(bg->SystemMemory);
  EXPECT_EQ(bg->DirectDraw(), Draw.DDraw());
  EXPECT_EQ(bg->ColorKey(), bg->MatchColor(RGB(255, 0, 0)));
  EXPECT_EQ(Item("bg").PatternSurface(1), nullptr);
  EXPECT_EQ(Item("bg").PatternCount(), 1);
  EXPECT_EQ(Item("bg").Width(), 500);

  TDirectDrawSurface* bar = Item("progbar1").PatternSurface(0);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->Pixel(5, 5), bar->MatchColor(RGB(0, 0, 255)));
  EXPECT_EQ(bar->Pixel(6, 5), bar->MatchColor(RGB(255, 255, 255)));
  EXPECT_FALSE(Draw.Surface()->FastCopy(0, 0, TRect{0, 0, 400, 36}, 0, bar));
  EXPECT_TRUE(Draw.Surface()->FastCopy(0, 0, TRect{0, 0, 378, 36}, 0, bar));
  EXPECT_EQ(Draw.Surface()->Pixel(5, 5), bar->Pixel(5, 5));

  // The empty entries keep no patterns and draw nothing.
  EXPECT_EQ(Item("screen_install").PatternSurface(0), nullptr);
  Draw.Surface()->Fill(0);
  Item("screen_install").Draw(*Draw.Surface(), 0, 0, 0);
  EXPECT_EQ(Draw.Surface()->Pixel(0, 0), 0u);
}

TEST_F(PictureListLife, DrawCopiesThePictureOntoTheBackSurface) {
  Draw.Initialize();
  TDirectDrawSurface& back = *Draw.Surface();
  Item("bg").Draw(back, 0, 0, 0);
  for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {499, 399}, {250, 123}})
    EXPECT_EQ(back.Pixel(x, y), back.MatchColor(StripeColor(x, y))) << x << "," << y;
  EXPECT_EQ(back.Pixel(500, 0), 0u);
  Item("info_install2").Draw(back, 100, 390, 0);  // 29 high: clipped at 402
  EXPECT_EQ(back.Pixel(100, 401), back.MatchColor(StripeColor(0, 11)));
  EXPECT_EQ(back.Pixel(182, 390), back.MatchColor(StripeColor(82, 0)));
  EXPECT_EQ(back.Pixel(183, 390), back.MatchColor(StripeColor(183, 390)));  // background again
  back.Fill(0);
  Item("info_install2").Draw(back, 0, 0, 1);  // no such pattern
  Item("info_install2").DrawBlend(back, TRect{0, 0, 83, 29}, 5, 100);
  EXPECT_EQ(back.Pixel(0, 0), 0u);
}

TEST_F(PictureListLife, ErrorInOnInitializeLeavesNoSurfaces) {
  Draw.OnInitialize = [](TDXDraw&) { throw Exception("JPEG error #53"); };
  EXPECT_THROW(Draw.Initialize(), Exception);
  EXPECT_TRUE(Item("bg").Initialized());
  EXPECT_EQ(Item("bg").PatternSurface(0), nullptr);
  Item("bg").Draw(*Draw.Surface(), 0, 0, 0);
  EXPECT_EQ(Draw.Surface()->Pixel(0, 0), 0u);
}

TEST_F(PictureListLife, SecondInitializeRebuildsFromThePictures) {
  Draw.Initialize();
  ASSERT_NE(Item("bg").PatternSurface(0), nullptr);
  TDIB changed = Stripes(500, 400);
  changed.SetPaletteEntry(1, TRGBQuad{0, 0, 0, 0});
  Item("bg").SetPicture(TPicture(changed));
  Draw.Initialize();
  TDirectDrawSurface* bg = Item("bg").PatternSurface(0);
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->DirectDraw(), Draw.DDraw());
  EXPECT_EQ(Draw.DDraw()->Surfaces().size(), 1u + 1u + 3u);  // back, bg, three buttons
  EXPECT_EQ(bg->Pixel(0, 0), 0u);  // index 1 is now black
}

TEST_F(PictureListLife, LostScreenRebuildsAllSurfaces) {
  Draw.Initialize();
  Item("bg").PatternSurface(0)->Fill(0);
  Platform.Lost = true;
  EXPECT_TRUE(Draw.ReadyToDraw());
  TDirectDrawSurface* bg = Item("bg").PatternSurface(0);
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->Pixel(0, 0), bg->MatchColor(StripeColor(0, 0)));
}

TEST_F(PictureListLife, FinalizeAndUnregisterDropSurfaces) {
  Draw.Initialize();
  Draw.Finalize();
  EXPECT_FALSE(Item("bg").Initialized());
  EXPECT_EQ(Item("bg").PatternSurface(0), nullptr);
  EXPECT_EQ(List.Items.DXDraw(), nullptr);

  Draw.Initialize();
  ASSERT_NE(Item("bg").PatternSurface(0), nullptr);
  List.SetDXDraw(nullptr);
  EXPECT_EQ(Item("bg").PatternSurface(0), nullptr);
  EXPECT_EQ(Draw.DDraw()->Surfaces().size(), 1u);

  // Registering with an initialised control initialises and restores at once.
  List.SetDXDraw(&Draw);
  EXPECT_TRUE(Item("bg").Initialized());
  EXPECT_NE(Item("bg").PatternSurface(0), nullptr);
}

TEST(PictureCollection, InitializeNeedsAnInitialisedControl) {
  TFakePlatform platform;
  TDXDraw draw(platform);
  TPictureCollection items;
  FillMainList(items);
  try {
    items.Initialize(&draw);
    FAIL() << "no error";
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "TPictureCollection cannot be initialized");
  }
  EXPECT_THROW(items.Initialize(nullptr), EPictureCollectionError);
  EXPECT_FALSE(items.Items(0).Initialized());
}

TEST(PictureCollection, ControlDestroyedFirst) {
  TDXImageList list;
  FillMainList(list.Items);
  list.Items.Items(0).SetPicture(TPicture(Stripes(5, 5)));
  {
    TFakePlatform platform;
    TDXDraw draw(platform);
    list.SetDXDraw(&draw);
    draw.Initialize();
    EXPECT_NE(list.Items.Items(0).PatternSurface(0), nullptr);
  }
  EXPECT_EQ(list.DXDraw(), nullptr);
  EXPECT_EQ(list.Items.Items(0).PatternSurface(0), nullptr);
}

TEST(PictureCollection, PatternGridInOneSurfaceOrInTiles) {
  for (bool systemMemory : {true, false}) {
    TFakePlatform platform;
    platform.Format = pixel_formats::Xrgb8888;
    TDXDraw draw(platform);
    TDXImageList list;
    TPictureCollectionItem& item = list.Items.Add();
    item.SetName("cells");
    item.SystemMemory = systemMemory;
    item.Transparent = false;
    item.PatternWidth = 300;
    item.PatternHeight = 2;
    item.SkipWidth = 10;
    item.SetPicture(TPicture(Stripes(1000, 5)));
    list.SetDXDraw(&draw);
    draw.Initialize();
    // Cells of 310 by 2: (1000 + 10) div 310 = 3 columns, 5 div 2 = 2 rows.
    ASSERT_EQ(item.PatternCount(), 6) << systemMemory;
    EXPECT_EQ(item.Width(), 300);
    EXPECT_EQ(item.SurfaceCount(), systemMemory ? 1 : 3);  // one tile of one cell per column
    for (int p = 0; p < 6; ++p) {
      const int cx = (p % 3) * 310, cy = (p / 3) * 2;
      draw.Surface()->Fill(0);
      item.Draw(*draw.Surface(), 0, 0, p);
      for (auto [x, y] : {std::pair{0, 0}, {299, 1}, {150, 0}})
        EXPECT_EQ(draw.Surface()->Pixel(x, y), draw.Surface()->MatchColor(StripeColor(cx + x, cy + y)))
            << systemMemory << " pattern " << p;
      EXPECT_EQ(draw.Surface()->Pixel(300, 0), 0u);
      EXPECT_EQ(draw.Surface()->Pixel(0, 2), 0u);
    }
    EXPECT_EQ(item.PatternSurface(6), nullptr);
    EXPECT_EQ(item.PatternSurface(-1), nullptr);
  }
}

TEST(PictureCollection, TransparentItemsHonourTheirColour) {
  TFakePlatform platform;
  TDXDraw draw(platform);
  TDXImageList list;
  TPictureCollectionItem& item = list.Items.Add();
  item.SetName("key");
  item.SetPicture(TPicture(Stripes(8, 8)));
  item.SetTransparentColor(StripeColor(0, 0));  // index 1
  list.SetDXDraw(&draw);
  draw.Initialize();
  ASSERT_TRUE(item.Transparent);
  TDirectDrawSurface& back = *draw.Surface();
  back.Fill(0x1234);
  item.Draw(back, 0, 0, 0);
  EXPECT_EQ(back.Pixel(0, 0), 0x1234u);
  EXPECT_EQ(back.Pixel(1, 0), back.MatchColor(StripeColor(1, 0)));
  EXPECT_EQ(back.Pixel(3, 1), 0x1234u);  // (3 + 1) % 4 + 1 = 1
  item.SetTransparentColor(StripeColor(1, 0));
  back.Fill(0x1234);
  item.Draw(back, 0, 0, 0);
  EXPECT_EQ(back.Pixel(0, 0), back.MatchColor(StripeColor(0, 0)));
  EXPECT_EQ(back.Pixel(1, 0), 0x1234u);
}

TEST(ColorTable, OnlyBackground) {
  TPictureCollection items;
  FillMainList(items);
  TDIB bg(500, 400, 8);
  bg.SetPaletteEntry(0, TRGBQuad{0, 0, 128, 0});     // (128, 0, 0): fixed entry 1 already
  bg.SetPaletteEntry(1, TRGBQuad{30, 20, 10, 0});    // (10, 20, 30)
  bg.SetPaletteEntry(2, TRGBQuad{60, 50, 40, 0});    // never used by a pixel
  bg.SetPaletteEntry(3, TRGBQuad{30, 20, 10, 0});    // the same colour again
  bg.SetPaletteEntry(4, TRGBQuad{90, 80, 70, 0});    // (70, 80, 90)
  bg.SetPaletteEntry(5, TRGBQuad{255, 255, 255, 0}); // white: fixed entry 255
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 500; ++x) bg.SetPixelIndex(x, y, (x * 7 + y) % 6 == 2 ? 4 : ((x + y) % 2 ? 3 : 1));
  bg.SetPixelIndex(17, 3, 0);
  bg.SetPixelIndex(18, 3, 5);
  items.Items(0).SetPicture(TPicture(bg));
  items.BuildColorTable();

  EXPECT_EQ(items.ColorTable[0], (TRGBQuad{0, 0, 0, 0}));
  EXPECT_EQ(items.ColorTable[1], (TRGBQuad{0, 0, 128, 0}));
  EXPECT_EQ(items.ColorTable[7], (TRGBQuad{192, 192, 192, 0}));
  EXPECT_EQ(items.ColorTable[248], (TRGBQuad{128, 128, 128, 0}));
  EXPECT_EQ(items.ColorTable[249], (TRGBQuad{0, 0, 255, 0}));
  EXPECT_EQ(items.ColorTable[255], (TRGBQuad{255, 255, 255, 0}));
  EXPECT_EQ(items.ColorTable[8], (TRGBQuad{30, 20, 10, 0}));
  EXPECT_EQ(items.ColorTable[9], (TRGBQuad{90, 80, 70, 0}));
  for (int i = 10; i < 248; ++i) EXPECT_EQ(items.ColorTable[i], TRGBQuad{}) << i;
}

TEST(ColorTable, FillsInListOrderUntilFull) {
  TPictureCollection items;
  auto addDib = [&](int base, int count) {
    TDIB dib(count, 1, 8);
    for (int i = 0; i < count; ++i) {
      dib.SetPaletteEntry(i, TRGBQuad{std::uint8_t(base), std::uint8_t(i), 77, 0});
      dib.SetPixelIndex(i, 0, i);
    }
    items.Add().SetPicture(TPicture(dib));
  };
  TDIB deep(4, 4, 24);
  deep.SetPixelColor(0, 0, RGB(1, 2, 3));
  items.Add().SetPicture(TPicture(deep));  // more than 8 bits: adds nothing
  TBitmap grey(2, 2);
  grey.SetPalette({TRGBQuad{5, 5, 5, 0}, TRGBQuad{6, 6, 6, 0}});
  items.Add().SetPicture(TPicture(grey));
  items.Add();  // empty
  addDib(1, 200);
  addDib(2, 200);
  items.BuildColorTable();
  EXPECT_EQ(items.ColorTable[8], (TRGBQuad{5, 5, 5, 0}));
  EXPECT_EQ(items.ColorTable[9], (TRGBQuad{6, 6, 6, 0}));
  EXPECT_EQ(items.ColorTable[10], (TRGBQuad{1, 0, 77, 0}));
  EXPECT_EQ(items.ColorTable[209], (TRGBQuad{1, 199, 77, 0}));
  EXPECT_EQ(items.ColorTable[210], (TRGBQuad{2, 0, 77, 0}));
  EXPECT_EQ(items.ColorTable[247], (TRGBQuad{2, 37, 77, 0}));
  EXPECT_EQ(items.ColorTable[248], (TRGBQuad{128, 128, 128, 0}));  // fixed entries stay
}

}  // namespace

// Reading stored bitmap records: every header and bit count, run-length data, row
// order, palettes, error texts and records that lie or stop short.
#include <gtest/gtest.h>

#include <string>

#include "dib.h"
#include "dib_builder.h"
#include "exceptions.h"

namespace {

TDIB Read(const std::vector<std::uint8_t>& bytes) { return TDIB::Read(bytes); }

template <typename E>
std::string MessageOf(const std::vector<std::uint8_t>& bytes) {
  try {
    Read(bytes);
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("wrong class: ") + e.what();
  }
  return "no error";
}

// An 8-bit picture 3 wide, 2 high; pixel (x, y) from the top has index 10*y + x + 1.
TDibRecord Small8(bool topDown) {
  TDibRecord r;
  r.Width = 3;
  r.Height = topDown ? -2 : 2;
  r.Bits = 8;
  r.Palette = RampPalette(256);
  const std::vector<std::uint8_t> top = {1, 2, 3, 0}, bottom = {11, 12, 13, 0};
  r.Pixels = topDown ? top : bottom;
  r.Pixels.insert(r.Pixels.end(), (topDown ? bottom : top).begin(), (topDown ? bottom : top).end());
  return r;
}

TEST(DibRecord, EmptyRecordGivesEmptyPicture) {
  const TDIB dib = Read({});
  EXPECT_TRUE(dib.Empty());
  EXPECT_EQ(dib.Width(), 0);
  EXPECT_TRUE(ReadStoredPicture(WriteStored("TDIB", {})).Empty());
}

TEST(DibRecord, HeaderErrors) {
  EXPECT_EQ(MessageOf<EInvalidGraphic>({40, 0, 0}), "DIB is invalid");  // fewer than 4 bytes
  for (std::uint32_t size : {0u, 16u, 39u, 41u, 108u, 124u}) {
    TDibRecord r = Small8(false);
    r.HeaderSize = size;
    EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid") << size;
  }
  TDibRecord r = Small8(false);
  r.Compression = 4;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  r.Compression = 2;  // 4-bit runs in an 8-bit picture
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
}

TEST(DibRecord, BitCountErrors) {
  for (int bits : {0, 2, 3, 7, 15, 31, 48, 64}) {
    TDibRecord r = Small8(false);
    r.Bits = std::uint16_t(bits);
    EXPECT_EQ(MessageOf<EInvalidGraphicOperation>(WriteDib(r)), "Bitcount in invalid (" + std::to_string(bits) + ")");
  }
}

TEST(DibRecord, SixteenBitMasks) {
  TDibRecord r;
  r.Width = 2;
  r.Height = 1;
  r.Bits = 16;
  r.Compression = 3;
  r.Masks = {0xF800, 0x07E0, 0x001F};
  r.Pixels = {0x1F, 0x00, 0xE0, 0x07};  // pure blue, pure green in 5-6-5
  TDIB dib = Read(WriteDib(r));
  EXPECT_EQ(dib.PixelColor(0, 0), RGB(0, 0, 248));
  EXPECT_EQ(dib.PixelColor(1, 0), RGB(0, 252, 0));

  r.Masks = {0x7C00, 0x03E0, 0x001F};
  dib = Read(WriteDib(r));
  EXPECT_EQ(dib.PixelColor(1, 0), RGB(8, 248, 0));  // 0x07E0 read as 5-5-5

  for (auto masks : {std::vector<std::uint32_t>{0xF800, 0x07E0, 0x003F}, {0x001F, 0x07E0, 0xF800}, {0, 0, 0}}) {
    r.Masks = masks;
    EXPECT_EQ(MessageOf<EInvalidGraphicOperation>(WriteDib(r)), "PixelFormat in invalid");
  }
  // Without masks 16-bit pixels are 5-5-5.
  r.Compression = 0;
  r.Masks.clear();
  r.Pixels = {0x00, 0x7C, 0x1F, 0x00};
  dib = Read(WriteDib(r));
  EXPECT_EQ(dib.PixelColor(0, 0), RGB(248, 0, 0));
  EXPECT_EQ(dib.PixelColor(1, 0), RGB(0, 0, 248));
}

TEST(DibRecord, EveryBitCount) {
  // 1 bit: 10 pixels alternating, two-entry palette.
  TDibRecord r1;
  r1.Width = 10;
  r1.Height = 1;
  r1.Bits = 1;
  r1.Palette = {TRGBQuad{0, 0, 255, 0}, TRGBQuad{255, 0, 0, 0}};
  r1.Pixels = {0xAA, 0x80, 0, 0};
  TDIB d1 = Read(WriteDib(r1));
  EXPECT_EQ(d1.PixelIndex(0, 0), 1);
  EXPECT_EQ(d1.PixelIndex(1, 0), 0);
  EXPECT_EQ(d1.PixelIndex(8, 0), 1);
  EXPECT_EQ(d1.PixelIndex(9, 0), 0);
  EXPECT_EQ(d1.PixelColor(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(d1.PixelColor(1, 0), RGB(255, 0, 0));

  // 4 bit: high nibble first.
  TDibRecord r4;
  r4.Width = 3;
  r4.Height = 1;
  r4.Bits = 4;
  r4.Palette = RampPalette(16);
  r4.Pixels = {0x5A, 0xF0, 0, 0};
  TDIB d4 = Read(WriteDib(r4));
  EXPECT_EQ(d4.PixelIndex(0, 0), 5);
  EXPECT_EQ(d4.PixelIndex(1, 0), 10);
  EXPECT_EQ(d4.PixelIndex(2, 0), 15);
  EXPECT_EQ(d4.Palette().size(), 16u);

  // 24 bit: blue, green, red per pixel, rows padded.
  TDibRecord r24;
  r24.Width = 1;
  r24.Height = 2;
  r24.Bits = 24;
  r24.Pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // bottom row first
  TDIB d24 = Read(WriteDib(r24));
  EXPECT_EQ(d24.PixelColor(0, 1), RGB(3, 2, 1));
  EXPECT_EQ(d24.PixelColor(0, 0), RGB(6, 5, 4));
  EXPECT_TRUE(d24.Palette().empty());
  EXPECT_THROW(d24.PixelIndex(0, 0), EInvalidGraphicOperation);

  // 32 bit, default 8-8-8 and explicit masks.
  TDibRecord r32;
  r32.Width = 1;
  r32.Height = 1;
  r32.Bits = 32;
  r32.Pixels = {10, 20, 30, 40};
  EXPECT_EQ(Read(WriteDib(r32)).PixelColor(0, 0), RGB(30, 20, 10));
  r32.Compression = 3;
  r32.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
  EXPECT_EQ(Read(WriteDib(r32)).PixelColor(0, 0), RGB(10, 20, 30));
}

TEST(DibRecord, NegativeHeightReadsAsBottomUp) {
  const TDIB up = Read(WriteDib(Small8(false)));
  const TDIB down = Read(WriteDib(Small8(true)));
  ASSERT_EQ(up.Height(), 2);
  ASSERT_EQ(down.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(up.PixelIndex(x, y), 10 * y + x + 1);
      EXPECT_EQ(down.PixelIndex(x, y), up.PixelIndex(x, y));
      EXPECT_EQ(down.PixelColor(x, y), up.PixelColor(x, y));
    }
}

TEST(DibRecord, PaletteSizes) {
  // Colours used smaller than 2^bits: the rest are black, the table keeps 256 entries.
  TDibRecord r = Small8(false);
  r.ColorsUsed = 4;
  r.Palette = RampPalette(4);
  TDIB dib = Read(WriteDib(r));
  ASSERT_EQ(dib.Palette().size(), 256u);
  EXPECT_EQ(dib.Palette()[3], (TRGBQuad{1, 252, 3, 0}));
  EXPECT_EQ(dib.Palette()[11], (TRGBQuad{}));
  EXPECT_EQ(dib.PixelColor(0, 0), RGB(1, 254, 0));  // index 1
  EXPECT_EQ(dib.PixelColor(0, 1), RGB(0, 0, 0));    // index 11, not stored

  // A colours-used count above 256 reads 256 entries.
  r.ColorsUsed = 100000;
  r.Palette = RampPalette(256);
  EXPECT_EQ(Read(WriteDib(r)).Palette()[200], RampPalette(256)[200]);

  // A 12-byte header: 3-byte entries and 16-bit sizes.
  TDibRecord core;
  core.HeaderSize = 12;
  core.Width = 2;
  core.Height = 1;
  core.Bits = 4;
  core.Palette = RampPalette(16);
  core.Pixels = {0x3C, 0, 0, 0};
  TDIB c = Read(WriteDib(core));
  EXPECT_EQ(c.Width(), 2);
  EXPECT_EQ(c.PixelIndex(0, 0), 3);
  EXPECT_EQ(c.PixelIndex(1, 0), 12);
  EXPECT_EQ(c.PixelColor(1, 0), RGB(12, 243, 6));
}

TEST(DibRecord, RunLength8) {
  TDibRecord r;
  r.Width = 6;
  r.Height = 3;
  r.Bits = 8;
  r.Compression = 1;
  r.Palette = RampPalette(256);
  r.Pixels = {
      3, 7,              // bottom row: 7 7 7
      0, 3, 1, 2, 3, 0,  // literal 1 2 3 (padded)
      0, 0,              // end of line
      0, 2, 2, 1,        // move right 2, up 1: to x 2 of the top row
      2, 9,              // 9 9
      9, 5,              // run past the right edge: kept inside the row
      0, 1,              // end of picture
      4, 4,              // never read
  };
  r.ImageSize = std::uint32_t(r.Pixels.size());
  TDIB dib = Read(WriteDib(r));
  const int bottom = 2, middle = 1, top = 0;
  const int want_bottom[6] = {7, 7, 7, 1, 2, 3};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(dib.PixelIndex(x, bottom), want_bottom[x]) << x;
  for (int x = 0; x < 6; ++x) EXPECT_EQ(dib.PixelIndex(x, middle), 0) << x;
  const int want_top[6] = {0, 0, 9, 9, 5, 5};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(dib.PixelIndex(x, top), want_top[x]) << x;
}

TEST(DibRecord, RunLength4) {
  TDibRecord r;
  r.Width = 5;
  r.Height = 2;
  r.Bits = 4;
  r.Compression = 2;
  r.Palette = RampPalette(16);
  r.Pixels = {
      5, 0x12,           // 1 2 1 2 1
      0, 0,              // end of line
      0, 3, 0xAB, 0xC0,  // literal A B C (two bytes, already even)
      0, 1,
  };
  r.ImageSize = std::uint32_t(r.Pixels.size());
  TDIB dib = Read(WriteDib(r));
  const int want_bottom[5] = {1, 2, 1, 2, 1};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(dib.PixelIndex(x, 1), want_bottom[x]);
  EXPECT_EQ(dib.PixelIndex(0, 0), 0xA);
  EXPECT_EQ(dib.PixelIndex(1, 0), 0xB);
  EXPECT_EQ(dib.PixelIndex(2, 0), 0xC);
  EXPECT_EQ(dib.PixelIndex(3, 0), 0);
}

TEST(DibRecord, RunLengthThatLiesStaysInside) {
  TDibRecord r;
  r.Width = 4;
  r.Height = 2;
  r.Bits = 8;
  r.Compression = 1;
  r.Palette = RampPalette(256);
  // Deltas far beyond the picture, a literal that claims more bytes than exist.
  r.Pixels = {0, 2, 255, 255, 4, 1, 0, 2, 0, 0, 0, 200, 1, 2};
  r.ImageSize = std::uint32_t(r.Pixels.size());
  TDIB dib = Read(WriteDib(r));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dib.PixelIndex(x, y), 0);
  // An image size larger than the bytes that follow is a short record.
  r.ImageSize = 1000;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
}

TEST(DibRecord, TruncatedRecordsAreRefused) {
  for (const TDibRecord& base : {Small8(false), Small8(true)}) {
    const std::vector<std::uint8_t> full = WriteDib(base);
    ASSERT_NO_THROW(Read(full));
    for (std::size_t n = 1; n < full.size(); ++n) {
      const std::vector<std::uint8_t> part(full.begin(), full.begin() + std::ptrdiff_t(n));
      EXPECT_THROW(Read(part), EInvalidGraphic) << n;
    }
  }
}

TEST(DibRecord, HugeSizesRefusedBeforeAllocating) {
  TDibRecord r;
  r.Width = 1 << 20;
  r.Height = 1 << 20;
  r.Bits = 8;
  r.Compression = 1;
  r.Palette = RampPalette(256);
  r.Pixels = {0, 1};
  r.ImageSize = 2;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  r.Width = 4097;
  r.Height = -4096;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  r.Width = 4096;  // the largest accepted: expanded from two bytes of runs
  EXPECT_EQ(Read(WriteDib(r)).Height(), 4096);
  r.Width = -5;
  r.Height = 2;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  r.Width = 2;
  r.Height = std::int32_t(0x80000000u);
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  // No pixels at all, but rows by the million: refused rather than walked.
  r.Width = 0;
  r.Height = 0x2400FEF7;
  r.Compression = 0;
  r.Pixels.clear();
  r.ImageSize = 0;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid");
  r.Width = 1;
  r.Height = 70000;
  EXPECT_EQ(MessageOf<EInvalidGraphic>(WriteDib(r)), "DIB is invalid") << "a side longer than 65536";
}

TEST(StoredPicture, ClassNameAndRecord) {
  const std::vector<std::uint8_t> record = WriteDib(Small8(false));
  TPicture p = ReadStoredPicture(WriteStored("TDIB", record));
  ASSERT_NE(p.Dib(), nullptr);
  EXPECT_EQ(p.Width(), 3);
  EXPECT_EQ(p.Dib()->PixelIndex(2, 1), 13);
  EXPECT_TRUE(ReadStoredPicture(WriteStored("TJPEGImage", record)).Empty());
  EXPECT_TRUE(ReadStoredPicture(WriteStored("TDIBX", record)).Empty());
  EXPECT_TRUE(ReadStoredPicture({}).Empty());
  EXPECT_TRUE(ReadStoredPicture(std::vector<std::uint8_t>{9, 'T', 'D'}).Empty());
  std::vector<std::uint8_t> bad = WriteStored("TDIB", record);
  bad[1 + 4] = 41;  // header size
  EXPECT_THROW(ReadStoredPicture(bad), EInvalidGraphic);
}

TEST(StoredPicture, BackgroundSizedRecord) {
  // 500 by 400 at 8 bits: 40 header bytes, 1024 palette bytes, 200000 pixel bytes.
  TDibRecord r;
  r.Width = 500;
  r.Height = 400;
  r.Bits = 8;
  r.ImageSize = 500 * 400;
  r.Palette = RampPalette(256);
  r.Pixels.assign(500 * 400, 0);
  for (int y = 0; y < 400; ++y) r.Pixels[std::size_t(y) * 500 + std::size_t(y % 500)] = std::uint8_t(y % 256);
  const auto stored = WriteStored("TDIB", WriteDib(r));
  EXPECT_EQ(stored.size(), 201069u);
  const TPicture p = ReadStoredPicture(stored);
  EXPECT_EQ(p.Width(), 500);
  EXPECT_EQ(p.Height(), 400);
  EXPECT_EQ(p.Dib()->PixelIndex(399 % 500, 0), 399 % 256);  // stored row 399 is the top
  EXPECT_EQ(p.Dib()->PixelIndex(0, 399), 0);
  EXPECT_EQ(RowStride(8, 500), 500);
}

TEST(Bitmap, SheetSizedBitmapsAreFineHugeOnesRefused) {
  const TBitmap sheet(471, 1114);
  EXPECT_EQ(sheet.Pixel(470, 1113), RGB(255, 255, 255));
  EXPECT_THROW(TBitmap(1 << 14, 1 << 14), EInvalidGraphicOperation);
  EXPECT_THROW(TBitmap(-1, 5), EInvalidGraphicOperation);
}

TEST(Bitmap, StartsWhiteAndCopiesOnAssign) {
  TBitmap b(4, 3);
  EXPECT_EQ(b.Pixel(3, 2), RGB(255, 255, 255));
  b.SetPixel(1, 2, RGB(10, 20, 30));
  EXPECT_EQ(b.Pixel(1, 2), RGB(10, 20, 30));
  EXPECT_EQ(b.Data()[(2 * 4 + 1) * 3 + 2], 30);
  EXPECT_THROW(b.Pixel(4, 0), EInvalidGraphicOperation);

  TPicture a(b);
  TPicture copy = a;
  copy.Bitmap()->SetPixel(0, 0, RGB(1, 2, 3));
  EXPECT_EQ(a.Bitmap()->Pixel(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(copy.PixelColor(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(copy.PixelColor(-1, 0), 0u);
  copy.Clear();
  EXPECT_TRUE(copy.Empty());
  EXPECT_FALSE(a.Empty());
}

}  // namespace

// The painter's building blocks: stored form, palette cut, distance field, noise
// and the lit relief.
#include "noise.h"
#include "palette.h"
#include "relief.h"
#include "stored_picture.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

artgen::IndexedPicture Tiny4Bit() {
  artgen::IndexedPicture p;
  p.name = "tiny";
  p.width = 3;
  p.height = 2;
  p.bits = 4;
  p.palette.assign(16, qRgb(0, 0, 0));
  p.palette[1] = qRgb(0x10, 0x20, 0x30);
  p.pixels = {1, 2, 3,    // top row
              4, 5, 15};  // bottom row
  return p;
}

TEST(StoredForm, PacksFourBitRowsBottomUpHighNibbleFirstWithZeroPadding) {
  const std::vector<std::uint8_t> bytes = artgen::StoredForm(Tiny4Bit());
  ASSERT_EQ(bytes.size(), 5u + 40 + 64 + 2 * 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), std::string("\x04TDIB"));
  EXPECT_EQ(bytes[5], 40);                       // header size
  EXPECT_EQ(bytes[5 + 4], 3);                    // width
  EXPECT_EQ(bytes[5 + 8], 2);                    // height, positive
  EXPECT_EQ(bytes[5 + 14], 4);                   // bits
  EXPECT_EQ(bytes[5 + 20], 8);                   // image size = stride 4 * 2 rows
  // Palette entry 1 is blue, green, red, 0.
  const std::size_t entry1 = 5 + 40 + 4;
  EXPECT_EQ(bytes[entry1], 0x30);
  EXPECT_EQ(bytes[entry1 + 1], 0x20);
  EXPECT_EQ(bytes[entry1 + 2], 0x10);
  EXPECT_EQ(bytes[entry1 + 3], 0);
  const std::size_t rows = 5 + 40 + 64;
  // The bottom row comes first.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + rows, bytes.begin() + rows + 4),
            (std::vector<std::uint8_t>{0x45, 0xF0, 0, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + rows + 4, bytes.end()),
            (std::vector<std::uint8_t>{0x12, 0x30, 0, 0}));
}

TEST(StoredForm, RefusesInconsistentPictures) {
  artgen::IndexedPicture p = Tiny4Bit();
  p.palette.resize(256);
  EXPECT_THROW(artgen::StoredForm(p), std::invalid_argument);
  p = Tiny4Bit();
  p.pixels[0] = 16;  // beyond a 16-entry palette
  EXPECT_THROW(artgen::StoredForm(p), std::invalid_argument);
  p = Tiny4Bit();
  p.pixels.pop_back();
  EXPECT_THROW(artgen::StoredForm(p), std::invalid_argument);
  p = Tiny4Bit();
  p.bits = 24;
  EXPECT_THROW(artgen::StoredForm(p), std::invalid_argument);
}

TEST(StoredForm, EightBitRowsArePaddedToFourBytes) {
  artgen::IndexedPicture p;
  p.name = "row";
  p.width = 5;
  p.height = 1;
  p.bits = 8;
  p.palette.assign(256, 0);
  p.pixels = {9, 8, 7, 6, 5};
  const auto bytes = artgen::StoredForm(p);
  ASSERT_EQ(bytes.size(), 5u + 40 + 1024 + 8);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 8, bytes.end()), (std::vector<std::uint8_t>{9, 8, 7, 6, 5, 0, 0, 0}));
  EXPECT_EQ(artgen::RowStride(83, 8), 84);
  EXPECT_EQ(artgen::RowStride(480, 4), 240);
  EXPECT_EQ(artgen::RowStride(53, 8), 56);
}

TEST(Palette, FewColoursComeBackExactlyAndInputOrderDoesNotMatter) {
  std::vector<QRgb> pixels;
  const QRgb five[] = {qRgb(250, 10, 10), qRgb(10, 250, 10), qRgb(10, 10, 250), qRgb(128, 128, 128), qRgb(0, 0, 0)};
  for (int i = 0; i < 500; ++i) pixels.push_back(five[(i * 7) % 5]);
  std::vector<QRgb> got = artgen::MedianCut(pixels, 8);
  ASSERT_EQ(got.size(), 5u);
  for (QRgb c : five) EXPECT_NE(std::find(got.begin(), got.end(), c), got.end());

  std::vector<QRgb> reversed(pixels.rbegin(), pixels.rend());
  EXPECT_EQ(artgen::MedianCut(reversed, 8), got);
  EXPECT_TRUE(artgen::MedianCut({}, 8).empty());
}

TEST(Palette, TwoClustersAreEachRepresentedByTheirMiddle) {
  std::vector<QRgb> pixels;
  for (int i = 0; i < 200; ++i) pixels.push_back(qRgb(40 + i % 9, 40, 40));     // dark reds around 44
  for (int i = 0; i < 100; ++i) pixels.push_back(qRgb(200, 200 + i % 5, 200));  // light greys around 202
  const std::vector<QRgb> got = artgen::MedianCut(pixels, 2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(qRed(got[0]), 44, 2);   // dark to light
  EXPECT_NEAR(qGreen(got[1]), 202, 2);
}

TEST(Palette, NearestIndexKeepsToItsRangeAndPrefersTheLowerIndexOnTies) {
  const std::vector<QRgb> palette = {qRgb(0, 0, 0), qRgb(100, 100, 100), qRgb(100, 100, 100), qRgb(255, 255, 255)};
  EXPECT_EQ(artgen::NearestIndex(palette, 0, 3, qRgb(90, 90, 90)), 1);
  EXPECT_EQ(artgen::NearestIndex(palette, 2, 3, qRgb(10, 10, 10)), 2);  // black is out of range
  EXPECT_EQ(artgen::NearestIndex(palette, 0, 3, qRgb(250, 250, 250)), 3);
  EXPECT_EQ(artgen::ColourDistance(qRgb(1, 0, 0), qRgb(0, 0, 0)), 3);
  EXPECT_EQ(artgen::ColourDistance(qRgb(0, 1, 0), qRgb(0, 0, 0)), 4);
}

TEST(Noise, IsRepeatableBoundedAndDependsOnTheSeed) {
  int differing = 0;
  for (int i = 0; i < 200; ++i) {
    const double x = i * 0.37, y = i * 0.61;
    const double v = artgen::FractalNoise(x, y, 11, 4, 0.5);
    EXPECT_GE(v, 0.0);
    EXPECT_LT(v, 1.0);
    EXPECT_EQ(v, artgen::FractalNoise(x, y, 11, 4, 0.5));
    differing += v != artgen::FractalNoise(x, y, 12, 4, 0.5);
  }
  EXPECT_GT(differing, 190);
  // At lattice points value noise is the lattice value itself.
  EXPECT_DOUBLE_EQ(artgen::ValueNoise(3.0, -2.0, 5), artgen::LatticeValue(3, -2, 5));
  artgen::Random a(7), b(7);
  for (int i = 0; i < 20; ++i) {
    const int r = a.Range(-3, 3);
    EXPECT_EQ(r, b.Range(-3, 3));
    EXPECT_GE(r, -3);
    EXPECT_LE(r, 3);
  }
}

TEST(DistanceField, MeasuresFromTheEdgeOfTheShape) {
  const int w = 40, h = 30;
  std::vector<float> mask(static_cast<std::size_t>(w) * h, 0.0f);
  for (int y = 5; y < 25; ++y)
    for (int x = 10; x < 30; ++x) mask[static_cast<std::size_t>(y) * w + x] = 1.0f;
  const std::vector<double> d = artgen::SignedDistance(mask, w, h);
  auto at = [&](int x, int y) { return d[static_cast<std::size_t>(y) * w + x]; };
  EXPECT_NEAR(at(19, 14), 9.5, 0.6);  // the middle is about half the 20-sample width in
  EXPECT_NEAR(at(10, 14), 0.5, 0.6);  // the first inside sample
  EXPECT_LT(at(9, 14), 0.0);          // just outside
  EXPECT_NEAR(at(2, 14), -7.5, 0.6);
  for (int x = 10; x < 19; ++x) EXPECT_LT(at(x, 14), at(x + 1, 14));  // rising towards the middle
}

// Painting text needs the application object (test_support_qt_application).
class ReliefTest : public ::testing::Test {};

// A ridge running from top right to bottom left through a region, on grey stone.
void PaintRidge(artgen::Relief& relief) {
  relief.ForEach([&](int i, int j, double x, double y) {
    const double across = (x + y - 60.0) / std::sqrt(2.0);
    relief.Height(i, j) = std::max(0.0, 6.0 - std::abs(across)) +
                          0.3 * artgen::FractalNoise(x / 4.0, y / 4.0, 99, 2, 0.5);
    relief.Albedo(i, j) = artgen::Rgb{120, 120, 120};
  });
}

TEST_F(ReliefTest, FlatStoneShowsItsOwnColourAndSlopesFacingTheLampAreBrighter) {
  artgen::Relief flat(QRect(0, 0, 8, 8), 2, 2);
  flat.ForEach([&](int i, int j, double, double) { flat.Albedo(i, j) = artgen::Rgb{120, 90, 60}; });
  const QImage plain = flat.Shade();
  ASSERT_EQ(plain.size(), QSize(8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(plain.pixel(x, y) & 0xFFFFFFu, qRgb(120, 90, 60) & 0xFFFFFFu);

  artgen::Relief ridge(QRect(0, 0, 60, 60), 2, 8);
  PaintRidge(ridge);
  const QImage lit = ridge.Shade();
  // The crest runs along x + y = 60; its upper-left flank faces the lamp.
  EXPECT_GT(qGray(lit.pixel(27, 29)), qGray(lit.pixel(33, 31)) + 30);
}

TEST_F(ReliefTest, APartRenderedAloneMatchesTheSamePartOfTheWhole) {
  artgen::Relief whole(QRect(0, 0, 60, 60), 2, 14);
  PaintRidge(whole);
  const QImage all = whole.Shade();
  const QRect part(20, 24, 23, 13);
  artgen::Relief alone(part, 2, 14);
  PaintRidge(alone);
  EXPECT_EQ(alone.Shade(), all.copy(part));
}

}  // namespace

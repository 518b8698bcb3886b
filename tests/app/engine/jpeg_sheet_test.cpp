#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "jpeg_sheet.h"
#include "release_fixture.h"

namespace {

int ErrorCodeOf(const std::vector<std::uint8_t>& bytes) {
  try {
    DecodeJpeg(bytes);
  } catch (const EJpegError& e) {
    EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(e.MessageCode()));
    return e.MessageCode();
  }
  return 0;
}

}  // namespace

TEST(JpegSheet, DecodesColourAtFullScale) {
  const int w = 64, h = 40;
  std::vector<std::uint8_t> pixels(w * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &pixels[(y * w + x) * 3];
      p[0] = x < 32 ? 200 : 20;   // left half red-ish
      p[1] = y < 20 ? 180 : 40;   // top half green-ish
      p[2] = 90;
    }
  const TRgbImage image = DecodeJpeg(EncodeJpeg(w, h, 3, pixels));
  ASSERT_EQ(image.Width, w);
  ASSERT_EQ(image.Height, h);
  auto at = [&](int x, int y, int c) { return int(image.Rgb[(y * w + x) * 3 + c]); };
  EXPECT_NEAR(at(5, 5, 0), 200, 8);
  EXPECT_NEAR(at(60, 5, 0), 20, 8);
  EXPECT_NEAR(at(5, 5, 1), 180, 8);
  EXPECT_NEAR(at(5, 35, 1), 40, 8);
  EXPECT_NEAR(at(40, 30, 2), 90, 8);
}

TEST(JpegSheet, GreyImagesComeOutGrey) {
  const int w = 16, h = 16;
  std::vector<std::uint8_t> pixels(w * h, 128);
  const TRgbImage image = DecodeJpeg(EncodeJpeg(w, h, 1, pixels));
  ASSERT_EQ(image.Rgb.size(), std::size_t(w * h * 3));
  EXPECT_NEAR(image.Rgb[0], 128, 2);
  EXPECT_EQ(image.Rgb[0], image.Rgb[1]);
  EXPECT_EQ(image.Rgb[1], image.Rgb[2]);
}

TEST(JpegSheet, OtherFormatsGiveTheDecodersMessageNumber) {
  const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
  EXPECT_EQ(ErrorCodeOf(png), JERR_NO_SOI);
  const std::vector<std::uint8_t> bmp = {'B', 'M', 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
  EXPECT_EQ(ErrorCodeOf(bmp), JERR_NO_SOI);
  EXPECT_NE(ErrorCodeOf({}), 0) << "an empty file is no JPEG either";
}

TEST(JpegSheet, TruncatedDataIsAnErrorOrWarningNeverACrash) {
  const int w = 256, h = 256;
  std::vector<std::uint8_t> pixels(w * h * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t(i * 2654435761u >> 24);
  std::vector<std::uint8_t> bytes = EncodeJpeg(w, h, 3, pixels);
  // Cut inside the header: fatal.
  EXPECT_NE(ErrorCodeOf(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 20)), 0);
  // Cut inside the scan: the decoder only warns and fills the rest, which is tolerated.
  const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + bytes.size() / 2);
  const TRgbImage image = DecodeJpeg(cut);
  EXPECT_EQ(image.Width, w);
}

TEST(JpegSheet, AbsurdDimensionsAreRefusedBeforeAllocating) {
  std::vector<std::uint8_t> bytes = EncodeJpeg(8, 8, 3, std::vector<std::uint8_t>(8 * 8 * 3, 1));
  // Patch the frame header (SOF0: FF C0, length, precision, height, width) to 60000 x 60000.
  for (std::size_t i = 0; i + 9 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      bytes[i + 5] = 0xEA; bytes[i + 6] = 0x60;
      bytes[i + 7] = 0xEA; bytes[i + 8] = 0x60;
      break;
    }
  EXPECT_EQ(ErrorCodeOf(bytes), JERR_IMAGE_TOO_BIG);
}

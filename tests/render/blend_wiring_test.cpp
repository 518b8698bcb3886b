// DrawBlend through the real blend pixel loop: the slideshow's geometry from a
// picture-list item onto the back surface, and the entry checks seen in the pixels.
#include <gtest/gtest.h>

#include <algorithm>

#include "dxdraw.h"
#include "fake_platform.h"
#include "picture_list.h"

namespace {

using enum TDXDrawOption;

TColor SlideColor(int x, int y) { return RGB(std::uint8_t(x % 200), std::uint8_t(y % 200), 40); }

class BlendWiring : public ::testing::TestWithParam<TPixelFormat> {
 protected:
  void SetUp() override {
    Platform.Format = GetParam();
    Draw.SetOptions(TDXDrawOptions{doWaitVBlank, doSystemMemory, doCenter});
    TPictureCollectionItem& slide = List.Items.Add();
    slide.SetName("screen_default");
    slide.SystemMemory = true;
    slide.Transparent = false;
    TBitmap picture(471, 258);
    for (int y = 0; y < 258; ++y)
      for (int x = 0; x < 471; ++x) picture.SetPixel(x, y, SlideColor(x, y));
    slide.SetPicture(TPicture(picture));
    List.SetDXDraw(&Draw);
    Draw.Initialize();
  }
  TFakePlatform Platform;
  TDXDraw Draw{Platform};
  TDXImageList List;
};

TEST_P(BlendWiring, FullStrengthOntoBlackShowsTheSlideShiftedByOne) {
  TDirectDrawSurface& back = *Draw.Surface();
  List.Items.Items(0).DrawBlend(back, TRect{15, 102, 486, 360}, 0, 255);
  for (auto [i, j] : {std::pair{0, 0}, {1, 1}, {2, 5}, {470, 257}, {100, 200}})
    EXPECT_EQ(back.Pixel(15 + i, 102 + j), back.MatchColor(SlideColor(std::max(i - 1, 0), std::max(j - 1, 0))))
        << i << "," << j;
  EXPECT_EQ(back.Pixel(14, 102), 0u);
  EXPECT_EQ(back.Pixel(486, 359), 0u);
}

TEST_P(BlendWiring, NothingWithAlphaZeroOrAHeldCanvas) {
  TDirectDrawSurface& back = *Draw.Surface();
  List.Items.Items(0).DrawBlend(back, TRect{15, 102, 486, 360}, 0, 0);
  back.Canvas().Handle();
  List.Items.Items(0).DrawBlend(back, TRect{15, 102, 486, 360}, 0, 255);
  EXPECT_EQ(back.ErrorCode(), DDERR_SURFACEBUSY);
  back.Canvas().Release();
  for (int y = 102; y < 360; y += 17)
    for (int x = 15; x < 486; x += 23) ASSERT_EQ(back.Pixel(x, y), 0u);
}

INSTANTIATE_TEST_SUITE_P(AllRgb, BlendWiring,
                         ::testing::Values(pixel_formats::Rgb565, pixel_formats::Rgb555, pixel_formats::Rgb888,
                                           pixel_formats::Xrgb8888));

}  // namespace

// DrawBlend's entry checks and what it hands to the blend pixel loop, seen through
// a recording stand-in for that loop (built only while the loop is not in the tree).
#include <gtest/gtest.h>

#include <memory>

#include "blend_stub.h"
#include "direct_draw.h"

namespace {

class BlendEntry : public ::testing::TestWithParam<TPixelFormat> {
 protected:
  TDirectDraw DD{GetParam()};
  std::unique_ptr<TDirectDrawSurface> Make(int w, int h) {
    auto s = std::make_unique<TDirectDrawSurface>(DD);
    s->SetSize(w, h);
    return s;
  }
};

TEST_P(BlendEntry, ChecksThenHandsOverLockedSurfaces) {
  auto target = Make(502, 402);
  auto slide = Make(47, 25);
  slide->SetColorKey(77);
  BlendCalls().clear();
  target->DrawBlend(TRect{15, 102, 62, 127}, slide->ClientRect(), slide.get(), false, 0);
  target->DrawBlend(TRect{15, 102, 62, 127}, slide->ClientRect(), nullptr, false, 10);
  TDirectDrawSurface none(DD);
  target->DrawBlend(TRect{15, 102, 62, 127}, slide->ClientRect(), &none, false, 10);
  none.DrawBlend(TRect{15, 102, 62, 127}, slide->ClientRect(), slide.get(), false, 10);
  slide->Canvas().Handle();
  target->DrawBlend(TRect{15, 102, 62, 127}, slide->ClientRect(), slide.get(), false, 10);
  EXPECT_FALSE(target->Locked());
  slide->Canvas().Release();
  EXPECT_TRUE(BlendCalls().empty());

  target->DrawBlend(TRect{15, 102, 62, 127}, TRect{0, 0, 47, 25}, slide.get(), true, 128);
  ASSERT_EQ(BlendCalls().size(), 1u);
  const TBlendCall& call = BlendCalls()[0];
  EXPECT_EQ(call.Target.Bits, target->Bits());
  EXPECT_EQ(call.Target.Width, 502);
  EXPECT_EQ(call.Target.Height, 402);
  EXPECT_EQ(call.Target.Pitch, target->Pitch());
  EXPECT_TRUE(call.Target.Format == GetParam());
  EXPECT_EQ(call.Source.Bits, slide->Bits());
  EXPECT_EQ(call.Source.Height, 25);
  EXPECT_EQ(call.Target.Palette, nullptr);
  EXPECT_EQ(call.DestRect, (TRect{15, 102, 62, 127}));
  EXPECT_EQ(call.SrcRect, (TRect{0, 0, 47, 25}));
  EXPECT_TRUE(call.Transparent);
  EXPECT_EQ(call.ColorKey, 77u);
  EXPECT_EQ(call.Alpha, 128);
  EXPECT_FALSE(target->Locked());
  EXPECT_FALSE(slide->Locked());
}

INSTANTIATE_TEST_SUITE_P(AllRgb, BlendEntry,
                         ::testing::Values(pixel_formats::Rgb565, pixel_formats::Rgb555, pixel_formats::Rgb888,
                                           pixel_formats::Xrgb8888));

TEST(BlendEntryIndexed, PaletteGoesWithAnIndexedTarget) {
  TDirectDraw dd(pixel_formats::Indexed8);
  TDirectDrawPalette palette(dd);
  TPaletteEntry entries[256] = {};
  entries[3] = TPaletteEntry{10, 20, 30, 0};
  palette.SetEntries(0, 256, entries);
  TDirectDrawSurface target(dd), source(dd);
  target.SetSize(4, 4);
  source.SetSize(4, 4);
  target.AttachPalette(&palette);
  BlendCalls().clear();
  target.DrawBlend(TRect{0, 0, 4, 4}, TRect{0, 0, 4, 4}, &source, false, 1);
  ASSERT_EQ(BlendCalls().size(), 1u);
  ASSERT_NE(BlendCalls()[0].Target.Palette, nullptr);
  BlendCalls().clear();  // the recorded palette pointed into DrawBlend's own frame
}

}  // namespace

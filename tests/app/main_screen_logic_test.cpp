#include <gtest/gtest.h>

#include <vector>

#include "main_screen.h"
#include "progress_screen.h"

TEST(HitZones, StrictEdgesOfEachButton) {
  EXPECT_EQ(ButtonAt(7, 380), TScreenButton::None) << "the install picture's first column";
  EXPECT_EQ(ButtonAt(8, 380), TScreenButton::Install);
  EXPECT_EQ(ButtonAt(89, 380), TScreenButton::Install);
  EXPECT_EQ(ButtonAt(90, 380), TScreenButton::None);
  EXPECT_EQ(ButtonAt(50, 368), TScreenButton::None) << "the buttons' first row";
  EXPECT_EQ(ButtonAt(50, 369), TScreenButton::Install);
  EXPECT_EQ(ButtonAt(199, 380), TScreenButton::Nfo) << "one column beyond the nfo picture";
  EXPECT_EQ(ButtonAt(200, 380), TScreenButton::None);
  EXPECT_EQ(ButtonAt(101, 380), TScreenButton::None);
  EXPECT_EQ(ButtonAt(213, 399), TScreenButton::Quit) << "below the picture still counts";
  EXPECT_EQ(ButtonAt(213, 400), TScreenButton::None);
  EXPECT_EQ(ButtonAt(264, 397), TScreenButton::Quit);
  EXPECT_EQ(ButtonAt(265, 397), TScreenButton::None);
}

TEST(HitZones, PictureNumbers) {
  const TButtonPlace& nfo = kButtons[1];
  EXPECT_EQ(ButtonPictureNumber(nfo, 0, 0, 0), 1);
  EXPECT_EQ(ButtonPictureNumber(nfo, 0, 0, 1), 1) << "pressed elsewhere";
  EXPECT_EQ(ButtonPictureNumber(nfo, 150, 380, 0), 2);
  EXPECT_EQ(ButtonPictureNumber(nfo, 150, 380, 1), 3);
  EXPECT_EQ(ButtonPictureNumber(kButtons[0], 150, 380, 1), 1) << "the other buttons stay normal";
}

namespace {
// The Alpha each frame draws with, for n frames from the reset state.
std::vector<std::pair<int, int>> Frames(int n) {
  TSlideShow show;
  std::vector<std::pair<int, int>> out;
  for (int i = 0; i < n; ++i) {
    out.emplace_back(show.SlideIndex, show.SlideAlpha);
    show.Advance();
  }
  return out;
}
}  // namespace

TEST(SlideShow, OneSlideTakes327Frames) {
  const auto frames = Frames(3 * 327 + 1);
  // 63 frames rising 0, 4, ... 248.
  for (int i = 0; i < 63; ++i) EXPECT_EQ(frames[i], std::make_pair(0, 4 * i)) << i;
  // 202 frames at 252.
  for (int i = 63; i < 265; ++i) EXPECT_EQ(frames[i], std::make_pair(0, 252)) << i;
  // 62 frames falling 248 .. 4.
  for (int i = 265; i < 327; ++i) EXPECT_EQ(frames[i], std::make_pair(0, 248 - 4 * (i - 265))) << i;
  EXPECT_EQ(frames[327], std::make_pair(1, 0)) << "the next slide starts from 0";
  EXPECT_EQ(frames[654], std::make_pair(2, 0));
  EXPECT_EQ(frames[981], std::make_pair(0, 0)) << "after the third slide the first comes again";
}

TEST(SlideShow, AlphaNeverPasses252AndHoldCountsTo201) {
  TSlideShow show;
  int maxAlpha = 0, maxHold = 0;
  for (int i = 0; i < 2000; ++i) {
    show.Advance();
    maxAlpha = std::max(maxAlpha, show.SlideAlpha);
    maxHold = std::max(maxHold, show.HoldCount);
    EXPECT_GE(show.SlideAlpha, 0);
    EXPECT_LE(show.SlideIndex, 2);
  }
  EXPECT_EQ(maxAlpha, 252);
  EXPECT_EQ(maxHold, 200) << "201 is reached only inside the step that resets it";
}

TEST(ProgressMath, PercentAndRounding) {
  EXPECT_DOUBLE_EQ(AddPieceToPercent(0, 50, 200), 25.0);
  EXPECT_DOUBLE_EQ(AddPieceToPercent(10, 7, 0), 17.0) << "an empty entry adds the count";
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(94.4), 94);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(1e30), INT32_MAX) << "huge percentages of empty entries stay in range";
}

TEST(ProgressMath, BarWidths) {
  EXPECT_EQ(FileBarWidth(94), 376);
  EXPECT_EQ(FileBarWidth(95), 380) << "wider than the 378-pixel picture: the copy draws nothing";
  EXPECT_EQ(VolumeBarWidth(3, 0), 126);
  EXPECT_EQ(VolumeBarWidth(3, 1), 252);
  EXPECT_EQ(VolumeBarWidth(3, 2), 378);
  EXPECT_EQ(VolumeBarWidth(400, 5), 0);
  EXPECT_EQ(VolumeBarWidth(10, 9), 370);
  EXPECT_EQ(VolumeBarWidth(10, 10), 407);
}

TEST(ProgressMath, Lines) {
  EXPECT_EQ(FileLine("dir\\a.txt"), "File: dir\\a.txt");
  EXPECT_EQ(ArchiveLine(0, 3, "/rel/game.ace"), "Archive [1/3]: game.ace");
  EXPECT_EQ(ArchiveLine(4, 3, "/rel/game.c03"), "Archive [5/3]: game.c03");
  EXPECT_STREQ(kCancelHint, "Press 'ESC' to cancel..");
}

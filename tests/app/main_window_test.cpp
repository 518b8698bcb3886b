// The main window driven on Qt's offscreen platform: start-up, the frame loop,
// the slideshow's pixels, the buttons under the pointer, keys, and the dialogs'
// dispatch.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <jpeglib.h>
#include <jerror.h>
#include <memory>

#include "app_test_support.h"
#include "qt_modal.h"
#include "release_fixture.h"
#include "unit1.h"
#include "unit1_probe.h"
#include "unit2.h"
#include "unit3.h"

namespace {

TForm1Probe P(TForm1& form) { return TForm1Probe(form); }

std::unique_ptr<TForm1> StartIn(const TReleaseFolder& release, TPixelFormat format = pixel_formats::Xrgb8888) {
  CapturedBoxes().clear();
  TForm1Options options;
  options.ExeDir = release.Dir();
  options.SurfaceFormat = format;
  options.ShellOpen = [](const std::string&) {};
  auto form = std::make_unique<TForm1>(options);
  P(*form).DXDraw1Platform.FixRefreshRate(1000);  // many frames per test
  return form;
}

void WriteRelease(TReleaseFolder& release, const std::string& extraFlags = "") {
  release.WriteIni("NFOFILE=release.nfo\nNUMFILES=3\n" + extraFlags);
  release.WriteSheet();
}

// The raw pixel a frame shows at (x, y).
std::uint32_t Shown(TForm1& form, int x, int y) { return P(form).DXDraw1.Surface()->Pixel(x, y); }

// What the additive blend makes of a source pixel over black at this Alpha.
std::uint32_t OverBlack(const TPixelFormat& f, std::uint32_t source, int alpha) {
  auto channel = [&](const TChannel& c) { return c.From8(std::uint8_t((c.To8(source) * alpha) >> 8)); };
  return channel(f.Red) | channel(f.Green) | channel(f.Blue);
}

// Runs frames until the slideshow stands at this Alpha of this slide (rising).
void FramesUntil(TForm1& form, int slide, int alpha) {
  for (int i = 0; i < 2000; ++i) {
    if (P(form).Slides.SlideIndex == slide && P(form).Slides.SlideAlpha == alpha && P(form).Slides.AlphaStep > 0) return;
    P(form).DXTimer1Timer(1);
  }
  FAIL() << "the slideshow never reached slide " << slide << " at " << alpha;
}

// Whether the frame shows the named picture at (left, top).
bool ShowsPicture(TForm1& form, const std::string& name, int left, int top) {
  TDirectDrawSurface* picture = P(form).Picture(name).PatternSurface(0);
  if (!picture) return false;
  for (int y = 0; y < picture->Height(); ++y)
    for (int x = 0; x < picture->Width(); ++x)
      if (Shown(form, left + x, top + y) != picture->Pixel(x, y)) return false;
  return true;
}

// Moves the pointer over the surface to (x, y). Qt reports no move to the place
// where the pointer already is, and every test's window stands at the same place,
// so the pointer first goes elsewhere.
void PointTo(QWidget* surface, QPoint at) {
  QTest::mouseMove(surface, at + QPoint(at.x() > 250 ? -1 : 1, 0));
  QTest::mouseMove(surface, at);
}

class MainWindow : public ::testing::TestWithParam<TPixelFormat> {};

}  // namespace

TEST(MainWindowStart, OpensBorderless502By402WithTheTimerRunning) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  ASSERT_FALSE(form->StartupFailed());
  EXPECT_TRUE(CapturedBoxes().empty());
  EXPECT_EQ(form->windowTitle(), "Install");
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form->size(), QSize(502, 402));
  EXPECT_EQ(P(*form).DXDraw1Window->geometry(), QRect(0, 0, 502, 402));
  EXPECT_TRUE(P(*form).DXTimer1.Enabled());
  EXPECT_EQ(P(*form).DXTimer1.Interval(), 10);
  EXPECT_EQ(P(*form).DXDraw1.Surface()->Width(), 502);
  EXPECT_EQ(P(*form).DXDraw1.Surface()->Height(), 402);
  EXPECT_EQ(P(*form).State.ProgressBar2.Max, 3);
  form->show();
  EXPECT_TRUE(P(*form).DXDraw1Window->isVisible());
}

TEST(MainWindowStart, StartupErrorsGoToTheGeneralReport) {
  {
    TReleaseFolder release;
    release.WriteIni("NUMFILES=3\n");
    auto form = StartIn(release);
    EXPECT_TRUE(form->StartupFailed());
    ASSERT_EQ(CapturedBoxes().size(), 1u);
    EXPECT_EQ(CapturedBoxes()[0].Caption, "Install");
    EXPECT_EQ(CapturedBoxes()[0].Text, "Cannot open file " + release.Dir() + "install.dat.");
    EXPECT_FALSE(P(*form).DXTimer1.Enabled());
  }
  {
    TReleaseFolder release;
    release.WriteIni("NUMFILES=12a\n");
    release.WriteSheet();
    auto form = StartIn(release);
    ASSERT_EQ(CapturedBoxes().size(), 1u);
    EXPECT_EQ(CapturedBoxes()[0].Text, "'12a' is not a valid integer value.");
  }
  {
    TReleaseFolder release;
    release.WriteIni("NUMFILES=3\n");
    release.WriteFile("install.dat", "BM\x46\0\0\0\0\0\0\0\x36\0\0\0");
    auto form = StartIn(release);
    ASSERT_EQ(CapturedBoxes().size(), 1u);
    EXPECT_EQ(CapturedBoxes()[0].Text, "JPEG error #" + std::to_string(JERR_NO_SOI) + ".");
  }
}

TEST(MainWindowStart, ASmallerSheetLeavesTheMissingPartsWhite) {
  TReleaseFolder release;
  release.WriteIni("NUMFILES=3\n");
  release.WriteSheet(300, 600);
  auto form = StartIn(release);
  ASSERT_FALSE(form->StartupFailed());
  TDirectDrawSurface* install = P(*form).Picture("screen_install").PatternSurface(0);
  ASSERT_NE(install, nullptr);
  const std::uint32_t white = install->ConvertColor(RGB(255, 255, 255));
  EXPECT_EQ(install->Pixel(10, 10), white) << "screen_install lies wholly below a 600-row sheet";
  TDirectDrawSurface* slide = P(*form).Picture("screen_default").PatternSurface(0);
  EXPECT_EQ(slide->Pixel(400, 10), white) << "columns beyond a 300-wide sheet";
  EXPECT_NE(slide->Pixel(10, 10), white);
}

TEST_P(MainWindow, FadesTheSlideInFromBlackWithTheSamplingOfTheBlend) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release, GetParam());
  ASSERT_FALSE(form->StartupFailed());
  const TPixelFormat format = P(*form).DXDraw1.Surface()->Format();
  ASSERT_EQ(format, GetParam());

  P(*form).DXTimer1Timer(1);  // drawn with Alpha 0: nothing of the slide
  for (int y = 102; y < 360; y += 37)
    for (int x = 15; x < 486; x += 41) ASSERT_EQ(Shown(*form, x, y), 0u) << x << "," << y;

  FramesUntil(*form, 0, 128);
  P(*form).DXTimer1Timer(1);
  TDirectDrawSurface* slide = P(*form).Picture("screen_default").PatternSurface(0);
  ASSERT_NE(slide, nullptr);
  auto expectAt = [&](int i, int j) {
    const int si = std::max(i - 1, 0), sj = std::max(j - 1, 0);
    EXPECT_EQ(Shown(*form, 15 + i, 102 + j), OverBlack(format, slide->Pixel(si, sj), 128)) << i << "," << j;
  };
  for (int j : {0, 1, 2, 100, 256, 257})
    for (int i : {0, 1, 2, 200, 469, 470}) expectAt(i, j);
  // Around the window the frame is the background's.
  TDirectDrawSurface* bg = P(*form).Picture("bg").PatternSurface(0);
  EXPECT_EQ(Shown(*form, 14, 200), bg->Pixel(14, 200));
  EXPECT_EQ(Shown(*form, 486, 200), bg->Pixel(486, 200));
  EXPECT_EQ(Shown(*form, 100, 360), bg->Pixel(100, 360));
}

TEST_P(MainWindow, SlidesComeByPositionAndCycle) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release, GetParam());
  for (int i = 0; i < 327; ++i) P(*form).DXTimer1Timer(1);
  EXPECT_EQ(P(*form).Slides.SlideIndex, 1);
  EXPECT_EQ(P(*form).Slides.SlideAlpha, 0);
  FramesUntil(*form, 1, 200);
  P(*form).DXTimer1Timer(1);
  TDirectDrawSurface* slide = P(*form).Picture("screen_features").PatternSurface(0);
  const TPixelFormat format = P(*form).DXDraw1.Surface()->Format();
  EXPECT_EQ(Shown(*form, 15 + 100, 102 + 100), OverBlack(format, slide->Pixel(99, 99), 200));
  for (int i = 0; i < 2 * 327; ++i) P(*form).DXTimer1Timer(1);
  EXPECT_EQ(P(*form).Slides.SlideIndex, 0) << "after the third slide the first comes again";
}

INSTANTIATE_TEST_SUITE_P(Formats, MainWindow,
                         ::testing::Values(pixel_formats::Xrgb8888, pixel_formats::Rgb565, pixel_formats::Rgb555,
                                           pixel_formats::Rgb888),
                         [](const auto& info) { return std::to_string(info.param.BitsPerPixel) + "bit" +
                                                       std::to_string(info.index); });

TEST(MainWindowPointer, ButtonsShowHoverAndPressedPictures) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  form->show();
  QWidget* surface = P(*form).DXDraw1Window;
  P(*form).DXTimer1Timer(1);
  EXPECT_TRUE(ShowsPicture(*form, "info_nfo1", 101, 368));
  PointTo(surface, QPoint(199, 380));
  P(*form).DXTimer1Timer(1);
  EXPECT_TRUE(ShowsPicture(*form, "info_nfo2", 101, 368)) << "x 199 is inside the nfo zone";
  EXPECT_TRUE(ShowsPicture(*form, "info_install1", 7, 368));
  QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(199, 380));
  P(*form).DXTimer1Timer(1);
  EXPECT_TRUE(ShowsPicture(*form, "info_nfo3", 101, 368));
  PointTo(surface, QPoint(7, 380));  // the install picture's first column
  P(*form).DXTimer1Timer(1);
  EXPECT_TRUE(ShowsPicture(*form, "info_install1", 7, 368));
  EXPECT_TRUE(ShowsPicture(*form, "info_nfo1", 101, 368));
  P(*form).ButtonDown = 0;
  PointTo(surface, QPoint(50, 398));  // below the picture, still the zone
  P(*form).DXTimer1Timer(1);
  EXPECT_TRUE(ShowsPicture(*form, "info_install2", 7, 368));
}

TEST(MainWindowPointer, ReleaseOverQuitEndsWhereverThePressBegan) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  form->show();
  QWidget* surface = P(*form).DXDraw1Window;
  PointTo(surface, QPoint(300, 200));
  QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(300, 200));
  PointTo(surface, QPoint(230, 385));
  EXPECT_EQ(P(*form).ButtonDown, 1);
  QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(230, 385));
  EXPECT_FALSE(form->isVisible()) << "the main window closed";
  EXPECT_EQ(P(*form).ButtonDown, 0);
}

TEST(MainWindowPointer, RightButtonActsLikeLeft) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  form->show();
  PointTo(P(*form).DXDraw1Window, QPoint(240, 390));
  QTest::mouseClick(P(*form).DXDraw1Window, Qt::RightButton, {}, QPoint(240, 390));
  EXPECT_FALSE(form->isVisible());
}

TEST(MainWindowKeys, EscapeClosesOnlyTheIdleScreen) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  form->show();
  P(*form).DXTimer1.SetEnabled(false);  // as during a dialog or a run
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(P(*form).State.CancelRequested);
  EXPECT_EQ(P(*form).State.btn_cancel, 1);
  P(*form).DXTimer1.SetEnabled(true);
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
}

TEST(MainWindowDialogs, MissingNfoIsReportedAndTheScreenGoesOn) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  TForm3 viewer;
  P(*form).Form3 = &viewer;
  form->show();
  PointTo(P(*form).DXDraw1Window, QPoint(150, 380));
  QTest::mouseClick(P(*form).DXDraw1Window, Qt::LeftButton, {}, QPoint(150, 380));
  ASSERT_EQ(CapturedBoxes().size(), 1u);
  EXPECT_EQ(CapturedBoxes()[0].Caption, "Install");
  EXPECT_EQ(CapturedBoxes()[0].Text, "Cannot open file " + release.Dir() + "release.nfo.");
  EXPECT_FALSE(viewer.isVisible());
  EXPECT_TRUE(P(*form).DXTimer1.Enabled());
  QTest::keyClick(form.get(), Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible()) << "Escape still closes the screen";
}

TEST(MainWindowDialogs, NfoViewerIsShownModallyWithTheTimerOff) {
  TReleaseFolder release;
  WriteRelease(release);
  release.WriteFile("release.nfo", "hello\r\nworld\r\n");
  auto form = StartIn(release);
  TForm3 viewer;
  P(*form).Form3 = &viewer;
  form->show();
  bool timerDuringViewer = true, shown = false;
  test_support::WhenModal([&](QWidget* modal) {
    shown = modal == &viewer;
    timerDuringViewer = P(*form).DXTimer1.Enabled();
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  PointTo(P(*form).DXDraw1Window, QPoint(150, 380));
  QTest::mouseClick(P(*form).DXDraw1Window, Qt::LeftButton, {}, QPoint(150, 380));
  EXPECT_TRUE(shown);
  EXPECT_FALSE(timerDuringViewer);
  EXPECT_TRUE(P(*form).DXTimer1.Enabled());
  EXPECT_TRUE(CapturedBoxes().empty());
}

TEST(MainWindowDialogs, CancellingTheFolderDialogInstallsNothing) {
  TReleaseFolder release;
  WriteRelease(release, "SOURCE=missing.ace\n");
  auto form = StartIn(release);
  TForm2 folders(form->TargetDir(), form->Settings().DefaultDir, [](std::string_view) { return QImage(); });
  P(*form).Form2 = &folders;
  form->show();
  P(*form).State.CancelRequested = true;
  bool dialogShown = false;
  test_support::WhenModal([&](QWidget* modal) {
    dialogShown = modal == &folders;
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  PointTo(P(*form).DXDraw1Window, QPoint(40, 380));
  QTest::mouseClick(P(*form).DXDraw1Window, Qt::LeftButton, {}, QPoint(40, 380));
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(form->TargetDir().empty());
  EXPECT_FALSE(P(*form).State.CancelRequested) << "the install click clears the request";
  EXPECT_TRUE(P(*form).DXTimer1.Enabled());
  EXPECT_TRUE(CapturedBoxes().empty()) << "no run, so no missing-archive message";
}

TEST(MainWindowTimer, ActivationStopsAndResumesTheFrames) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  ASSERT_TRUE(P(*form).DXTimer1.Attached());
  P(*form).DXTimer1Slot.OnActivationChanged(false);
  EXPECT_FALSE(P(*form).DXTimer1.Attached());
  const TSlideShow before = P(*form).Slides;
  QTest::qWait(50);
  EXPECT_EQ(P(*form).Slides.SlideAlpha, before.SlideAlpha) << "no frames while inactive";
  P(*form).DXTimer1Slot.OnActivationChanged(true);
  EXPECT_TRUE(P(*form).DXTimer1.Attached());
}

TEST(MainWindowTimer, FramesFlowFromTheEventLoop) {
  TReleaseFolder release;
  WriteRelease(release);
  auto form = StartIn(release);
  form->show();
  const int before = P(*form).DXDraw1Window->FramesShown();
  for (int i = 0; i < 500 && P(*form).Slides.SlideAlpha < 40; ++i) QTest::qWait(10);
  EXPECT_GE(P(*form).Slides.SlideAlpha, 40) << "the idle loop ticked the frame timer";
  EXPECT_GT(P(*form).DXDraw1Window->FramesShown(), before);
  EXPECT_GT(P(*form).DXDraw1Platform.VerticalBlankWaits(), 0);
}

// The main window as the extraction run's view, on Qt's offscreen platform with the
// corpus's archive sets: what the progress screen draws, the caption, Escape and
// close requests during a run, and the frame shown when a message box opens. The
// run's own logic is tested on the engine (install_engine_test).
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <csignal>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app_test_support.h"
#include "direct_draw.h"
#include "archive_builder.h"
#include "release_fixture.h"
#include "test_support.h"
#include "unit1.h"
#include "startup.h"
#include "stop_signals.h"
#include "unit1_probe.h"

namespace fs = std::filesystem;

namespace {

// What the progress screen showed each time its text was drawn.
struct TScreenLine {
  std::string Text;
  int VolumeBarWidth;
};

TForm1* gForm = nullptr;
std::vector<TScreenLine> gLines;

// How far the volume bar reaches on the back surface right now.
int MeasureBar(int originX, int originY, const char* barName) {
  TForm1Probe probe(*gForm);
  TDirectDrawSurface* back = probe.DXDraw1.Surface();
  TDirectDrawSurface* bar = probe.Picture(barName).PatternSurface(0);
  int width = 0;
  while (width < 378 && back->Pixel(originX + width, originY + 18) == bar->Pixel(width, 18) &&
         back->Pixel(originX + width, originY + 2) == bar->Pixel(width, 2))
    ++width;
  return width;
}

// Told of each line by the window's platform just before it draws the line.
void RecordLine(int, int, const std::string& text) {
  if (gForm && text.rfind("Archive [", 0) == 0) gLines.push_back({text, MeasureBar(60, 250, "progbar2")});
  else gLines.push_back({text, -1});
}

struct TRun {
  TReleaseFolder release;
  test_support::TempFolder dest;
  std::unique_ptr<TForm1> form;
  std::vector<std::string> opened;

  void Start(const std::string& flags) {
    release.WriteIni(flags);
    release.WriteSheet();
    CapturedBoxes().clear();
    TForm1Options options;
    options.ExeDir = release.Dir();
    options.SurfaceFormat = pixel_formats::Xrgb8888;
    options.ShellOpen = [this](const std::string& path) { opened.push_back(path); };
    form = std::make_unique<TForm1>(options);
    ASSERT_FALSE(form->StartupFailed());
    Probe().DXDraw1Platform.FixRefreshRate(1000);
    gForm = form.get();
    Probe().DXDraw1Platform.OnDrawText = &RecordLine;
    gLines.clear();
  }
  TForm1Probe Probe() { return TForm1Probe(*form); }
  void Install(const std::string& target) {
    form->TargetDir() = target;
    Probe().State.CancelRequested = false;
    Probe().DXTimer1.SetEnabled(false);
    form->RunInstall();
    Probe().DXTimer1.SetEnabled(true);
  }
  ~TRun() { gForm = nullptr; }
  std::vector<std::string> ArchiveLines() const {
    std::vector<std::string> out;
    for (const TScreenLine& l : gLines)
      if (l.Text.rfind("Archive [", 0) == 0) out.push_back(l.Text);
    return out;
  }
  std::vector<int> BarWidthsFor(const std::string& prefix) const {
    std::vector<int> out;
    for (const TScreenLine& l : gLines)
      if (l.Text.rfind(prefix, 0) == 0) out.push_back(l.VolumeBarWidth);
    return out;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const TMessageBoxRequest& b : CapturedBoxes()) out.push_back(b.Caption + ": " + b.Text);
    return out;
  }
};

// The corpus manifest of an archive: relative path -> md5.
std::map<std::string, std::string> Manifest(const std::string& corpusName) {
  return test_support::ReadManifest(fs::path(ACE_CORPUS_DIR) / (corpusName + ".md5"));
}

void ExpectExtracted(const fs::path& dest, const std::string& corpusName) {
  const auto manifest = Manifest(corpusName);
  ASSERT_FALSE(manifest.empty());
  std::map<std::string, std::string> found;
  for (const auto& [name, md5] : test_support::Md5OfTree(dest)) found[name] = md5;
  for (const auto& [name, md5] : manifest) EXPECT_EQ(found[name], md5) << name;
}

const std::vector<std::string> kMultiVolume = {"v1/multivolume.ace", "v1/multivolume.c00", "v1/multivolume.c01"};

}  // namespace

TEST(ExtractionRun, ThreeVolumesCountedOnTheScreen) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
  run.Probe().Slides.SlideAlpha = 100;
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.BoxTexts().empty()) << run.BoxTexts()[0];
  ExpectExtracted(run.dest.Path(), "v1/multivolume.ace");
  const auto lines = run.ArchiveLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Archive [1/3]: multivolume.ace");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Archive [2/3]: multivolume.c00"), lines.end());
  EXPECT_EQ(lines.back(), "Archive [3/3]: multivolume.c01");
  auto widths = [&](const char* prefix) {
    const auto w = run.BarWidthsFor(prefix);
    return std::set<int>(w.begin(), w.end());
  };
  EXPECT_EQ(widths("Archive [1/3]"), std::set<int>{126});
  EXPECT_EQ(widths("Archive [2/3]"), std::set<int>{252});
  EXPECT_EQ(widths("Archive [3/3]"), std::set<int>{378});
  EXPECT_EQ(run.form->windowTitle(), "multivolume.c01") << "the caption names the last volume announced";
  EXPECT_EQ(run.Probe().Slides.SlideAlpha, 0) << "the slideshow starts again";
  EXPECT_TRUE(run.opened.empty());

  // A second run starts its count again.
  test_support::TempFolder again;
  run.Install(again.Dir());
  EXPECT_EQ(run.ArchiveLines().front(), "Archive [1/3]: multivolume.ace");
}

TEST(ExtractionRun, ProgressScreenPixels) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\nNUMFILES=2\n");
  run.Install(run.dest.Dir());
  ASSERT_TRUE(run.BoxTexts().empty());
  TDirectDrawSurface* back = run.Probe().DXDraw1.Surface();
  TDirectDrawSurface* screen = run.Probe().Picture("screen_install").PatternSurface(0);
  EXPECT_EQ(back->Pixel(15 + 400, 102 + 200), screen->Pixel(400, 200)) << "the screen picture covers the slide";
  EXPECT_EQ(MeasureBar(60, 250, "progbar2"), 189) << "378 div 2";
  EXPECT_EQ(MeasureBar(60, 150, "progbar1"), 0)
      << "the entry came in one piece of 100 percent, which draws nothing: the bar stays as drawn at its start";
  auto whiteIn = [&](int top) {
    int count = 0;
    for (int y = top; y < top + 12; ++y)
      for (int x = 60; x < 300; ++x) count += back->Pixel(x, y) == back->ConvertColor(RGB(255, 255, 255));
    return count;
  };
  EXPECT_GT(whiteIn(130), 20) << "the file line";
  EXPECT_GT(whiteIn(230), 20) << "the archive line";
  EXPECT_GT(whiteIn(315), 20) << "the cancel hint";
  std::vector<std::string> texts;
  for (const TScreenLine& l : gLines) texts.push_back(l.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"File: CHANGES.LOG", "Archive [1/2]: onefile.ace", "Press 'ESC' to cancel.."}));
}

TEST(ExtractionRun, FileBarDrawsWhatFitsAndKeepsItsLastWidth) {
  TRun run;
  run.Start("NUMFILES=1\n");
  run.Probe().DXTimer1.SetEnabled(false);  // as during a run: no frames between the pieces
  TDirectDrawSurface* back = run.Probe().DXDraw1.Surface();
  back->Fill(0);
  TRunView& view = run.Probe().View();
  for (auto [width, measured] : {std::pair{188, 188}, {376, 376}, {380, 376}, {400, 376}}) {
    TPieceProgress piece;
    piece.FileBarWidth = width;
    view.ShowPiece(piece);
    if (width <= 378) {
      EXPECT_EQ(back->ErrorCode(), DD_OK);
    }
    EXPECT_EQ(MeasureBar(60, 150, "progbar1"), measured) << width << ": wider than the picture draws nothing";
  }
}

TEST(ExtractionRun, EscapeCancelsTheRunAndKeepsTheOldFile) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\nEXECUTE=CHANGES.LOG\n");
  const fs::path old = run.dest.Path() / "CHANGES.LOG";
  test_support::WriteFile(old, "old contents");
  run.Probe().Slides.SlideAlpha = 100;
  // Escape arrives with the first pumped messages of the run.
  QCoreApplication::postEvent(run.form.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.Probe().State.CancelRequested);
  EXPECT_EQ(test_support::ReadFile(old), "old contents") << "a cancelled entry leaves the old file";
  EXPECT_TRUE(run.opened.empty()) << "no post-install actions after a cancel";
  EXPECT_EQ(run.Probe().Slides.SlideAlpha, 0);
  EXPECT_TRUE(run.BoxTexts().empty());
}

TEST(ExtractionRun, ButtonsDoNothingDuringARunAndCloseWaitsForIt) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
  run.form->show();
  // A click on "quit" and a close request, both arriving while the run pumps messages.
  QCoreApplication::postEvent(run.Probe().DXDraw1Window,
                              new QMouseEvent(QEvent::MouseMove, QPointF(230, 385), QPointF(230, 385), Qt::NoButton,
                                              Qt::NoButton, Qt::NoModifier));
  QCoreApplication::postEvent(run.Probe().DXDraw1Window,
                              new QMouseEvent(QEvent::MouseButtonRelease, QPointF(230, 385), QPointF(230, 385),
                                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  run.form->TargetDir() = run.dest.Dir();
  run.Probe().DXTimer1.SetEnabled(false);
  run.form->RunInstall();
  EXPECT_TRUE(run.form->isVisible()) << "the quit click did nothing during the run";
  ExpectExtracted(run.dest.Path(), "v1/multivolume.ace");

  test_support::TempFolder second;
  run.form->TargetDir() = second.Dir();
  QCoreApplication::postEvent(run.form.get(), new QCloseEvent());
  run.form->RunInstall();
  EXPECT_TRUE(run.Probe().State.CancelRequested) << "the close request cancelled the run";
  EXPECT_LT(test_support::Md5OfTree(second.Path()).size(), Manifest("v1/multivolume.ace").size());
}

TEST(ExtractionRun, AMessageBoxOpensOverTheLastDrawnFrame) {
  TRun run;
  std::vector<acetest::TestEntry> entries(2);
  entries[0].name = "first.txt";
  entries[0].data = std::string(5000, 'f');
  entries[1].name = "broken.bin";
  entries[1].data = std::string(5000, 'b');
  entries[1].useCrcOverride = true;
  run.release.WriteFile("rel.ace", acetest::BuildArchive(entries));
  run.Start("SOURCE=rel.ace\n");
  // A slow refresh: the second entry's present falls in the refresh that showed the
  // first one's, so it waits for the refresh's end, which the box must not outrun.
  run.Probe().DXDraw1Platform.FixRefreshRate(20);
  run.form->show();
  bool sameFrame = false;
  SetMessageBoxHook([&](const TMessageBoxRequest& box) {
    CapturedBoxes().push_back(box);
    TDirectDrawSurface* back = run.Probe().DXDraw1.Surface();
    const QImage& shown = run.Probe().DXDraw1Window->Frame();
    sameFrame = shown.width() == back->Width();
    for (int y = 0; sameFrame && y < back->Height(); ++y)
      for (int x = 0; sameFrame && x < back->Width(); ++x)
        sameFrame = (shown.pixel(x, y) & 0xFFFFFF) == (back->Pixel(x, y) & 0xFFFFFF);
  });
  run.Install(run.dest.Dir());
  SetMessageBoxHook([](const TMessageBoxRequest& box) { CapturedBoxes().push_back(box); });
  EXPECT_EQ(run.BoxTexts(), std::vector<std::string>{"Error: CRC error"});
  EXPECT_TRUE(sameFrame) << "the window showed an older frame than the one drawn last";
}

TEST(ExtractionRun, StopSignalCancelsTheRunThenClosesTheWindow) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\nEXECUTE=CHANGES.LOG\n");
  const auto manifest = Manifest("v1/multivolume.ace");
  for (const auto& [name, md5] : manifest) {
    fs::create_directories((run.dest.Path() / name).parent_path());
    test_support::WriteFile(run.dest.Path() / name, "old");
  }
  run.form->show();
  CatchStopSignals();
  CloseWindowsOnStopSignals(run.form.get());
  // A real SIGTERM to this process, sent from the run's first pass through the events.
  QTimer::singleShot(0, [] { ::kill(::getpid(), SIGTERM); });
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.Probe().State.CancelRequested);
  EXPECT_FALSE(run.form->isVisible()) << "the window closed once the run had ended";
  EXPECT_TRUE(run.opened.empty()) << "no post-install actions after a stop";
  std::size_t old = 0;
  for (const auto& [name, md5] : manifest) {
    const std::string now = test_support::ReadFile(run.dest.Path() / name);
    old += now == "old";
    if (now != "old") {
      EXPECT_EQ(test_support::Md5Hex(now), md5) << name << ": either the old file or the whole new one";
    }
  }
  EXPECT_GT(old, 0u) << "the run stopped before its end";
}

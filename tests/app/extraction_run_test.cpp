// The extraction run driven through the main window on Qt's offscreen platform,
// with the corpus's archive sets: the progress screen, the volume counter, the
// messages, cancelling, and the post-install actions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "app_test_support.h"
#include "direct_draw.h"
#include "release_fixture.h"
#include "test_support.h"
#include "unit1.h"

namespace fs = std::filesystem;

namespace {

// What the progress screen showed each time its text was drawn.
struct TScreenLine {
  std::string Text;
  int VolumeBarWidth;
};

TForm1* gForm = nullptr;
TTextRenderer gQtRenderer = nullptr;
std::vector<TScreenLine> gLines;

// How far the volume bar reaches on the back surface right now.
int MeasureBar(int originX, int originY, const char* barName) {
  TDirectDrawSurface* back = gForm->DXDraw1.Surface();
  TDirectDrawSurface* bar = gForm->Picture(barName).PatternSurface(0);
  int width = 0;
  while (width < 378 && back->Pixel(originX + width, originY + 18) == bar->Pixel(width, 18) &&
         back->Pixel(originX + width, originY + 2) == bar->Pixel(width, 2))
    ++width;
  return width;
}

void RecordingRenderer(const TCanvasTarget& target, const TCanvasFont& font, int x, int y, const std::string& text) {
  if (gForm && text.rfind("Archive [", 0) == 0) gLines.push_back({text, MeasureBar(60, 250, "progbar2")});
  else gLines.push_back({text, -1});
  if (gQtRenderer) gQtRenderer(target, font, x, y, text);
}

struct TRun {
  TReleaseFolder release;
  TTempFolder dest;
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
    ASSERT_FALSE(form->StartupFailed);
    form->DXDraw1Platform.FixRefreshRate(1000);
    gForm = form.get();
    if (!gQtRenderer) gQtRenderer = CanvasTextRenderer();
    SetCanvasTextRenderer(&RecordingRenderer);
    gLines.clear();
  }
  void Install(const std::string& target) {
    form->TargetDir = target;
    form->CancelRequested = false;
    form->DXTimer1.SetEnabled(false);
    form->RunInstall();
    form->DXTimer1.SetEnabled(true);
  }
  ~TRun() {
    SetCanvasTextRenderer(gQtRenderer);
    gForm = nullptr;
  }
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
  std::ifstream in(fs::path(ACE_CORPUS_DIR) / (corpusName + ".md5"));
  std::map<std::string, std::string> out;
  std::string md5, name;
  while (in >> md5 >> name) {
    if (!name.empty() && name[0] == '*') name.erase(0, 1);
    out[name] = md5;
  }
  return out;
}

void ExpectExtracted(const fs::path& dest, const std::string& corpusName) {
  const auto manifest = Manifest(corpusName);
  ASSERT_FALSE(manifest.empty());
  std::map<std::string, std::string> found;
  for (const auto& [name, md5] : acetest::ListFiles(dest)) found[name] = md5;
  for (const auto& [name, md5] : manifest) EXPECT_EQ(found[name], md5) << name;
}

const std::vector<std::string> kMultiVolume = {"v1/multivolume.ace", "v1/multivolume.c00", "v1/multivolume.c01"};

}  // namespace

TEST(ExtractionRun, ThreeVolumesCountedOnTheScreen) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
  run.form->Slides.SlideAlpha = 100;
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
  EXPECT_EQ(run.form->ProgressBar2.Position, 2);
  EXPECT_EQ(run.form->windowTitle(), "multivolume.c01") << "the caption names the last volume announced";
  EXPECT_EQ(run.form->TargetDir, run.dest.Dir());
  EXPECT_EQ(run.form->Slides.SlideAlpha, 0) << "the slideshow starts again";
  EXPECT_TRUE(run.opened.empty());

  // A second run starts its count again.
  TTempFolder again;
  run.Install(again.Dir());
  EXPECT_EQ(run.ArchiveLines().front(), "Archive [1/3]: multivolume.ace");
}

TEST(ExtractionRun, VolumeBarFollowsNumFiles) {
  {
    TRun run;
    run.release.CopyFromCorpus(kMultiVolume);
    run.Start("SOURCE=multivolume.ace\nNUMFILES=400\n");
    run.Install(run.dest.Dir());
    for (int w : run.BarWidthsFor("Archive [")) EXPECT_EQ(w, 0) << "378 div 400 is 0";
    EXPECT_EQ(run.ArchiveLines().back().substr(0, 15), "Archive [3/400]");
  }
  {
    TRun run;
    run.release.CopyFromCorpus(kMultiVolume);
    run.Start("SOURCE=multivolume.ace\nNUMFILES=1\n");
    run.Install(run.dest.Dir());
    const auto lines = run.ArchiveLines();
    EXPECT_EQ(lines.back(), "Archive [3/1]: multivolume.c01");
    for (int w : run.BarWidthsFor("Archive [1/1]")) EXPECT_EQ(w, 378);
    for (int w : run.BarWidthsFor("Archive [2/1]")) EXPECT_EQ(w, 0) << "756 pixels do not fit: nothing is drawn";
  }
}

TEST(ExtractionRun, ProgressScreenPixels) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\nNUMFILES=2\n");
  run.Install(run.dest.Dir());
  ASSERT_TRUE(run.BoxTexts().empty());
  TDirectDrawSurface* back = run.form->DXDraw1.Surface();
  TDirectDrawSurface* screen = run.form->Picture("screen_install").PatternSurface(0);
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

TEST(ExtractionRun, FileBarFollowsThePieces) {
  TRun run;
  run.Start("NUMFILES=1\n");
  run.form->DXTimer1.SetEnabled(false);  // as during a run: no frames between the pieces
  TDirectDrawSurface* back = run.form->DXDraw1.Surface();
  back->Fill(0);
  run.form->FileSize = 1000;
  run.form->FilePercent = 0;
  EXPECT_EQ(run.form->OnProcessData(nullptr, 470), 1);
  EXPECT_EQ(run.form->ProgressBar1, 47);
  EXPECT_EQ(back->ErrorCode(), DD_OK);
  EXPECT_EQ(MeasureBar(60, 150, "progbar1"), 188);
  run.form->OnProcessData(nullptr, 470);  // 94 percent
  EXPECT_EQ(MeasureBar(60, 150, "progbar1"), 376);
  run.form->OnProcessData(nullptr, 5);  // 94.5 rounds to the even 94
  EXPECT_EQ(run.form->ProgressBar1, 94);
  run.form->OnProcessData(nullptr, 55);  // 100 percent: too wide, nothing drawn
  EXPECT_EQ(run.form->ProgressBar1, 100);
  EXPECT_EQ(MeasureBar(60, 150, "progbar1"), 376) << "the bar keeps the width last drawn";
  run.form->btn_cancel = 1;
  EXPECT_EQ(run.form->OnProcessData(nullptr, 1), 0) << "a cancel request stops the entry";
}

TEST(ExtractionRun, TargetFolderIsCreatedAndGetsItsSeparator) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\n");
  const std::string target = run.dest.Dir() + "games/new release";
  run.Install(target);
  EXPECT_EQ(run.form->TargetDir, target + "/");
  EXPECT_TRUE(fs::is_regular_file(target + "/CHANGES.LOG"));
}

TEST(ExtractionRun, FixedMessages) {
  {
    TRun run;
    run.Start("SOURCE=nothing.ace\n");
    run.form->Slides.SlideAlpha = 100;
    run.Install(run.dest.Dir());
    EXPECT_EQ(run.BoxTexts(), std::vector<std::string>{"Error: Can't find file to extract.\rProcess stopped..."});
    EXPECT_EQ(run.form->Slides.SlideAlpha, 0);
  }
  {
    TRun run;
    run.release.CopyFromCorpus({"v1/onefile.ace"});
    run.Start("SOURCE=onefile.ace\n");
    run.release.WriteFile("plain-file", "x");
    run.Install(run.release.Dir() + "plain-file/sub");
    EXPECT_EQ(run.BoxTexts(), std::vector<std::string>{"Error: Can't find directory to extract.\rProcess stopped..."});
  }
  {
    TRun run;
    run.release.CopyFromCorpus({"v1/multivolume.ace", "v1/multivolume.c00"});
    run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
    run.Install(run.dest.Dir());
    EXPECT_EQ(run.BoxTexts(),
              std::vector<std::string>{"Error: Can't find file " + run.release.Dir() + "multivolume.c01.\rProcess stopped..."})
        << "the failed call that follows has no text of its own";
  }
}

TEST(ExtractionRun, OpenRefusedReportsAndLeavesTheSlideshow) {
  TRun run;
  run.release.WriteFile("notace.ace", std::string(200, 'x'));
  run.Start("SOURCE=notace.ace\n");
  run.form->Slides.SlideAlpha = 100;
  run.Install(run.dest.Dir());
  EXPECT_EQ(run.BoxTexts(), std::vector<std::string>{"Error: " + run.release.Dir() + "notace.ace is not ACE archive"});
  EXPECT_EQ(run.form->Slides.SlideAlpha, 100) << "no reset when the open is refused";
}

TEST(ExtractionRun, CrcErrorThenPostInstallActions) {
  TRun run;
  std::vector<acetest::TestEntry> entries(2);
  entries[0].name = "setup.txt";
  entries[0].data = "run me";
  entries[1].name = "broken.bin";
  entries[1].data = std::string(1000, 'b');
  entries[1].useCrcOverride = true;
  entries[1].crcOverride = 0x12345678;
  run.release.WriteFile("rel.ace", acetest::BuildArchive(entries));
  run.release.WriteFile("keys.reg", "registration");
  run.Start("SOURCE=rel.ace\nEXECUTE=setup.txt\nREGFILE1=keys.reg\nREGFILE2=absent.reg\n");
  run.Install(run.dest.Dir());
  EXPECT_EQ(run.BoxTexts(), std::vector<std::string>{"Error: CRC error"});
  EXPECT_FALSE(fs::exists(run.dest.Path() / "broken.bin")) << "a damaged entry leaves no file";
  EXPECT_EQ(run.opened, (std::vector<std::string>{run.dest.Dir() + "setup.txt", run.dest.Dir() + "keys.reg",
                                                  run.dest.Dir() + "absent.reg"}))
      << "a missing REGFILE2 is still opened at its destination path";
  EXPECT_EQ(acetest::ReadFile(run.dest.Path() / "keys.reg"), "registration");
}

TEST(ExtractionRun, ExecuteThatWasNotExtractedOpensNothing) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\nEXECUTE=readme.exe\n");
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.opened.empty());
}

TEST(ExtractionRun, EmptyEntryThatFailsIsPassedOver) {
  TRun run;
  std::vector<acetest::TestEntry> entries(2);
  entries[0].name = "..\\outside.txt";  // refused, and empty
  entries[1].name = "inside.txt";
  entries[1].data = "kept";
  run.release.WriteFile("rel.ace", acetest::BuildArchive(entries));
  run.Start("SOURCE=rel.ace\n");
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.BoxTexts().empty());
  EXPECT_EQ(acetest::ReadFile(run.dest.Path() / "inside.txt"), "kept");
  EXPECT_FALSE(fs::exists(run.dest.Path().parent_path() / "outside.txt"));
}

TEST(ExtractionRun, ReadOnlyOldFileIsReplaced) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\n");
  const fs::path old = run.dest.Path() / "CHANGES.LOG";
  acetest::WriteFile(old, "old contents");
  fs::permissions(old, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.BoxTexts().empty());
  EXPECT_EQ(acetest::ReadFile(old).size(), 38729u);
}

TEST(ExtractionRun, EscapeCancelsTheRunAndKeepsTheOldFile) {
  TRun run;
  run.release.CopyFromCorpus({"v1/onefile.ace"});
  run.Start("SOURCE=onefile.ace\nEXECUTE=CHANGES.LOG\n");
  const fs::path old = run.dest.Path() / "CHANGES.LOG";
  acetest::WriteFile(old, "old contents");
  run.form->Slides.SlideAlpha = 100;
  // Escape arrives with the first pumped messages of the run.
  QCoreApplication::postEvent(run.form.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.form->CancelRequested);
  EXPECT_EQ(acetest::ReadFile(old), "old contents") << "a cancelled entry leaves the old file";
  EXPECT_TRUE(run.opened.empty()) << "no post-install actions after a cancel";
  EXPECT_EQ(run.form->Slides.SlideAlpha, 0);
  EXPECT_TRUE(run.BoxTexts().empty());
}

TEST(ExtractionRun, ButtonsDoNothingDuringARunAndCloseWaitsForIt) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
  run.form->show();
  // A click on "quit" and a close request, both arriving while the run pumps messages.
  QCoreApplication::postEvent(run.form->DXDraw1Window,
                              new QMouseEvent(QEvent::MouseMove, QPointF(230, 385), QPointF(230, 385), Qt::NoButton,
                                              Qt::NoButton, Qt::NoModifier));
  QCoreApplication::postEvent(run.form->DXDraw1Window,
                              new QMouseEvent(QEvent::MouseButtonRelease, QPointF(230, 385), QPointF(230, 385),
                                              Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  run.form->TargetDir = run.dest.Dir();
  run.form->DXTimer1.SetEnabled(false);
  run.form->RunInstall();
  EXPECT_TRUE(run.form->isVisible()) << "the quit click did nothing during the run";
  ExpectExtracted(run.dest.Path(), "v1/multivolume.ace");

  TTempFolder second;
  run.form->TargetDir = second.Dir();
  QCoreApplication::postEvent(run.form.get(), new QCloseEvent());
  run.form->RunInstall();
  EXPECT_TRUE(run.form->CancelRequested) << "the close request cancelled the run";
  EXPECT_LT(acetest::ListFiles(second.Path()).size(), Manifest("v1/multivolume.ace").size());
}

TEST(ExtractionRun, DiskFullOnARealSmallFileSystem) {
  TRun run;
  run.release.CopyFromCorpus(kMultiVolume);
  run.Start("SOURCE=multivolume.ace\nNUMFILES=3\n");
  // A 128 KiB file system: the set's 306 KB entry cannot fit.
  const std::string mountPoint = run.dest.Dir() + "small";
  fs::create_directories(mountPoint);
  const std::string mount = "mount -t tmpfs -o size=128k tmpfs '" + mountPoint + "' 2>/dev/null";
  if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  run.Install(mountPoint);
  const auto boxes = run.BoxTexts();
  std::system(("umount '" + mountPoint + "'").c_str());
  EXPECT_EQ(boxes, std::vector<std::string>{"Error: Write error: disk is full"});
}

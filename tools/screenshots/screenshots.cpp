// Takes the documentation's screenshots from a release folder:
//
//   screenshots RELEASE_DIR OUT_DIR
//
// main-screen.png (a slide half faded in, the pointer on "READ NFO"),
// folder-dialog.png, nfo-viewer.png and progress-screen.png (in the middle of an
// extraction run into a temporary folder). Run it on a real display or under Xvfb;
// each picture is what the window system shows of the window.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "message_boxes.h"
#include "picture_images.h"
#include "unit1.h"
#include "unit1_probe.h"
#include "unit2.h"
#include "unit3.h"

namespace {

void Settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& window, const QString& path) {
  QPixmap shot;
  if (QScreen* screen = window.screen()) shot = screen->grabWindow(window.winId());
  if (shot.isNull() || shot.toImage().allGray()) shot = window.grab();
  const bool ok = shot.save(path);
  std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshots RELEASE_DIR OUT_DIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Install");
  SetMessageBoxHook([](const TMessageBoxRequest& box) {
    std::fprintf(stderr, "%s: %s\n", box.Caption.c_str(), box.Text.c_str());
  });
  const QString out = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(out);

  TForm1Options options;
  options.ExeDir = argv[1];
  options.ShellOpen = [](const std::string&) {};
  TForm1 form1(options);
  if (form1.StartupFailed()) return 1;
  TForm2 form2(form1.TargetDir(), form1.Settings().DefaultDir,
               [](std::string_view name) { return EmbeddedImage(name); });
  TForm3 form3;
  form3.setWindowIcon(MainWindowIcon());
  form1.SetDialogs(&form2, &form3);
  TForm1Probe probe(form1);
  form1.move(40, 40);
  form1.show();
  Settle(300);

  // The main screen: frames until the first slide is half faded in, nfo under the pointer.
  probe.DXTimer1.SetEnabled(false);
  probe.DXDraw1MouseMove(150, 380);
  while (!(probe.Slides.SlideIndex == 0 && probe.Slides.SlideAlpha == 128)) probe.DXTimer1Timer(1);
  probe.DXTimer1Timer(1);
  Settle(200);
  bool ok = Save(form1, out + "/main-screen.png");

  // The folder dialog as the install button shows it: modally, taken from a timer.
  QTimer::singleShot(600, [&] {
    ok &= Save(form2, out + "/folder-dialog.png");
    form2.close();
  });
  form2.ShowModal();

  // The NFO viewer with the release's NFO.
  try {
    form3.LoadFromFile(form1.Settings().NfoFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  QTimer::singleShot(600, [&] {
    ok &= Save(form3, out + "/nfo-viewer.png");
    form3.close();
  });
  form3.ShowModal();

  // The progress screen in the middle of a run: the shot is taken from a timer, which
  // fires while the run processes its messages.
  const std::filesystem::path dest = std::filesystem::temp_directory_path() / "installer-screenshot-run";
  std::filesystem::remove_all(dest);
  bool taken = false;
  const int framesBefore = probe.DXDraw1Window->FramesShown();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    // A few pieces into the run, so that both bars and the lines show.
    if (taken || probe.DXDraw1Window->FramesShown() < framesBefore + 12) return;
    taken = true;
    ok &= Save(form1, out + "/progress-screen.png");
  });
  poll.start(1);
  form1.TargetDir() = dest.string();
  form1.RunInstall();
  std::filesystem::remove_all(dest);
  if (!taken) std::fprintf(stderr, "the run ended before the progress screen could be taken\n");
  return ok && taken ? 0 : 1;
}

// Saves pictures of the dialogs as a user sees them: the folder dialog, its New
// folder prompt, the warning box and the NFO viewer. Run under a real X server
// (e.g. xvfb-run) with the output folder as the argument.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "message_boxes.h"
#include "unit2.h"
#include "unit3.h"

namespace {

// Stand-ins for the embedded art: simple drawn folders and drives on a see-through
// magenta ground.
QImage Picture(std::string_view name) {
  const bool folder = name.find("FOLDER") != std::string_view::npos;
  QImage image(16, folder ? 15 : 11, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  QPainter p(&image);
  p.setPen(Qt::black);
  if (folder) {
    const QColor body = name == "CURRENTFOLDER" ? QColor(255, 224, 96) : QColor(224, 192, 64);
    p.setBrush(body);
    p.drawRect(1, 3, 13, 10);
    p.drawRect(1, 1, 5, 2);
    if (name == "OPENFOLDER") {
      p.setBrush(QColor(255, 240, 160));
      p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
    }
  } else {
    QColor stripe = Qt::darkGray;
    if (name == "FLOPPY") stripe = Qt::darkBlue;
    if (name == "NETWORK") stripe = Qt::darkGreen;
    if (name == "CDROM") stripe = Qt::darkCyan;
    if (name == "RAM") stripe = Qt::darkRed;
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(0, 2, 15, 7);
    p.fillRect(2, 4, 6, 3, stripe);
    p.fillRect(12, 5, 2, 2, Qt::green);
  }
  return image;
}

void Save(QWidget* w, const QString& folder, const char* name) {
  const QString file = folder + '/' + name;
  if (!w->grab().save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
  else std::printf("%s\n", qPrintable(file));
}

// Runs `action` on the next modal window other than `except`, once it is up.
void OnModal(QWidget* except, std::function<void(QWidget*)> action) {
  QTimer::singleShot(50, [=] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || w == except || !w->isVisible()) {
      OnModal(except, action);
      return;
    }
    QApplication::processEvents();
    action(w);
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Install");
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
  QDir().mkpath(out);

  // A small release tree to browse.
  std::string pattern = (std::filesystem::temp_directory_path() / "dialogs-shots-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const std::filesystem::path root = pattern;
  for (const char* f : {"Games/Release/data", "Games/Release/music", "Games/Release/Manual",
                        "Games/Release/saves", "Games/Release/.cache", "Games/Tools"}) {
    std::filesystem::create_directories(root / f);
  }
  const std::string saved = std::filesystem::current_path().string();
  std::filesystem::current_path(root / "Games" / "Release");

  std::string target;
  TForm2 form2(target, "untitled", Picture);
  OnModal(nullptr, [&](QWidget* w) {
    Save(w, out, "form2.png");
    // "New folder": the prompt, then the dialog inside the new folder.
    OnModal(w, [&](QWidget* prompt) {
      Save(prompt, out, "new-folder-prompt.png");
      prompt->close();
    });
    form2.findChild<QToolButton*>("SpeedButton3")->click();
    QApplication::processEvents();
    Save(w, out, "form2-new-folder.png");
    w->close();
  });
  form2.ShowModal();

  OnModal(nullptr, [&](QWidget* w) {
    Save(w, out, "warning-box.png");
    w->close();
  });
  ShowWarningBox("Cannot create directory");

  // The viewer with a piece of DOS art.
  std::string nfo;
  nfo += "\xC9";
  nfo += std::string(40, '\xCD');
  nfo += "\xBB\r\n\xBA   \xB0\xB1\xB2\xDB THE RELEASE \xDB\xB2\xB1\xB0";
  nfo += std::string(40 - 3 - 4 - 13 - 4, ' ');
  nfo += "\xBA\r\n\xC8";
  nfo += std::string(40, '\xCD');
  nfo += "\xBC\n\n \x01 Greetings \x03 to all \x0E \x10 caf\x82 na\xA8ve? \xE0\xE1\xE3\xEA\r\n";
  nfo += "\xDA\xC4\xC4\xC2\xC4\xC4\xBF\r\n\xB3  \xB3  \xB3\r\n\xC3\xC4\xC4\xC5\xC4\xC4\xB4\r\n";
  nfo += "\xC0\xC4\xC4\xC1\xC4\xC4\xD9\r\n";
  for (int i = 0; i < 3; ++i) nfo += "\xDB\xDB\xDB\xDB\xDC\xDC\xDC\xDC\xDF\xDF\xDF\xDF\xDD\xDE\r\n";
  const std::string nfoPath = (root / "release.nfo").string();
  std::ofstream(nfoPath, std::ios::binary) << nfo;
  TForm3 form3;
  form3.LoadFromFile(nfoPath);
  OnModal(nullptr, [&](QWidget* w) {
    Save(w, out, "form3.png");
    w->close();
  });
  form3.ShowModal();

  std::filesystem::current_path(saved);
  std::filesystem::remove_all(root);
  return 0;
}

// artgen: paints the installer's pictures.
//
//   artgen --stored DIR    the embedded pictures, one stored record per file (NAME.tdib)
//   artgen --demo DIR      the demo release pictures as PNG files
//   artgen --preview DIR   PNG previews of everything, and a composed main screen
#include "main_window_art.h"
#include "demo_art.h"
#include "previews.h"
#include "small_pictures.h"

#include <QFile>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: artgen --stored DIR | --demo DIR | --preview DIR\n");
  return 2;
}

void WriteFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()))
    throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string mode = argv[1];
  if (mode != "--stored" && mode != "--demo" && mode != "--preview") return Usage();
  QGuiApplication app(argc, argv);
  const QString dir = QString::fromLocal8Bit(argv[2]);
  try {
    if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create " + dir.toStdString());
    if (mode == "--stored") {
      std::vector<artgen::IndexedPicture> all = artgen::PaintMainWindowPictures();
      all.push_back(artgen::PaintMainIcon());
      for (artgen::IndexedPicture& p : artgen::PaintDialogPictures()) all.push_back(std::move(p));
      for (const artgen::IndexedPicture& p : all)
        WriteFile(dir + "/" + QString::fromStdString(p.name) + ".tdib", artgen::StoredForm(p));
    } else if (mode == "--demo") {
      for (const auto& [name, image] : artgen::PaintDemoPictures())
        if (!image.save(dir + "/" + name + ".png", "PNG"))
          throw std::runtime_error("cannot write " + (dir + "/" + name + ".png").toStdString());
    } else if (mode == "--preview") {
      artgen::WritePreviews(dir);
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "artgen: %s\n", e.what());
    return 1;
  }
  return 0;
}

#include "previews.h"

#include "demo_art.h"
#include "fonts.h"
#include "main_window_art.h"
#include "small_pictures.h"
#include "stored_picture.h"

#include <QPainter>

#include <map>
#include <stdexcept>

namespace artgen {
namespace {

void Save(const QImage& image, const QString& path) {
  if (!image.save(path, "PNG")) throw std::runtime_error("cannot write " + path.toStdString());
}

QImage Magnify(const QImage& image, int factor) {
  return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                      Qt::FastTransformation);
}

}  // namespace

void WritePreviews(const QString& dir) {
  std::map<std::string, QImage> pictures;
  for (const IndexedPicture& p : PaintMainWindowPictures()) pictures[p.name] = ToImage(p);

  // The main screen as the frame handler draws it: "install" normal, "nfo" under
  // the pointer, "quit" held down.
  QImage screen(502, 402, QImage::Format_RGB32);
  screen.fill(Qt::black);
  {
    QPainter p(&screen);
    p.drawImage(0, 0, pictures["bg"]);
    p.drawImage(kInstallButton.topLeft(), pictures["info_install1"]);
    p.drawImage(kNfoButton.topLeft(), pictures["info_nfo2"]);
    p.drawImage(kQuitButton.topLeft(), pictures["info_quit3"]);
  }
  Save(screen, dir + "/main_screen_empty.png");

  std::map<QString, QImage> demo;
  for (const auto& [name, image] : PaintDemoPictures()) demo[name] = image;

  // Each slide at the peak of its fade, as the blend shows it over the black window:
  // every channel scaled by 252/256.
  auto peak = [](QImage slide) {
    slide = slide.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < slide.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(slide.scanLine(y));
      for (int x = 0; x < slide.width(); ++x)
        line[x] = qRgb(qRed(line[x]) * 252 >> 8, qGreen(line[x]) * 252 >> 8, qBlue(line[x]) * 252 >> 8);
    }
    return slide;
  };
  const char* slides[] = {"screen_default", "screen_features", "screen_screenshots"};
  for (const char* name : slides) {
    QImage shown = screen;
    QPainter p(&shown);
    p.drawImage(kSlideWindow.topLeft(), peak(demo[name]));
    p.end();
    Save(shown, dir + "/main_screen_" + name + ".png");
  }

  // The progress screen half-way: the picture, both bars partly filled, the lines of
  // text in white at their places.
  QImage progress = screen;
  {
    QPainter p(&progress);
    p.drawImage(kSlideWindow.topLeft(), demo["screen_install"]);
    p.drawImage(60, 150, demo["progbar1"].copy(0, 0, 4 * 57, 36));
    p.drawImage(60, 250, demo["progbar2"].copy(0, 0, (378 / 3) * 2, 36));
    QFont font = SansFont(11, false);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(60, 130 + 11, "File: harbour\\data\\charts.pak");
    p.drawText(60, 230 + 11, "Archive [2/3]: lantern.c00");
    p.drawText(60, 315 + 11, "Press 'ESC' to cancel..");
  }
  Save(progress, dir + "/progress_screen.png");
  Save(Magnify(demo["progbar1"].copy(0, 0, 120, 36), 4), dir + "/progbar_zoom.png");
  Save(Magnify(screen.copy(0, 0, 250, 110), 3), dir + "/title_zoom.png");
  Save(Magnify(screen.copy(0, 340, 280, 62), 4), dir + "/buttons_zoom.png");

  // Every button state side by side, and the labels, magnified.
  QImage states(3 * 110, 3 * 33 + 2 * 14 + 30, QImage::Format_RGB32);
  states.fill(qRgb(40, 40, 40));
  {
    QPainter p(&states);
    const char* stems[] = {"info_install", "info_nfo", "info_quit"};
    for (int b = 0; b < 3; ++b)
      for (int s = 1; s <= 3; ++s)
        p.drawImage((s - 1) * 110 + 2, b * 33 + 2, pictures[std::string(stems[b]) + std::to_string(s)]);
    for (int s = 1; s <= 3; ++s) {
      p.drawImage((s - 1) * 110 + 2, 3 * 33 + 4, pictures["info_features" + std::to_string(s)]);
      p.drawImage((s - 1) * 110 + 2, 3 * 33 + 18, pictures["info_screenshot" + std::to_string(s)]);
    }
  }
  Save(Magnify(states, 3), dir + "/button_states.png");
  Save(Magnify(pictures["tarnwell"], 2), dir + "/tarnwell.png");

  // The small pictures at eight times their size, on the dialog's white and on grey.
  const std::vector<IndexedPicture> small = PaintDialogPictures();
  const IndexedPicture icon = PaintMainIcon();
  QImage sheet(8 * 20 + 36, 2 * 17 + 4, QImage::Format_RGB32);
  sheet.fill(qRgb(255, 255, 255));
  {
    QPainter p(&sheet);
    p.fillRect(0, 17, sheet.width(), 21, qRgb(192, 192, 192));
    for (std::size_t i = 0; i < small.size(); ++i) {
      const QImage image = ToImage(small[i]);
      p.drawImage(static_cast<int>(i) * 20 + 2, 1, image);
      QImage keyed = image.convertToFormat(QImage::Format_ARGB32);
      for (int y = 0; y < keyed.height(); ++y)
        for (int x = 0; x < keyed.width(); ++x)
          if (small[i].At(x, y) == kSmallBackground) keyed.setPixel(x, y, qRgba(0, 0, 0, 0));
      p.drawImage(static_cast<int>(i) * 20 + 2, 20, keyed);
    }
    p.drawImage(8 * 20 + 2, 3, ToImage(icon));
  }
  Save(Magnify(sheet, 6), dir + "/small_pictures.png");
}

}  // namespace artgen

#include "sheet.h"

#include "jpeg_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>

namespace mksheet {
namespace {

constexpr int kQuality = 92;

std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

QImage ComposeSheet(const std::array<QImage, 6>& pictures, std::string& error) {
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    const Region& r = kRegions[i];
    if (pictures[i].width() != r.width || pictures[i].height() != r.height) {
      error = std::string(r.name) + " is " + Size(pictures[i].width(), pictures[i].height()) +
              " pixels; it must be exactly " + Size(r.width, r.height);
      return {};
    }
  }
  QImage sheet(kSheetWidth, kSheetHeight, QImage::Format_RGB888);
  sheet.fill(Qt::black);
  QPainter painter(&sheet);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    // A picture with transparency shows black where it is clear, like the sheet.
    painter.fillRect(0, kRegions[i].top, kRegions[i].width, kRegions[i].height, Qt::black);
    painter.drawImage(0, kRegions[i].top, pictures[i]);
  }
  painter.end();
  return sheet;
}

QImage ReadPicture(const QString& path, const Region& region, std::string& error) {
  QImageReader reader(path);
  QImage image = reader.read();
  if (image.isNull()) {
    error = "cannot read " + path.toStdString() + " (for " + region.name + "): " +
            reader.errorString().toStdString() + "; give a PNG, BMP, JPEG or GIF picture";
  }
  return image;
}

int Run(const std::vector<QString>& arguments, std::ostream& err) {
  if (arguments.size() != 1 + kRegions.size()) {
    err << "usage: mksheet OUT screen_default screen_features screen_screenshots screen_install"
           " progbar1 progbar2\n"
        << "mksheet: expected the output file and 6 pictures, got " << arguments.size() << " argument"
        << (arguments.size() == 1 ? "" : "s") << "\n";
    return 2;
  }
  std::array<QImage, 6> pictures;
  for (std::size_t i = 0; i < kRegions.size(); ++i) {
    std::string error;
    pictures[i] = ReadPicture(arguments[i + 1], kRegions[i], error);
    if (pictures[i].isNull()) {
      err << "mksheet: " << error << "\n";
      return 1;
    }
  }
  std::string error;
  const QImage sheet = ComposeSheet(pictures, error);
  if (sheet.isNull()) {
    err << "mksheet: " << error << " (" << kRegions.size() << " pictures: four slides of 471x258, then"
        << " two bars of 378x36)\n";
    return 1;
  }
  std::vector<std::uint8_t> jpeg;
  if (!EncodeJpeg(sheet, kQuality, jpeg, error)) {
    err << "mksheet: the JPEG encoder failed: " << error << "\n";
    return 1;
  }
  // QSaveFile writes a temporary file beside the target and renames it on commit;
  // on any failure the temporary file is removed and the target is left untouched.
  const QString out = arguments[0];
  QSaveFile file(out);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<qint64>(jpeg.size())) !=
          static_cast<qint64>(jpeg.size()) ||
      !file.commit()) {
    err << "mksheet: cannot write " << out.toStdString() << ": " << file.errorString().toStdString() << "\n";
    file.cancelWriting();
    return 1;
  }
  return 0;
}

}  // namespace mksheet

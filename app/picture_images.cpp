#include "picture_images.h"

#include "embedded_pictures.h"

QImage ImageFromPicture(const TPicture& picture) {
  const int w = picture.Width(), h = picture.Height();
  if (picture.Empty() || w <= 0 || h <= 0) return {};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor c = picture.PixelColor(x, y);
      image.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  return image;
}

QImage EmbeddedImage(std::string_view name) {
  const auto data = resources::FindPicture(name);
  if (data.empty()) return {};
  return ImageFromPicture(ReadStoredPicture(data));
}

QIcon MainWindowIcon() {
  const QImage image = EmbeddedImage("MAINICON");
  return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

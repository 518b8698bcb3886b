#include "canvas_text.h"

#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <string>

#include "dxdraw_widget.h"

namespace {

// The face the canvas asks for by default has a free equivalent in fonts-wine.
QString FamilyFor(const std::string& name) {
  static const QString msSansSerif = [] {
    const int id = QFontDatabase::addApplicationFont("/usr/share/wine/fonts/ms_sans_serif.ttf");
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    return families.isEmpty() ? QString("Sans Serif") : families.first();
  }();
  if (name == "MS Sans Serif") return msSansSerif;
  return QString::fromStdString(name);
}

}  // namespace

void DrawCanvasTextWithQt(const TPixelView& target, const TCanvasFont& font, int x, int y, const std::string& text) {
  const QImage::Format qf = QImageFormatFor(target.Format);
  if (qf == QImage::Format_Invalid || !target.Bits) return;
  QImage image(target.Bits, target.Width, target.Height, target.Pitch, qf);
  QPainter painter(&image);
  QFont qfont(FamilyFor(font.Name));
  // Sizes are points at 96 dots per inch, as the art was laid out for.
  qfont.setPixelSize(std::max(1, (font.SizePoints * 96 + 36) / 72));
  qfont.setStyleStrategy(QFont::NoAntialias);
  painter.setFont(qfont);
  const QString qtext = QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
  const QFontMetrics metrics(qfont);
  if (!font.BrushClear) {
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(qtext), metrics.height()),
                     QColor(GetRValue(font.BrushColor), GetGValue(font.BrushColor), GetBValue(font.BrushColor)));
  }
  painter.setPen(QColor(GetRValue(font.Color), GetGValue(font.Color), GetBValue(font.Color)));
  painter.drawText(QPoint(x, y + metrics.ascent()), qtext);
  painter.end();
  if (qf == QImage::Format_RGB32) {
    // Qt fills the unused top byte of 32-bit pixels; the surface keeps it 0.
    const QRect touched =
        QRect(x, y, metrics.horizontalAdvance(qtext) + 2, metrics.height() + 2).intersected(image.rect());
    for (int row = touched.top(); row <= touched.bottom(); ++row) {
      auto* p = reinterpret_cast<std::uint32_t*>(target.Bits + std::ptrdiff_t(row) * target.Pitch);
      for (int col = touched.left(); col <= touched.right(); ++col) p[col] &= 0x00FFFFFFu;
    }
  }
}

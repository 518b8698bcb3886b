#include "dialog_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// Registers a font file with the application; the family it holds, or an empty
// string when the file cannot be loaded.
QString LoadFamily(const char* file) {
  const int id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(file));
  if (id < 0) return {};
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.front();
}

}  // namespace

QFont DialogFont() {
  static const QString family = LoadFamily(DIALOGS_UI_FONT);
  if (family.isEmpty()) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    return font;
  }
  QFont font(family);
  font.setPixelSize(13);  // the 8-point strike: cell 13, character height 11
  return font;
}

QFont Cp437Font() {
  static const QString family = LoadFamily(DIALOGS_OEM_FONT);
  QFont font = family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                : QFont(family);
  font.setPixelSize(12);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

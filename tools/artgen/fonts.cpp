#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include <map>
#include <stdexcept>
#include <string>

namespace artgen {

QString LoadFontFile(const QString& path, const char* package) {
  static std::map<QString, QString> loaded;
  if (auto it = loaded.find(path); it != loaded.end()) return it->second;
  const int id = QFontDatabase::addApplicationFont(path);
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty())
    throw std::runtime_error("cannot load the font file " + path.toStdString() +
                             " (Debian package " + package + ")");
  loaded[path] = families.front();
  return families.front();
}

namespace {

QFont Make(const QString& path, const char* package, double pixelSize, int weight) {
  QFont font(LoadFontFile(path, package));
  font.setPixelSize(static_cast<int>(pixelSize + 0.5));
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
  font.setKerning(true);
  return font;
}

const char* const kLibertineDir = "/usr/share/fonts/opentype/linux-libertine/";

}  // namespace

QFont TitleFont(double pixelSize) {
  return Make(QString(kLibertineDir) + "LinLibertine_RB.otf", "fonts-linuxlibertine", pixelSize, QFont::Bold);
}

QFont SansFont(double pixelSize, bool bold) {
  return Make(QString(kLibertineDir) + (bold ? "LinBiolinum_RB.otf" : "LinBiolinum_R.otf"),
              "fonts-linuxlibertine", pixelSize, bold ? QFont::Bold : QFont::Normal);
}

}  // namespace artgen

// The lettering fonts, loaded from explicit files of Debian font packages so that
// the artwork never depends on what fontconfig happens to prefer on a machine.
#pragma once

#include <QFont>
#include <QString>

namespace artgen {

// Family name of the font in `path`, registered with the application; throws
// std::runtime_error naming the file and its package when it cannot be loaded.
QString LoadFontFile(const QString& path, const char* package);

// Linux Libertine Bold (fonts-linuxlibertine): carved titles, button lettering, logo.
QFont TitleFont(double pixelSize);
// Linux Biolinum Bold (fonts-linuxlibertine): the demo slides' sans-serif lines.
QFont SansFont(double pixelSize, bool bold);

}  // namespace artgen

// The demo release's pictures: three slides, the picture behind the progress screen
// and the two progress bars. They go into the artwork sheet, not into the program.
#pragma once

#include <QImage>
#include <QString>

#include <utility>
#include <vector>

namespace artgen {

// screen_default, screen_features, screen_screenshots, screen_install (471 by 258),
// progbar1, progbar2 (378 by 36), in the sheet's order, with their names.
std::vector<std::pair<QString, QImage>> PaintDemoPictures();

}  // namespace artgen

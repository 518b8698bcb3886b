// The artwork sheet: six release pictures stacked into one 471 by 1114 picture and
// saved as a baseline JPEG, the form in which the installer finds them beside itself.
#pragma once

#include <QImage>
#include <QString>

#include <array>
#include <ostream>
#include <string>

namespace mksheet {

inline constexpr int kSheetWidth = 471;
inline constexpr int kSheetHeight = 1114;

// One region of the sheet: which picture goes there, its size and its top row.
struct Region {
  const char* name;
  int width;
  int height;
  int top;
};

// In the order of the command line and of the sheet, top to bottom.
inline constexpr std::array<Region, 6> kRegions = {{
    {"screen_default", 471, 258, 0},
    {"screen_features", 471, 258, 260},
    {"screen_screenshots", 471, 258, 520},
    {"screen_install", 471, 258, 780},
    {"progbar1", 378, 36, 1040},
    {"progbar2", 378, 36, 1078},
}};

// Stacks the pictures at their regions on a black sheet; everything outside the
// regions stays black. On a picture of the wrong size returns a null image and sets
// `error` to a message that names the picture and both sizes.
QImage ComposeSheet(const std::array<QImage, 6>& pictures, std::string& error);

// Reads `path` as a picture of any format Qt reads; on failure a null image and a
// message in `error` naming the file and the region it was meant for.
QImage ReadPicture(const QString& path, const Region& region, std::string& error);

// The whole tool: `arguments` are OUT followed by the six picture paths. Writes the
// sheet to OUT through a temporary file in the same folder that is renamed into
// place, so OUT is either the complete new sheet or left as it was. Messages go to
// `err`; returns the exit code (0 done, 1 a file problem, 2 a usage problem).
int Run(const std::vector<QString>& arguments, std::ostream& err);

}  // namespace mksheet

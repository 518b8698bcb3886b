// The artwork sheet install.dat: a JPEG, whatever its name, of six stacked pictures
// (three slides, the install screen and the two progress bars), cut into those
// pictures.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "exception.h"
#include "jpeg_sheet.h"

// install.dat is missing or cannot be read: "Cannot open file <full path>".
class ESheetOpenError : public Exception {
 public:
  using Exception::Exception;
};

// One picture cut from the sheet, named as in the main window's picture list.
struct TSheetPicture {
  const char* Name;
  TRgbImage Image;  // its full size; parts beyond a smaller sheet stay white
};

// Cuts the six regions in their fixed order: screen_default, screen_features,
// screen_screenshots, screen_install (471 by 258), progbar1, progbar2 (378 by 36).
std::array<TSheetPicture, 6> CutArtworkSheet(const TRgbImage& sheet);

// Reads exeDir + "install.dat", decodes it and cuts it. Throws ESheetOpenError or
// EJpegError.
std::array<TSheetPicture, 6> LoadArtworkSheet(const std::string& exeDir);

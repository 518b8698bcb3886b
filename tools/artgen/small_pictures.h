// The 16-colour pictures: the window icon and the folder dialog's drive and folder
// pictures, all on one palette of stone greys and golds.
#pragma once

#include "stored_picture.h"

#include <vector>

namespace artgen {

// Entry 15 of the small pictures' palette: white, the background of the drive and
// folder pictures. No other pixel of them uses it, so a list may key it out.
inline constexpr std::uint8_t kSmallBackground = 15;

// The shared 16 colours of the drive and folder pictures.
std::vector<QRgb> SmallPalette();

// FLOPPY, HARD, NETWORK, CDROM, RAM (16 by 11), OPENFOLDER, CLOSEDFOLDER,
// CURRENTFOLDER (16 by 15), 4 bits per pixel.
std::vector<IndexedPicture> PaintDialogPictures();

// MAINICON: 32 by 32, 4 bits per pixel, a stone tile with a gilded arrow into a tray.
IndexedPicture PaintMainIcon();

}  // namespace artgen

// The pictures the installer carries inside the program: the main window's stored
// pictures, its icon and the small drive and folder pictures of the folder dialog.
// Each is held in its stored form: one length byte, the class name "TDIB", then a
// device-independent bitmap record (40-byte header, palette, rows bottom-up).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace resources {

struct StoredPicture {
  std::string_view Name;
  std::span<const std::uint8_t> Data;  // the stored form, class name included
};

// The 17 stored pictures of the main window's list, in list order:
// bg, info_install1..3, info_nfo1..3, info_quit1..3, info_features1..3,
// info_screenshot1..3, tarnwell.
std::span<const StoredPicture> MainWindowPictures();

// Any embedded picture by its exact name: the 17 above, MAINICON (the window icon,
// 32 by 32, 16 colours), FLOPPY, HARD, NETWORK, CDROM, RAM (16 by 11) and
// OPENFOLDER, CLOSEDFOLDER, CURRENTFOLDER (16 by 15). An empty span for any other name.
std::span<const std::uint8_t> FindPicture(std::string_view name);

}  // namespace resources

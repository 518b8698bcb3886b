// The keys of install.ini, the release folder's settings: read by ReadSettings,
// written by mkrelease. All of them live in the one section FLAGS.
#pragma once

namespace install_ini {

inline constexpr char kSection[] = "FLAGS";
inline constexpr char kSource[] = "SOURCE";          // the first archive volume, beside the installer
inline constexpr char kNfoFile[] = "NFOFILE";        // the NFO text
inline constexpr char kMidFile[] = "MIDFILE";        // the tune
inline constexpr char kDefaultDir[] = "DEFAULTDIR";  // the destination folder offered
inline constexpr char kRegFile1[] = "REGFILE1";      // registration notes, opened after the install
inline constexpr char kRegFile2[] = "REGFILE2";
inline constexpr char kExecute[] = "EXECUTE";        // what to run after the install, inside the target
inline constexpr char kNumFiles[] = "NUMFILES";      // the number of archive volumes

}  // namespace install_ini

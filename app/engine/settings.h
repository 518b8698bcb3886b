// The release's settings, read once at start-up from "install.ini" in the installer
// folder (section FLAGS).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "exception.h"

// A value that does not convert to an integer.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSettings {
  std::string Source;      // full path of the first archive volume: ExeDir + SOURCE
  std::string NfoFile;     // full path of the NFO text: ExeDir + NFOFILE
  std::string MidFile;     // bare name of the tune, joined to ExeDir by the music start
  std::string DefaultDir = "untitled";  // name proposed for a new folder
  std::string RegFile1;    // copied from ExeDir into the destination and opened
  std::string RegFile2;
  std::string Execute;     // opened in the destination after the run
  std::int32_t NumFiles = 0;          // number of volumes in the set
  std::int32_t VolumeCounterMax = 100;  // upper bound of the volume counter
  TPoint FileBarOrigin;    // (60, 150) once read
  TPoint VolumeBarOrigin;  // (60, 250) once read
};

// Converts a whole string by the rules of a signed 32-bit integer literal: an
// optional sign and decimal digits, or "$" and hexadecimal digits. Throws
// EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);

// Reads exeDir + "install.ini" into settings, key by key in the file's order of
// use. A NUMFILES value that does not convert, or that is below 1, throws after the
// seven names are stored; the volume count and the two origins then stay unset.
void ReadSettings(const std::string& exeDir, TSettings& settings);

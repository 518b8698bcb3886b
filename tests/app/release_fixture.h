// Release folders for the main window's tests: an install.ini, an artwork sheet
// encoded with libjpeg, an NFO and a copy of an archive set from the corpus.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

class TReleaseFolder {
 public:
  const std::filesystem::path& Path() const { return folder_.Path(); }
  std::string Dir() const { return folder_.Dir(); }  // with a trailing separator

  void WriteIni(const std::string& flagsBody);  // the lines of [FLAGS]
  void WriteFile(const std::string& name, const std::string& bytes);
  // An artwork sheet of width x height whose six regions are filled by SheetColor.
  void WriteSheet(int width = 471, int height = 1114);
  // Copies corpus files (relative to the corpus folder) into the release folder.
  void CopyFromCorpus(const std::vector<std::string>& names);

  // The colour the test sheet has at (x, y): each region its own pattern, the gaps
  // a loud magenta that must never reach the screen.
  static void SheetColor(int x, int y, std::uint8_t rgb[3]);

 private:
  test_support::TempFolder folder_{"installer-test-release"};
};

// An RGB (components 3) or grey (1) image, rows top to bottom, encoded with libjpeg.
std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                                     int quality = 98);

// Release folders for the main window's tests: an install.ini, an artwork sheet
// encoded with libjpeg, an NFO and a copy of an archive set from the corpus.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TReleaseFolder {
 public:
  TReleaseFolder();
  ~TReleaseFolder();
  TReleaseFolder(const TReleaseFolder&) = delete;
  TReleaseFolder& operator=(const TReleaseFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Dir() const;  // with a trailing separator

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
  std::filesystem::path path_;
};

// A fresh, empty temporary folder, removed with the object.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  const std::filesystem::path& Path() const { return path_; }
  std::string Dir() const;

 private:
  std::filesystem::path path_;
};

// A fresh folder under the system's temporary folder for one test, removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "installer-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder as the system names it (symbolic links resolved), so that it
  // compares equal with what getcwd() and realpath() give inside it.
  const std::filesystem::path& Path() const { return path_; }
  // The path with a trailing separator, as the archive library wants destinations.
  std::string Dir() const { return path_.string() + "/"; }
  std::filesystem::path operator/(const std::string& relative) const { return path_ / relative; }

  // Creates a folder (and its parents) below this one; returns its full path.
  std::string MakeFolder(const std::string& relative) const;
  // Writes a file (and its parent folders) below this one; returns its full path.
  std::string WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
  // Tests may step into the folder; the working directory is put back first.
  std::filesystem::path savedWorkingDirectory_;
};

// The process's working directory as the system gives it (getcwd); empty when
// it cannot be had.
std::string WorkingDirectory();

}  // namespace test_support

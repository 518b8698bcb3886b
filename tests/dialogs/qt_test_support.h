// Shared helpers of the dialog tests: one QApplication for the whole executable,
// a way to act on a modal window once its event loop runs, and temporary folders
// that put the working directory back.
#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

namespace dialogs_test {

// Runs `action` on the next modal widget that becomes active and is not `except`,
// from inside the event loop that shows it. Polls through the event loop; gives up
// (and fails the test) only after thousands of polls, so that a dialog that never
// appears ends the test instead of hanging it.
void WhenModal(std::function<void(QWidget*)> action, QWidget* except = nullptr);

// Sends a key press and release to `target` through the application, so that event
// filters see it exactly as they would see a real key.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// A real folder under the system's temporary folder, removed with everything in it
// when the object goes; the working directory at construction is restored then too.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Str() const { return path_.string(); }
  // Creates a folder (and its parents) below this one; returns its full path.
  std::string MakeFolder(const std::string& relative) const;
  // Writes a file below this one; returns its full path.
  std::string WriteFile(const std::string& relative, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path savedCwd_;
};

// The process's working directory, as bytes.
std::string CurrentDirectory();

}  // namespace dialogs_test

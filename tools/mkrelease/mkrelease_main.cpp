// mkrelease DESCRIPTION OUTDIR [--bundle]: builds a release folder for the installer
// from a release description (see description.h).
#include "release_builder.h"
#include "stop_signals.h"

#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

#ifndef MKRELEASE_BUILT_INSTALLER
#define MKRELEASE_BUILT_INSTALLER ""
#endif

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  // A stop signal ends the build at its next step; the staging folder goes with it.
  CatchStopSignals();
  // Pictures are read and composed without a screen.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  std::vector<std::string> arguments(argv + 1, argv + argc);

  // The installer beside mkrelease wins (an unpacked tool folder); otherwise the
  // one built in the same build tree.
  std::error_code ec;
  fs::path defaultInstaller = fs::read_symlink("/proc/self/exe", ec).parent_path() / "install";
  if (ec || !fs::is_regular_file(defaultInstaller, ec)) defaultInstaller = MKRELEASE_BUILT_INSTALLER;
  return mkrelease::RunMkrelease(arguments, defaultInstaller, std::cout, std::cerr);
}

// Helpers for tests that need a real release folder: plain but distinct pictures,
// an NFO, and mkrelease's own build of the folder from a payload.
#pragma once

#include "release_builder.h"

#include <QColor>

#include <cstdint>
#include <filesystem>
#include <string>

namespace mkrelease::fixture {

struct TestReleaseOptions {
  std::string title = "test";
  std::uint64_t volumeSize = 0;    // 0: one volume
  std::string execute;             // a payload path, or empty
  std::string defaultDir;          // written when not empty
  bool withTune = false;           // a small file named tune.mid (its bytes are not a tune)
  bool withRegFile = false;        // register.txt beside the installer
  int level = 3;
};

// The colour a test picture of region `index` (0..5, in sheet order) is filled with.
QColor PictureColour(int index);

// Writes the six pictures, filled with PictureColour, into `folder` as PNG files
// named after their regions. Needs no QGuiApplication.
void WriteTestPictures(const std::filesystem::path& folder);

// Builds a release of `payload` into `outDir` with `installer` as its executable.
// The NFO, pictures and other inputs are written to outDir's sibling folder
// "<name>-inputs". Throws ReleaseError like BuildRelease.
ReleaseSummary MakeTestRelease(const std::filesystem::path& payload, const std::filesystem::path& outDir,
                               const std::filesystem::path& installer, const TestReleaseOptions& options = {});

}  // namespace mkrelease::fixture

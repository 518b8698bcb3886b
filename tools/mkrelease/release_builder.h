// Builds a release folder: the installer, install.ini, install.dat, the archive set
// of the payload, the NFO, the tune and the files copied after installing.
//
// The folder is assembled in a hidden staging folder beside the output folder and
// moved into place only when everything is written, so the output folder is either
// the complete new release or left exactly as it was.
#pragma once

#include "description.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace mkrelease {

struct BuildOptions {
  bool bundle = false;                       // also copy the shared libraries (bundle.h)
  std::filesystem::path defaultInstaller;    // used when the description names none
  std::ostream* log = nullptr;               // progress lines, or nothing
  // Asked while packing and between the steps: true stops the build with a
  // ReleaseError, and nothing of the new release is left behind.
  std::function<bool()> shouldStop;
  int threads = 0;                           // compressing threads; 0 = one per processor
  // Told while packing how many of the payload's bytes are packed; called once more
  // with done == total when the archive set is complete.
  std::function<void(std::uint64_t done, std::uint64_t total)> onPackProgress;
};

struct ReleaseSummary {
  std::filesystem::path folder;
  std::vector<std::string> volumes;          // file names, first volume first
  int files = 0;                             // payload files packed
  int folders = 0;                           // payload folders packed
  std::uint64_t payloadBytes = 0;
  std::vector<std::string> bundled;          // names copied by the bundle step
};

// One file or folder of the payload, in packing order (a folder before its content,
// names in byte order within a folder).
struct PayloadEntry {
  std::string name;                          // '/'-separated, relative to the payload
  std::filesystem::path source;
  bool directory = false;
};

// Walks the payload folder. Refuses (ReleaseError) a missing folder, a payload with
// no file, symbolic links and special files, names the archive cannot carry, and
// files of 2 GiB or more.
std::vector<PayloadEntry> ScanPayload(const std::filesystem::path& payload);

// Removes the staging folders beside outDir that a build killed before it could
// clean up has left behind (their process no longer runs). BuildRelease calls it.
void RemoveAbandonedStaging(const std::filesystem::path& outDir);

// The whole build. Throws ReleaseError (or the writer's and the file system's own
// errors, wrapped into ReleaseError) with the output folder untouched.
ReleaseSummary BuildRelease(const ReleaseDescription& description, const std::filesystem::path& outDir,
                            const BuildOptions& options);

// The command line: mkrelease DESCRIPTION OUTDIR [--bundle] [-j THREADS].
// `defaultInstaller` is the installer used when the description names none.
// Returns the exit code: 0 built, 1 refused or failed, 2 wrong usage.
int RunMkrelease(const std::vector<std::string>& arguments, const std::filesystem::path& defaultInstaller,
                 std::ostream& out, std::ostream& err);

}  // namespace mkrelease

// Makes a release folder run on a desktop without Qt or SDL installed.
//
// Layout after bundling:
//   install                       run path $ORIGIN/lib
//   lib/*.so*                     every shared library the installer and the Qt
//                                 plugins need beyond the base system; run path $ORIGIN
//   platforms/libqxcb.so          Qt's X11 platform plugin; run path $ORIGIN/../lib
//   xcbglintegrations/*.so        the plugin's GL integrations; run path $ORIGIN/../lib
//   qt.conf                       points Qt's plugin search at the release folder
//
// The run paths are set with patchelf. Libraries are found with ldd, run with
// LD_LIBRARY_PATH and LD_PRELOAD removed. What counts as the base system is listed
// in IsBaseLibrary: the C and C++ runtimes, the X11 core client libraries, the GL
// driver libraries (they must match the machine's driver), the sound servers'
// client libraries and the system's font, GLib and D-Bus stacks.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace mkrelease {

// One line of ldd's answer: the library's name and where it resolved (none when
// the loader could not find it).
struct ResolvedLibrary {
  std::string name;
  std::optional<std::filesystem::path> path;
};

// Runs ldd on `file` with LD_LIBRARY_PATH and LD_PRELOAD removed from its
// environment. Throws ReleaseError when ldd cannot be run or refuses the file.
std::vector<ResolvedLibrary> ResolveLibraries(const std::filesystem::path& file);

// True for libraries a Debian desktop provides and that must not be bundled.
bool IsBaseLibrary(const std::string& soname);

// True when the file starts with ELF's signature.
bool IsElf(const std::filesystem::path& file);

// Qt's plugin folder, as the Qt library we are linked with reports it.
std::filesystem::path QtPluginFolder();

// Copies an ELF program or library to `to` without its debug information (objcopy
// --strip-debug; the symbol table stays, so backtraces still name functions).
// Anything that is not ELF is copied as it is. Throws ReleaseError when objcopy is
// missing or fails.
void CopyWithoutDebugInfo(const std::filesystem::path& from, const std::filesystem::path& to);

// Bundles into `releaseFolder`, whose installer is releaseFolder/install. Returns
// the paths it added, relative to the folder. Throws ReleaseError (patchelf
// missing, a library that does not resolve, ...).
std::vector<std::string> BundleRuntime(const std::filesystem::path& releaseFolder);

}  // namespace mkrelease

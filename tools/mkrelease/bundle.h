// Makes a release folder run on a desktop without Qt or SDL installed, and keeps
// what the folder carries lean.
//
// Layout after bundling:
//   install                       run path $ORIGIN/lib
//   lib/*.so*                     every shared library the installer and the Qt
//                                 plugins need beyond the base system; run path $ORIGIN
//   platforms/libqxcb.so          Qt's X11 platform plugin; run path $ORIGIN/../lib
//   xcbglintegrations/*.so        the plugin's GL integrations; run path $ORIGIN/../lib
//   qt.conf                       points Qt's plugin search at the release folder
//   sf2/TimGM6mb.sf2              a small General MIDI sound font, for a MIDI tune
//   sf2/TimGM6mb.copyright        its licence
//   licences/PACKAGE.copyright    the Debian copyright file (the licence) of every
//                                 package a bundled library or plugin comes from
//
// The run paths are set with patchelf. Libraries are found with ldd, run with
// LD_LIBRARY_PATH and LD_PRELOAD removed. What counts as the base system is listed
// in IsBaseLibrary: the C and C++ runtimes, the X11 core client libraries, the GL
// driver libraries (they must match the machine's driver), the sound servers'
// client libraries and the system's font, GLib and D-Bus stacks. A base library
// brings its own dependencies: the walk from the installer and the plugins stops
// at it, so only what is reached through non-base libraries is copied.
//
// ICU's data library (30 MB) is cut down to what Qt Core can ask ICU for:
// character set conversion, collation, calendars and time zones with their names,
// and case mapping. Break iteration, transliteration, spelled-out numbers, and the
// names of units, currencies, languages, regions and characters are left out. The
// cut needs icupkg (Debian package icu-devtools) and objcopy and ld (binutils);
// without them the data is bundled whole and the log says so.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
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

// The libraries an ELF file names itself (its DT_NEEDED entries), in file order.
// Throws ReleaseError when the file cannot be read as ELF.
std::vector<std::string> DirectNeeds(const std::filesystem::path& file);

// True for libraries a Debian desktop provides and that must not be bundled.
bool IsBaseLibrary(const std::string& soname);

// True when the file starts with ELF's signature.
bool IsElf(const std::filesystem::path& file);

// True for a MIDI tune: a .mid/.midi/.kar/.rmi name, or MIDI's own signature.
bool IsMidiFile(const std::filesystem::path& file);

// Qt's plugin folder, as the Qt library we are linked with reports it.
std::filesystem::path QtPluginFolder();

// Copies an ELF program or library to `to` without its debug information (objcopy
// --strip-debug; the symbol table stays, so backtraces still name functions).
// Anything that is not ELF is copied as it is. Throws ReleaseError when objcopy is
// missing or fails.
void CopyWithoutDebugInfo(const std::filesystem::path& from, const std::filesystem::path& to);

// The General MIDI sound font the bundle carries, and where the installer looks for
// it, relative to the release folder.
inline constexpr const char* kSystemSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
inline constexpr const char* kSystemSoundFontCopyright = "/usr/share/doc/timgm6mb-soundfont/copyright";
inline constexpr const char* kBundledSoundFont = "sf2/TimGM6mb.sf2";

struct BundleOptions {
  bool soundFont = false;          // the release's tune is MIDI: bring the sound font
  bool trimIcuData = true;         // cut ICU's data to what Qt uses (see above)
  std::ostream* log = nullptr;     // what was left out or kept whole, and why
};

// Bundles into `releaseFolder`, whose installer is releaseFolder/install. Returns
// the paths it added, relative to the folder. Throws ReleaseError (patchelf
// missing, a library that does not resolve, the sound font missing, ...).
std::vector<std::string> BundleRuntime(const std::filesystem::path& releaseFolder, const BundleOptions& options = {});

}  // namespace mkrelease

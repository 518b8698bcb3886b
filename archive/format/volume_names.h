// The names of the volumes of a set: the first one is named by whoever makes the
// set (usually *.ace); volume k (1, 2, ...) has the extension .c00 ... .c99 for
// k = 1..100, then .100, .101 ...
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ace {

// The extension (without the dot) of volume `index` >= 1; `letter` is the letter
// of the .cNN forms ('c' or 'C').
std::string VolumeExtension(int index, char letter);

// The spellings to try for the volume after `path`, in order: .ace -> .c00 ...
// .c99 -> .100, the letter upper case first, then lower case.
std::vector<std::string> NextVolumeNames(const std::string& path);
// The spelling named when the next volume cannot be found: the one whose letter
// has the case of the current name's extension.
std::string MissingVolumeName(const std::string& path);

// The path of volume `index` (0 = the first) of a set being made whose first
// volume is `firstVolume` (which needs a three-letter extension); the .cNN forms
// are lower case. Throws Error (BadConstant) beyond the 256 volumes a set may have.
std::filesystem::path VolumePath(const std::filesystem::path& firstVolume, int index);

}  // namespace ace

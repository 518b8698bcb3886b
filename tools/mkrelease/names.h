// Checks of the names that end up in install.ini, in the release folder and in the
// archive. Each throws ReleaseError with a message that says what to rename.
#pragma once

#include <string>

namespace mkrelease {

// A value the installer reads back from install.ini unchanged: no line breaks or
// other control characters, no '=', no blanks at either end (they would be cut),
// no quotation marks at either end (they would be removed), at most 1023 bytes.
void CheckIniValue(const std::string& what, const std::string& value);

// A plain file name that lies in the release folder beside the installer: an ini
// value as above, printable ASCII, no folder separators or ':', not "." or "..".
void CheckReleaseFileName(const std::string& what, const std::string& name);

// A relative '/'-separated path inside the payload (EXECUTE): every component a
// plain name as above.
void CheckPayloadPath(const std::string& what, const std::string& path);

// A relative '/'-separated path of a payload entry, which only the archive carries:
// as CheckPayloadPath, but characters past ASCII are left to the archive writer
// (ace::ArchiveName), which takes those that code page 850 has.
void CheckPayloadName(const std::string& what, const std::string& path);

// True when `name` is one of the names the release folder itself uses (install,
// install.ini, install.dat, the bundle's lib/, platforms/, ... ), compared without
// regard to letter case.
bool IsReservedReleaseName(const std::string& name);

}  // namespace mkrelease

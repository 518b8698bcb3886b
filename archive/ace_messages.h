// The words the installer shows for the archive library's result codes. An empty
// string means that the report shows nothing for that code.
#pragma once

#include <string>

namespace ace {

// After ACEOpenArchive; path is the first volume's full path.
std::string OpenErrorText(int code, const std::string& path);
// After ACEProcessFile.
std::string ProcessErrorText(int code);
// After ACEReadHeader (silent at the normal end of the set).
std::string HeaderErrorText(int code);

// The fixed messages of the extraction run and of the volume callback.
std::string MissingArchiveText();
std::string MissingFolderText();
std::string MissingVolumeText(const std::string& volumePath);

}  // namespace ace

using ace::HeaderErrorText;
using ace::OpenErrorText;
using ace::ProcessErrorText;

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

}  // namespace ace

using ace::HeaderErrorText;
using ace::OpenErrorText;
using ace::ProcessErrorText;

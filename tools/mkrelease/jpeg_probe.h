// Reads the header of a JPEG file, to check a ready-made artwork sheet before it
// goes into a release.
#pragma once

#include <filesystem>
#include <string>

namespace mkrelease {

// True with the picture's size when libjpeg accepts the file's header; false with
// libjpeg's message in `error` otherwise.
bool ProbeJpeg(const std::filesystem::path& file, int& width, int& height, std::string& error);

}  // namespace mkrelease

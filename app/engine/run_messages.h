// The extraction run's own messages: the caption of its boxes and the three fixed
// texts. The words for the archive library's result codes are the library's
// (ace_messages.h). A '\r' is a line break.
#pragma once

#include <string>

inline constexpr const char* kRunErrorCaption = "Error";

// The archive path names no existing file.
std::string MissingArchiveText();
// The destination folder is missing and cannot be created.
std::string MissingFolderText();
// The library cannot find the next volume; volumePath is its full path.
std::string MissingVolumeText(const std::string& volumePath);

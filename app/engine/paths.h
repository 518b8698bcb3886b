// Path helpers shared by the whole program.
#pragma once

#include <string>

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Returns path unchanged when its last byte is the separator, else with one
// separator appended; an empty path gives the separator alone.
std::string AddSlash(const std::string& path);

// The folder that holds the running executable, with a trailing separator.
std::string ExecutableDir();

// The file-name part of a path: what follows its last separator (or, on Windows
// paths, its drive colon).
std::string FileNamePart(const std::string& path);

// The few file-system questions and actions of the extraction run, on POSIX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

bool IsFile(const std::string& path);    // a regular file (not a folder)
bool IsFolder(const std::string& path);
// Creates the folder with every missing parent; failures are left to the caller's
// next IsFolder.
void MakeFolders(const std::string& path);
// Copies a file over any file of that name; failures are ignored.
void CopyFileOver(const std::string& from, const std::string& to);
// Bytes an unprivileged user may still write on the file system that holds the
// folder; empty when the system cannot tell.
std::optional<std::uint64_t> FreeBytes(const std::string& folder);

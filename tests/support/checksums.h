// MD5 sums of bytes, files and folders, and the md5sum manifests that record what
// the corpus archives must extract to.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace test_support {

// Lower-case hexadecimal, as md5sum prints it.
std::string Md5Hex(std::string_view bytes);
std::string Md5OfFile(const std::filesystem::path& path);

// Every regular file below `root` (symbolic links not followed), as
// "relative/path" -> MD5 of its contents.
std::map<std::string, std::string> Md5OfTree(const std::filesystem::path& root);

// An md5sum manifest ("MD5  name" or "MD5 *name" lines), as name -> MD5.
std::map<std::string, std::string> ReadManifest(const std::filesystem::path& path);

}  // namespace test_support

#include "paths.h"

#include <filesystem>
#include <system_error>

std::string AddSlash(const std::string& path) {
  if (!path.empty() && path.back() == kPathSeparator) return path;
  return path + kPathSeparator;
}

std::string ExecutableDir() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::current_path(ec) / "install";
  return AddSlash(exe.parent_path().string());
}

std::string FileNamePart(const std::string& path) {
  const std::size_t cut = path.find_last_of(kPathSeparator == '/' ? "/" : "\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

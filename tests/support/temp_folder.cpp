#include "temp_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "files.h"

namespace fs = std::filesystem;

namespace test_support {

TempFolder::TempFolder(const std::string& prefix) {
  std::error_code ec;
  savedWorkingDirectory_ = fs::current_path(ec);
  std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = fs::canonical(pattern);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!savedWorkingDirectory_.empty()) fs::current_path(savedWorkingDirectory_, ec);
  // Folders and files a test made read-only must not keep the folder alive.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
  const fs::path p = path_ / relative;
  fs::create_directories(p);
  return p.string();
}

std::string TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
  const fs::path p = path_ / relative;
  test_support::WriteFile(p, bytes);
  return p.string();
}

std::string WorkingDirectory() {
  std::string buffer(4096, '\0');
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return {};
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace test_support

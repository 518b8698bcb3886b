#include "checksums.h"

#include <nettle/md5.h>

#include <sstream>

#include "files.h"

namespace fs = std::filesystem;

namespace test_support {

std::string Md5Hex(std::string_view bytes) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t b : digest) {
    hex.push_back(kHex[b >> 4]);
    hex.push_back(kHex[b & 15]);
  }
  return hex;
}

std::string Md5OfFile(const fs::path& path) { return Md5Hex(ReadFile(path)); }

std::map<std::string, std::string> Md5OfTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && !entry.is_symlink())
      files[fs::relative(entry.path(), root).string()] = Md5OfFile(entry.path());
  }
  return files;
}

std::map<std::string, std::string> ReadManifest(const fs::path& path) {
  std::map<std::string, std::string> manifest;
  std::istringstream lines(ReadFile(path));
  std::string line;
  // 32 hex digits, a space, then a space (text) or '*' (binary), then the name.
  while (std::getline(lines, line)) {
    if (line.size() >= 35) manifest[line.substr(34)] = line.substr(0, 32);
  }
  return manifest;
}

}  // namespace test_support

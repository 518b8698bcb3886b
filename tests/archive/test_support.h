// Helpers of the archive tests: temporary folders, file access, MD5 for the corpus
// manifests, and a builder for small hand-made archives (stored entries).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace acetest {

namespace fs = std::filesystem;

inline const fs::path kCorpus = ACE_CORPUS_DIR;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }
  // The path with a trailing separator, as ACEProcessFile wants it.
  std::string dest() const { return path_.string() + "/"; }

 private:
  fs::path path_;
};

std::string ReadFile(const fs::path& p);
void WriteFile(const fs::path& p, const std::string& data);
std::string Md5Hex(const std::string& data);

// Every regular file below root, as "relative/path" -> contents MD5.
std::vector<std::pair<std::string, std::string>> ListFiles(const fs::path& root);
// An md5sum manifest ("MD5  name" or "MD5 *name" lines), as name -> MD5.
std::map<std::string, std::string> ReadManifest(const fs::path& p);

struct TestEntry {
  std::string name;
  std::string data;
  std::uint32_t attributes = 0x20;
  std::uint16_t extraFlags = 0;
  std::uint32_t fileTime = 0x5A8C6B2E;  // 2025-04-12 13:25:28
  std::uint8_t method = 0;
  std::uint32_t crcOverride = 0;
  bool useCrcOverride = false;
  std::uint32_t declaredSize = 0;  // original size in the header; 0: the data's
};

// A complete single-volume archive of stored entries.
std::string BuildArchive(const std::vector<TestEntry>& entries, std::uint16_t mainFlags = 0);
// One block: CRC and size prefix added to `body` (which starts at HEAD_TYPE).
std::string Block(const std::string& body);

}  // namespace acetest

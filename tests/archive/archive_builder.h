// Small hand-made archives for the archive tests: stored entries with any header
// values a test wants, including wrong ones.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace acetest {

namespace fs = std::filesystem;

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

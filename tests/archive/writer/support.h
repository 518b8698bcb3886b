// Shared helpers of the writer tests: decoding a set with the archive library,
// walking its blocks, and reproducible test data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace acetest {

struct DecodedEntry {
  std::string name;
  std::vector<std::uint8_t> data;
  std::uint32_t attributes = 0;
  std::uint32_t dosTime = 0;
  std::uint8_t method = 0;
  std::uint32_t dictionary = 0;
  bool solid = false;
  bool directory = false;
};

struct DecodedSet {
  int openStatus = -1;
  int endStatus = -1;          // what the last ACEReadHeader answered (ACE_ERR_END when complete)
  std::vector<int> processStatus;  // one per entry
  std::vector<DecodedEntry> entries;
  std::vector<std::string> volumesVisited;
};

// Tests (decodes and checks) every entry of the set through unace.h.
DecodedSet DecodeSet(const std::filesystem::path& firstVolume);

// One block header as stored in a volume.
struct Block {
  int type = 0;
  std::uint16_t flags = 0;
  std::uint64_t offset = 0;
  std::uint32_t headSize = 0;
  std::uint32_t packed = 0;
  std::uint32_t original = 0;
  std::uint32_t crc = 0;
  std::uint32_t attributes = 0;
  int method = 0, quality = 0, params = 0;
  int volumeNumber = -1;  // main header
  std::string name;
  bool headerCrcOk = false;
};

// Every block of one volume file in order; stops at the end of the file. `tail`
// receives the number of bytes after the last block (0 for a well-formed volume).
std::vector<Block> WalkBlocks(const std::filesystem::path& volume, std::uint64_t* tail);

// English-like words with some repetition; compressible like text.
std::vector<std::uint8_t> TextBytes(std::size_t n, std::uint32_t seed);

}  // namespace acetest

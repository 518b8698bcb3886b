// Header blocks of an archive volume: the common prefix, the main header and the
// file header, parsed from the bytes of one block.
#pragma once

#include <cstdint>
#include <string>

#include "layout.h"
#include "status.h"

namespace ace {


struct MainHeader {
  std::uint16_t flags = 0;
  std::uint8_t versionExtract = 0;
  std::uint8_t versionCreated = 0;
  std::uint8_t host = 0;
  std::uint8_t volumeNumber = 0;
  std::uint32_t timeCreated = 0;
  std::string av;
  std::string comment;  // decoded main comment, empty when none or unreadable
};

struct FileHeader {
  std::uint8_t type = 0;
  std::uint16_t flags = 0;
  std::uint64_t packSize = 0;
  std::uint64_t origSize = 0;
  std::uint32_t fileTime = 0;
  std::uint32_t attributes = 0;
  std::uint32_t crc = 0;
  std::uint8_t method = 0;
  std::uint8_t quality = 0;
  std::uint16_t params = 0;
  std::string name;
  std::string comment;
};

// `block` holds the HEAD_SIZE bytes that follow the 4-byte CRC/size prefix (so
// block[0] is HEAD_TYPE). Layout faults give BadHeader.
Status ParseMainHeader(const std::uint8_t* block, std::size_t size, MainHeader& out);
Status ParseFileHeader(const std::uint8_t* block, std::size_t size, FileHeader& out);

// Size of the data area that follows a block (0 without the ADDSIZE flag).
std::uint64_t DataAreaSize(const std::uint8_t* block, std::size_t size);

// True when the low 16 bits of the CRC of block[0..size) equal `crc`.
bool HeaderCrcMatches(const std::uint8_t* block, std::size_t size, std::uint16_t crc);

// Decodes a compressed comment; empty when it is malformed.
std::string DecodeComment(const std::uint8_t* data, std::size_t size);

}  // namespace ace

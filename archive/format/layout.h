// The blocks of an archive volume as both the reader and the writer see them: the
// block types, the header flags, the DOS attribute bits, the fixed parts of the
// headers, and the little-endian fields they are made of.
//
// Every block starts with a 4-byte prefix: the low 16 bits of the CRC of what
// follows the prefix (HEAD_CRC), and that length (HEAD_SIZE). HEAD_TYPE and the
// flags come next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ace {

enum BlockType : std::uint8_t { kMainBlock = 0, kFileBlock32 = 1, kFileBlock64 = 3 };

enum HeaderFlags : std::uint16_t {
  kFlagAddSize = 0x0001,        // a data area follows the block
  kFlagComment = 0x0002,
  kFlag64Bit = 0x0004,
  kFlagNtSecurity = 0x0400,
  kFlagMultiVolume = 0x0800,    // main header
  kFlagFromPrevious = 0x1000,   // file header
  kFlagToNext = 0x2000,         // file header
  kFlagEncrypted = 0x4000,      // file header
  kFlagSolid = 0x8000,
};

// DOS attribute bits of a file header.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;

// The bytes before HEAD_TYPE: HEAD_CRC and HEAD_SIZE.
constexpr std::size_t kBlockPrefix = 4;
// The main header's signature, right after HEAD_TYPE and the flags.
constexpr std::string_view kSignature = "**ACE**";
// The main header without its AV string and comment, counted from HEAD_TYPE.
constexpr std::size_t kMainHeaderFixed = 26;
// A file header up to its name, counted from HEAD_TYPE: 32-bit and 64-bit sizes.
constexpr std::size_t kFileHeaderFixed32 = 31;
constexpr std::size_t kFileHeaderFixed64 = 39;
// The longest entry name a header carries, in stored bytes.
constexpr std::size_t kMaxNameBytes = 259;

// What the main headers we write declare.
constexpr std::uint8_t kVersionExtract = 10;  // needs the 1.0 extractor
constexpr std::uint8_t kVersionCreated = 20;  // written by a 2.0-level program
constexpr std::uint8_t kHostUnix = 3;

inline std::uint16_t LoadU16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
inline std::uint64_t LoadU64(const std::uint8_t* p) { return LoadU32(p) | std::uint64_t(LoadU32(p + 4)) << 32; }

inline void AppendU8(std::vector<std::uint8_t>& v, std::uint32_t x) { v.push_back(static_cast<std::uint8_t>(x)); }
inline void AppendU16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  AppendU8(v, x);
  AppendU8(v, x >> 8);
}
inline void AppendU32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  AppendU16(v, x);
  AppendU16(v, x >> 16);
}

// The HEAD_CRC of the block bytes that follow the prefix.
std::uint16_t HeaderCrc(const std::uint8_t* block, std::size_t size);

// Fills in HEAD_CRC and HEAD_SIZE of `block`, whose first kBlockPrefix bytes are
// reserved for them.
void SealBlock(std::vector<std::uint8_t>& block);

}  // namespace ace

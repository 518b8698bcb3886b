#include "headers.h"

#include <cstring>

#include "crc32.h"

namespace ace {
namespace {

std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
std::uint64_t U64(const std::uint8_t* p) { return U32(p) | std::uint64_t(U32(p + 4)) << 32; }

constexpr char kSignature[] = "**ACE**";

}  // namespace

bool HeaderCrcMatches(const std::uint8_t* block, std::size_t size, std::uint16_t crc) {
  return std::uint16_t(Crc32(block, size) & 0xFFFF) == crc;
}

std::uint64_t DataAreaSize(const std::uint8_t* b, std::size_t size) {
  if (size < 3) return 0;
  const std::uint16_t flags = U16(b + 1);
  if (!(flags & kFlagAddSize)) return 0;
  if (flags & kFlag64Bit) return size >= 11 ? U64(b + 3) : 0;
  return size >= 7 ? U32(b + 3) : 0;
}

// Offsets below are relative to HEAD_TYPE (4 less than those of the format notes).
Status ParseMainHeader(const std::uint8_t* b, std::size_t size, MainHeader& out) {
  if (size < 26 || b[0] != kMainBlock || std::memcmp(b + 3, kSignature, 7) != 0) {
    return Status::BadHeader;
  }
  out.flags = U16(b + 1);
  out.versionExtract = b[10];
  out.versionCreated = b[11];
  out.host = b[12];
  out.volumeNumber = b[13];
  out.timeCreated = U32(b + 14);
  std::size_t pos = 26;
  if (size > 26) {
    const std::size_t avSize = b[26];
    pos = 27;
    if (avSize > size - pos) return Status::BadHeader;
    out.av.assign(reinterpret_cast<const char*>(b + pos), avSize);
    pos += avSize;
  }
  if (out.flags & kFlagComment) {
    if (size - pos < 2) return Status::BadHeader;
    const std::size_t commentSize = U16(b + pos);
    pos += 2;
    if (commentSize > size - pos) return Status::BadHeader;
    out.comment = DecodeComment(b + pos, commentSize);
  }
  return Status::Ok;
}

Status ParseFileHeader(const std::uint8_t* b, std::size_t size, FileHeader& out) {
  if (size < 3) return Status::BadHeader;
  out.type = b[0];
  out.flags = U16(b + 1);
  const bool wide = out.type == kFileBlock64;
  if (wide != bool(out.flags & kFlag64Bit) && wide) return Status::BadHeader;
  const std::size_t fixed = wide ? 39 : 31;
  if (size < fixed) return Status::BadHeader;
  std::size_t p = 3;
  if (wide) {
    out.packSize = U64(b + p);
    out.origSize = U64(b + p + 8);
    p += 16;
  } else {
    out.packSize = U32(b + p);
    out.origSize = U32(b + p + 4);
    p += 8;
  }
  out.fileTime = U32(b + p);
  out.attributes = U32(b + p + 4);
  out.crc = U32(b + p + 8);
  out.method = b[p + 12];
  out.quality = b[p + 13];
  out.params = U16(b + p + 14);
  const std::size_t nameSize = U16(b + p + 18);
  p += 20;
  if (nameSize > size - p) return Status::BadHeader;
  const char* name = reinterpret_cast<const char*>(b + p);
  out.name.assign(name, strnlen(name, nameSize));
  p += nameSize;
  if (out.flags & kFlagComment) {
    if (size - p < 2) return Status::BadHeader;
    const std::size_t commentSize = U16(b + p);
    p += 2;
    if (commentSize > size - p) return Status::BadHeader;
    out.comment = DecodeComment(b + p, commentSize);
  }
  return Status::Ok;
}

}  // namespace ace

#include "headers.h"

#include <cstring>

namespace ace {

bool HeaderCrcMatches(const std::uint8_t* block, std::size_t size, std::uint16_t crc) {
  return HeaderCrc(block, size) == crc;
}

std::uint64_t DataAreaSize(const std::uint8_t* b, std::size_t size) {
  if (size < 3) return 0;
  const std::uint16_t flags = LoadU16(b + 1);
  if (!(flags & kFlagAddSize)) return 0;
  if (flags & kFlag64Bit) return size >= 11 ? LoadU64(b + 3) : 0;
  return size >= 7 ? LoadU32(b + 3) : 0;
}

// Offsets below are relative to HEAD_TYPE (4 less than those of the format notes).
Status ParseMainHeader(const std::uint8_t* b, std::size_t size, MainHeader& out) {
  if (size < kMainHeaderFixed || b[0] != kMainBlock ||
      std::memcmp(b + 3, kSignature.data(), kSignature.size()) != 0) {
    return Status::BadHeader;
  }
  out.flags = LoadU16(b + 1);
  out.versionExtract = b[10];
  out.versionCreated = b[11];
  out.host = b[12];
  out.volumeNumber = b[13];
  out.timeCreated = LoadU32(b + 14);
  std::size_t pos = kMainHeaderFixed;
  if (size > kMainHeaderFixed) {
    const std::size_t avSize = b[kMainHeaderFixed];
    pos = kMainHeaderFixed + 1;
    if (avSize > size - pos) return Status::BadHeader;
    out.av.assign(reinterpret_cast<const char*>(b + pos), avSize);
    pos += avSize;
  }
  if (out.flags & kFlagComment) {
    if (size - pos < 2) return Status::BadHeader;
    const std::size_t commentSize = LoadU16(b + pos);
    pos += 2;
    if (commentSize > size - pos) return Status::BadHeader;
    out.comment = DecodeComment(b + pos, commentSize);
  }
  return Status::Ok;
}

Status ParseFileHeader(const std::uint8_t* b, std::size_t size, FileHeader& out) {
  if (size < 3) return Status::BadHeader;
  out.type = b[0];
  out.flags = LoadU16(b + 1);
  const bool wide = out.type == kFileBlock64;
  if (wide != bool(out.flags & kFlag64Bit) && wide) return Status::BadHeader;
  const std::size_t fixed = wide ? kFileHeaderFixed64 : kFileHeaderFixed32;
  if (size < fixed) return Status::BadHeader;
  std::size_t p = 3;
  if (wide) {
    out.packSize = LoadU64(b + p);
    out.origSize = LoadU64(b + p + 8);
    p += 16;
  } else {
    out.packSize = LoadU32(b + p);
    out.origSize = LoadU32(b + p + 4);
    p += 8;
  }
  out.fileTime = LoadU32(b + p);
  out.attributes = LoadU32(b + p + 4);
  out.crc = LoadU32(b + p + 8);
  out.method = b[p + 12];
  out.quality = b[p + 13];
  out.params = LoadU16(b + p + 14);
  const std::size_t nameSize = LoadU16(b + p + 18);
  p += 20;
  if (nameSize > size - p) return Status::BadHeader;
  const char* name = reinterpret_cast<const char*>(b + p);
  out.name.assign(name, strnlen(name, nameSize));
  p += nameSize;
  if (out.flags & kFlagComment) {
    if (size - p < 2) return Status::BadHeader;
    const std::size_t commentSize = LoadU16(b + p);
    p += 2;
    if (commentSize > size - p) return Status::BadHeader;
    out.comment = DecodeComment(b + p, commentSize);
  }
  return Status::Ok;
}

}  // namespace ace

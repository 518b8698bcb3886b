// The archive checksum: reflected CRC-32 (0xEDB88320) started at 0xFFFFFFFF and
// never inverted at the end. Header checks use its low 16 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ace {

constexpr std::uint32_t kCrcStart = 0xFFFFFFFFu;

std::uint32_t CrcUpdate(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
// The plain table-driven routine (CrcUpdate may use a faster one on this machine).
std::uint32_t CrcTable(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  return CrcUpdate(kCrcStart, data, size);
}

}  // namespace ace

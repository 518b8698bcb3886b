// The archive's checksum: reflected CRC-32 (0xEDB88320), register preset to all
// ones and no final inversion. Headers keep only its low 16 bits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace acewriter {

inline constexpr std::uint32_t kAceCrcStart = 0xFFFFFFFFu;

inline const std::array<std::uint32_t, 256>& AceCrcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t r = n;
      for (int k = 0; k < 8; ++k) r = (r & 1u) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
      t[n] = r;
    }
    return t;
  }();
  return table;
}

// Continues a running checksum over `bytes`.
inline std::uint32_t AceCrcUpdate(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  const auto& t = AceCrcTable();
  for (std::uint8_t b : bytes) crc = t[(crc ^ b) & 0xFFu] ^ (crc >> 8);
  return crc;
}

inline std::uint32_t AceCrc(std::span<const std::uint8_t> bytes) {
  return AceCrcUpdate(kAceCrcStart, bytes);
}

}  // namespace acewriter

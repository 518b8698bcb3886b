#include "crc32.h"

#include <array>

namespace ace {
namespace {

// Slicing-by-4 tables, built at compile time.
constexpr std::array<std::array<std::uint32_t, 256>, 4> MakeTables() {
  std::array<std::array<std::uint32_t, 256>, 4> t{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t r = n;
    for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    t[0][n] = r;
  }
  for (std::uint32_t n = 0; n < 256; ++n) {
    for (int s = 1; s < 4; ++s) t[s][n] = (t[s - 1][n] >> 8) ^ t[0][t[s - 1][n] & 0xFF];
  }
  return t;
}

constexpr auto kTables = MakeTables();

}  // namespace

std::uint32_t CrcUpdate(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
  while (n >= 4) {
    c ^= std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
    c = kTables[3][c & 0xFF] ^ kTables[2][(c >> 8) & 0xFF] ^ kTables[1][(c >> 16) & 0xFF] ^
        kTables[0][c >> 24];
    p += 4;
    n -= 4;
  }
  while (n--) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}

}  // namespace ace

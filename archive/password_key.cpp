#include "password_key.h"

#include <cstring>

namespace ace {
namespace {

constexpr std::uint32_t RotateLeft(std::uint32_t v, int n) { return v << n | v >> (32 - n); }

}  // namespace

PasswordKey KeyFromPassword(std::string_view password) {
  const std::size_t length = password.size() < kPasswordBytes ? password.size() : kPasswordBytes;
  // The block: the password, a 0x80 marker, zeros to 60 bytes, then the bit count.
  std::uint8_t block[60] = {};
  std::memcpy(block, password.data(), length);
  block[length] = 0x80;
  std::uint32_t w[80];
  for (int i = 0; i < 15; ++i) {
    const std::uint8_t* p = block + 4 * i;
    w[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
  }
  w[15] = std::uint32_t(length * 8);
  for (int i = 16; i < 80; ++i) w[i] = w[i - 16] ^ w[i - 14] ^ w[i - 8] ^ w[i - 3];

  static constexpr PasswordKey kStart = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u,
                                         0xC3D2E1F0u};
  std::uint32_t a = kStart[0], b = kStart[1], c = kStart[2], d = kStart[3], e = kStart[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    const std::uint32_t t = RotateLeft(a, 5) + f + e + w[i] + k;
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = t;
  }
  return {a + kStart[0], b + kStart[1], c + kStart[2], d + kStart[3], e + kStart[4]};
}

}  // namespace ace

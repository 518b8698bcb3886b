#include "crc32.h"

#include <array>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ACE_CRC_CLMUL 1
#endif

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

#ifdef ACE_CRC_CLMUL
std::uint32_t CrcTableLocal(std::uint32_t c, const std::uint8_t* p, std::size_t n);

// Carry-less multiplication folding: 64 bytes per round in four lanes, then the
// lanes are folded into one, reduced to 64 and finally (Barrett) to 32 bits. The
// constants are powers of x modulo the bit-reflected polynomial.
#define ACE_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

ACE_CLMUL_TARGET inline __m128i Load(const std::uint8_t* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// x (two 64-bit halves) times the two constants of k, plus the next data.
ACE_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i data) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)),
                       data);
}

// Folds four lanes that stand 16 bytes apart (x1 first) and the rest of the data
// into the 32-bit checksum.
ACE_CLMUL_TARGET std::uint32_t FinishFold(__m128i x1, __m128i x2, __m128i x3, __m128i x4,
                                          const std::uint8_t* p, std::size_t n) {
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
  const __m128i poly = _mm_set_epi64x(0x1F7011641, 0x1DB710641);  // hi: mu, lo: P
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  __m128i x = Fold(x1, k3k4, x2);
  x = Fold(x, k3k4, x3);
  x = Fold(x, k3k4, x4);
  while (n >= 16) {
    x = Fold(x, k3k4, Load(p));
    p += 16;
    n -= 16;
  }
  // 128 -> 64 bits.
  __m128i t = _mm_xor_si128(_mm_clmulepi64_si128(x, k3k4, 0x10), _mm_srli_si128(x, 8));
  // 64 -> 32 bits.
  t = _mm_xor_si128(_mm_srli_si128(t, 4), _mm_clmulepi64_si128(_mm_and_si128(t, low32), k5, 0x00));
  // Barrett reduction.
  __m128i b = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x10);
  b = _mm_clmulepi64_si128(_mm_and_si128(b, low32), poly, 0x00);
  t = _mm_xor_si128(t, b);
  const std::uint32_t crc = std::uint32_t(_mm_extract_epi32(t, 1));
  return CrcTableLocal(crc, p, n);
}

ACE_CLMUL_TARGET std::uint32_t FoldCrc(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(int(crc)));
  __m128i x2 = Load(p + 16);
  __m128i x3 = Load(p + 32);
  __m128i x4 = Load(p + 48);
  p += 64;
  n -= 64;
  while (n >= 64) {
    x1 = Fold(x1, k1k2, Load(p));
    x2 = Fold(x2, k1k2, Load(p + 16));
    x3 = Fold(x3, k1k2, Load(p + 32));
    x4 = Fold(x4, k1k2, Load(p + 48));
    p += 64;
    n -= 64;
  }
  return FinishFold(x1, x2, x3, x4, p, n);
}

// The same folding on 512-bit registers: four of them take 256 bytes per round,
// each of their 16-byte lanes moved forward by 2048 bits, then they are folded
// into one (by 512 bits) and its four lanes finish as above.
#define ACE_WIDE_TARGET __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

ACE_WIDE_TARGET inline __m512i Load512(const std::uint8_t* q) { return _mm512_loadu_si512(q); }

ACE_WIDE_TARGET inline __m512i Fold512(__m512i x, __m512i k, __m512i data) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                   _mm512_clmulepi64_epi128(x, k, 0x11), data, 0x96);
}

ACE_WIDE_TARGET std::uint32_t WideFoldCrc(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  // Per lane (lo, hi): x^(d+32) and x^(d-32) modulo P, reflected, for d = 2048 and 512.
  const __m512i k2048 = _mm512_set_epi64(0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a,
                                         0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a);
  const __m512i k512 = _mm512_set_epi64(0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4,
                                        0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4);
  __m512i z0 = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(int(crc))));
  __m512i z1 = Load512(p + 64);
  __m512i z2 = Load512(p + 128);
  __m512i z3 = Load512(p + 192);
  p += 256;
  n -= 256;
  while (n >= 256) {
    z0 = Fold512(z0, k2048, Load512(p));
    z1 = Fold512(z1, k2048, Load512(p + 64));
    z2 = Fold512(z2, k2048, Load512(p + 128));
    z3 = Fold512(z3, k2048, Load512(p + 192));
    p += 256;
    n -= 256;
  }
  __m512i z = Fold512(z0, k512, z1);
  z = Fold512(z, k512, z2);
  z = Fold512(z, k512, z3);
  while (n >= 64) {
    z = Fold512(z, k512, Load512(p));
    p += 64;
    n -= 64;
  }
  alignas(64) std::uint8_t lanes[64];
  _mm512_store_si512(lanes, z);
  return FinishFold(Load(lanes), Load(lanes + 16), Load(lanes + 32), Load(lanes + 48), p, n);
}

// The same on 256-bit registers, for processors that multiply carry-less on them
// without the 512-bit set: eight registers take 256 bytes per round, each 16-byte
// lane moved forward by 2048 bits; they are then folded pairwise (by 1024, then by
// 512 bits) into two, whose four lanes finish as above.
#define ACE_YMM_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))

ACE_YMM_TARGET inline __m256i Load256(const std::uint8_t* q) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}

ACE_YMM_TARGET inline __m256i Fold256(__m256i x, __m256i k, __m256i data) {
  return _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), data),
                          _mm256_clmulepi64_epi128(x, k, 0x11));
}

ACE_YMM_TARGET std::uint32_t YmmFoldCrc(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
  const __m256i k2048 = _mm256_set_epi64x(0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a);
  const __m256i k1024 = _mm256_set_epi64x(0x14a7fe880, 0x1e88ef372, 0x14a7fe880, 0x1e88ef372);
  const __m256i k512 = _mm256_set_epi64x(0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4);
  __m256i y[8];
  for (int i = 0; i < 8; ++i) y[i] = Load256(p + 32 * i);
  y[0] = _mm256_xor_si256(y[0], _mm256_zextsi128_si256(_mm_cvtsi32_si128(int(crc))));
  p += 256;
  n -= 256;
  while (n >= 256) {
    for (int i = 0; i < 8; ++i) y[i] = Fold256(y[i], k2048, Load256(p + 32 * i));
    p += 256;
    n -= 256;
  }
  for (int i = 0; i < 4; ++i) y[i + 4] = Fold256(y[i], k1024, y[i + 4]);
  y[6] = Fold256(y[4], k512, y[6]);
  y[7] = Fold256(y[5], k512, y[7]);
  return FinishFold(_mm256_castsi256_si128(y[6]), _mm256_extracti128_si256(y[6], 1), _mm256_castsi256_si128(y[7]),
                    _mm256_extracti128_si256(y[7], 1), p, n);
}

bool HaveYmm() {
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq") &&
                           __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}

bool HaveWide() {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                           __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("pclmul") &&
                           __builtin_cpu_supports("sse4.1");
  return have;
}

bool HaveClmul() {
  static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}
#endif

}  // namespace

std::uint32_t CrcTable(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
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

#ifdef ACE_CRC_CLMUL
namespace {
std::uint32_t CrcTableLocal(std::uint32_t c, const std::uint8_t* p, std::size_t n) { return CrcTable(c, p, n); }
}  // namespace
#endif

std::uint32_t CrcUpdate(std::uint32_t c, const std::uint8_t* p, std::size_t n) {
#ifdef ACE_CRC_CLMUL
  if (n >= 256 && HaveWide()) return WideFoldCrc(c, p, n);
  if (n >= 256 && HaveYmm()) return YmmFoldCrc(c, p, n);
  if (n >= 64 && HaveClmul()) return FoldCrc(c, p, n);
#endif
  return CrcTable(c, p, n);
}

}  // namespace ace

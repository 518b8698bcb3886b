// Vector row loops of the blend (x86-64: SSE2 always, AVX2 when the processor has it).
// Each loop produces exactly the pixels of the scalar loops in blend_kernels.h, which
// also finish the last pixels of a run that do not fill a whole register.
//
// 24 and 32-bit formats: every channel is one byte, so a run is a byte array and the
// combination is done on all bytes at once; in 32-bit the byte that is no channel is
// cleared afterwards. 16-bit formats: each channel is taken out of the 16-bit lanes,
// combined at the top of the lane and put back.
#include "blend_kernels.h"

#if defined(__x86_64__) || defined(_M_X64)
#define BLEND_HAVE_X86 1
#include <immintrin.h>
#else
#define BLEND_HAVE_X86 0
#endif

namespace blend_detail {

#if BLEND_HAVE_X86

namespace {

// ---- SSE2 ----

// (s * alpha) >> 8 for every byte: s moved to the high byte of a 16-bit lane times
// alpha, high half of the product.
inline __m128i ScaleBytes(__m128i s, __m128i alpha16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, s), alpha16);
  const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, s), alpha16);
  return _mm_packus_epi16(lo, hi);
}

template <class Format, bool Scaled>
void BytesRowSse2(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha, std::uint32_t key) {
  constexpr int bytes = Format::BytesPerPixel;
  static_assert(bytes == 3 || bytes == 4);
  const std::uint32_t keep32 = Format::Red.Mask | Format::Green.Mask | Format::Blue.Mask;
  const __m128i keep = _mm_set1_epi32(bytes == 4 ? int(keep32) : -1);
  const __m128i alpha16 = _mm_set1_epi16(std::int16_t(alpha));
  const int total = count * bytes;
  int i = 0;
  for (; i + 16 <= total; i += 16) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i x = Scaled ? ScaleBytes(s, alpha16) : s;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_and_si128(_mm_adds_epu8(x, d), keep));
  }
  if constexpr (bytes == 4) {
    AddRow<Format, Scaled, false>(dst + i, src + i, (total - i) / 4, alpha, key);
  } else {
    // Every byte of a 24-bit pixel is a channel, so the rest can stop mid-pixel.
    for (; i < total; ++i) dst[i] = std::uint8_t(Combine<Scaled>(src[i], dst[i], std::uint32_t(alpha)));
  }
}

// 16-bit channels are worked on at the top of their lane: shifted up so that the
// channel's top bit is bit 15, its 8-bit value is the lane's high byte and the low byte
// is zero. The scaled value is then the high half of lane times Alpha, and a saturating
// 16-bit add of two such lanes leaves min(255, sum) in the high byte.
template <std::uint32_t Mask>
struct TTopAligned {
  static constexpr int Up = 16 - (TChannel{Mask}.Low() + TChannel{Mask}.Bits());
  static constexpr std::uint16_t Top = std::uint16_t(Mask << Up);
  static constexpr bool BitsBelow = TChannel{Mask}.Low() != 0;  // other channels below it
  static_assert(TChannel{Mask}.Bits() <= 8 && Up >= 0);
};

template <std::uint32_t Mask, bool Scaled>
inline __m128i Channel16Sse2(__m128i s, __m128i d, __m128i alpha16) {
  using C = TTopAligned<Mask>;
  const __m128i top = _mm_set1_epi16(std::int16_t(C::Top));
  __m128i st = C::Up ? _mm_slli_epi16(s, C::Up) : s;
  __m128i dt = C::Up ? _mm_slli_epi16(d, C::Up) : d;
  if constexpr (C::BitsBelow) {
    st = _mm_and_si128(st, top);
    dt = _mm_and_si128(dt, top);
  }
  const __m128i x = Scaled ? _mm_slli_epi16(_mm_mulhi_epu16(st, alpha16), 8) : st;
  __m128i r = _mm_adds_epu16(x, dt);
  // Keep the channel's bits; moving it back down drops the rest when nothing lies below.
  if constexpr (C::BitsBelow) r = _mm_and_si128(r, top);
  return C::Up ? _mm_srli_epi16(r, C::Up) : r;
}

template <class Format, bool Scaled>
void Row16Sse2(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha, std::uint32_t key) {
  static_assert(Format::BytesPerPixel == 2);
  const __m128i alpha16 = _mm_set1_epi16(std::int16_t(alpha));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 2 * i));
    const __m128i r = _mm_or_si128(_mm_or_si128(Channel16Sse2<Format::Red.Mask, Scaled>(s, d, alpha16),
                                                Channel16Sse2<Format::Green.Mask, Scaled>(s, d, alpha16)),
                                   Channel16Sse2<Format::Blue.Mask, Scaled>(s, d, alpha16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), r);
  }
  AddRow<Format, Scaled, false>(dst + 2 * i, src + 2 * i, count - i, alpha, key);
}

// ---- AVX2: the same loops on 256-bit registers ----
// (The 128-bit halves of the unpack and pack instructions pair up, so the byte order
// comes back unchanged.)

#define BLEND_AVX2 __attribute__((target("avx2")))

BLEND_AVX2 inline __m256i ScaleBytesAvx2(__m256i s, __m256i alpha16) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, s), alpha16);
  const __m256i hi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, s), alpha16);
  return _mm256_packus_epi16(lo, hi);
}

template <class Format, bool Scaled>
BLEND_AVX2 void BytesRowAvx2(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha,
                             std::uint32_t key) {
  constexpr int bytes = Format::BytesPerPixel;
  static_assert(bytes == 3 || bytes == 4);
  const std::uint32_t keep32 = Format::Red.Mask | Format::Green.Mask | Format::Blue.Mask;
  const __m256i keep = _mm256_set1_epi32(bytes == 4 ? int(keep32) : -1);
  const __m256i alpha16 = _mm256_set1_epi16(std::int16_t(alpha));
  const int total = count * bytes;
  int i = 0;
  for (; i + 32 <= total; i += 32) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
    const __m256i x = Scaled ? ScaleBytesAvx2(s, alpha16) : s;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_and_si256(_mm256_adds_epu8(x, d), keep));
  }
  // The 128-bit loops below run without the VEX encoding: clear the upper halves first,
  // or every one of their instructions waits on them.
  _mm256_zeroupper();
  if constexpr (bytes == 4) {
    BytesRowSse2<Format, Scaled>(dst + i, src + i, (total - i) / 4, alpha, key);
  } else {
    // Whole 24-bit pixels for the 128-bit loop, which finishes byte by byte.
    const int left = (total - i) / 3;
    BytesRowSse2<Format, Scaled>(dst + i, src + i, left, alpha, key);
    for (i += left * 3; i < total; ++i) dst[i] = std::uint8_t(Combine<Scaled>(src[i], dst[i], std::uint32_t(alpha)));
  }
}

template <std::uint32_t Mask, bool Scaled>
BLEND_AVX2 inline __m256i Channel16Avx2(__m256i s, __m256i d, __m256i alpha16) {
  using C = TTopAligned<Mask>;
  const __m256i top = _mm256_set1_epi16(std::int16_t(C::Top));
  __m256i st = C::Up ? _mm256_slli_epi16(s, C::Up) : s;
  __m256i dt = C::Up ? _mm256_slli_epi16(d, C::Up) : d;
  if constexpr (C::BitsBelow) {
    st = _mm256_and_si256(st, top);
    dt = _mm256_and_si256(dt, top);
  }
  const __m256i x = Scaled ? _mm256_slli_epi16(_mm256_mulhi_epu16(st, alpha16), 8) : st;
  __m256i r = _mm256_adds_epu16(x, dt);
  if constexpr (C::BitsBelow) r = _mm256_and_si256(r, top);
  return C::Up ? _mm256_srli_epi16(r, C::Up) : r;
}

template <class Format, bool Scaled>
BLEND_AVX2 void Row16Avx2(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha, std::uint32_t key) {
  static_assert(Format::BytesPerPixel == 2);
  const __m256i alpha16 = _mm256_set1_epi16(std::int16_t(alpha));
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i));
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 2 * i));
    const __m256i r =
        _mm256_or_si256(_mm256_or_si256(Channel16Avx2<Format::Red.Mask, Scaled>(s, d, alpha16),
                                        Channel16Avx2<Format::Green.Mask, Scaled>(s, d, alpha16)),
                        Channel16Avx2<Format::Blue.Mask, Scaled>(s, d, alpha16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i), r);
  }
  _mm256_zeroupper();  // as above
  Row16Sse2<Format, Scaled>(dst + 2 * i, src + 2 * i, count - i, alpha, key);
}

#undef BLEND_AVX2

}  // namespace

TRowFn Sse2Row(TFixedFormat format, bool scaled) {
  switch (format) {
    case TFixedFormat::Rgb565: return scaled ? &Row16Sse2<TRgb565, true> : &Row16Sse2<TRgb565, false>;
    case TFixedFormat::Rgb555: return scaled ? &Row16Sse2<TRgb555, true> : &Row16Sse2<TRgb555, false>;
    case TFixedFormat::Rgb888: return scaled ? &BytesRowSse2<TRgb888, true> : &BytesRowSse2<TRgb888, false>;
    case TFixedFormat::Xrgb8888: return scaled ? &BytesRowSse2<TXrgb8888, true> : &BytesRowSse2<TXrgb8888, false>;
  }
  return nullptr;
}

TRowFn Avx2Row(TFixedFormat format, bool scaled) {
  switch (format) {
    case TFixedFormat::Rgb565: return scaled ? &Row16Avx2<TRgb565, true> : &Row16Avx2<TRgb565, false>;
    case TFixedFormat::Rgb555: return scaled ? &Row16Avx2<TRgb555, true> : &Row16Avx2<TRgb555, false>;
    case TFixedFormat::Rgb888: return scaled ? &BytesRowAvx2<TRgb888, true> : &BytesRowAvx2<TRgb888, false>;
    case TFixedFormat::Xrgb8888: return scaled ? &BytesRowAvx2<TXrgb8888, true> : &BytesRowAvx2<TXrgb8888, false>;
  }
  return nullptr;
}

bool CpuHasSse2() { return true; }  // part of every x86-64 processor
bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#else  // no vector loops on this processor family

TRowFn Sse2Row(TFixedFormat, bool) { return nullptr; }
TRowFn Avx2Row(TFixedFormat, bool) { return nullptr; }
bool CpuHasSse2() { return false; }
bool CpuHasAvx2() { return false; }

#endif

}  // namespace blend_detail

#include "pic_decoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "cpu_dispatch.h"

namespace ace {
namespace {

int SByte(int x) { return int(std::int8_t(std::uint8_t(x & 0xFF))); }

// g(d) for d in -255..255, indexed by d + 255.
constexpr std::array<std::int8_t, 511> MakeQuantiser() {
  std::array<std::int8_t, 511> t{};
  for (int d = -255; d <= 255; ++d) {
    int g;
    if (d <= -21) g = -4;
    else if (d <= -7) g = -3;
    else if (d <= -3) g = -2;
    else if (d <= -1) g = -1;
    else if (d == 0) g = 0;
    else if (d <= 2) g = 1;
    else if (d <= 6) g = 2;
    else if (d <= 20) g = 3;
    else g = 4;
    t[std::size_t(d + 255)] = std::int8_t(g);
  }
  return t;
}
constexpr auto kQuantiser = MakeQuantiser();

inline int Quantise(int d) { return kQuantiser[std::size_t(d + 255)]; }

// What a prediction error costs, bitlen(z(sbyte(b))) with z the sign fold, for
// every byte b.
constexpr std::array<std::uint8_t, 256> MakeErrorCost() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const int y = b < 128 ? b : b - 256;
    const unsigned z = unsigned(y >= 0 ? 2 * y : -2 * y - 1);
    t[std::size_t(b)] = std::uint8_t(std::bit_width(z));
  }
  return t;
}
constexpr auto kErrorCost = MakeErrorCost();

// By value, so that the choice stays in registers.
inline int Smaller(int x, int y) { return y < x ? y : x; }

// The neighbour transform of a previous-row pixel a against the pixel r before it.
template <int kKind>
inline int Transform(int a, int r) {
  if constexpr (kKind == 0) return a;
  else if constexpr (kKind == 1) return (128 + a - r) & 0xFF;
  else return (128 + a - ((11 * SByte(r)) >> 4)) & 0xFF;
}

}  // namespace

// Without the division: with d the difference of the two bit lengths the
// quotient has d or d + 1 binary digits, and one comparison tells. An average of 0
// counts as 1 digit here, which gives the same answer, 0, and spares the test for
// zero.
int RiceParameter(int average, int uses) {
  int d = std::countl_zero(unsigned(uses) | 1u) - std::countl_zero(unsigned(average) | 1u);
  if (d < 0) d = 0;
  return (uses << d) <= average ? d + 1 : d;
}

bool PicDecoder::Start(BitReader& br, std::uint64_t maxWidth) {
  std::uint32_t w = 0, n = 0;
  if (!ReadGolombRice(br, 12, kMaxRow, w)) return false;
  if (!ReadGolombRice(br, 2, kMaxRow, n)) return false;
  if (w == 0 || n == 0 || w > maxWidth || std::uint64_t(w) + n > kMaxRow) return false;
  width_ = w;
  planes_ = n;
  first_.assign(365, Context{});
  shared_.assign(365, Context{});
  prev_.assign(std::size_t(w) + n, 0);
  row_.assign(std::size_t(w) + n, 0);
  near_.assign(std::size_t(w), 0);
  return true;
}

PicDecoder::Result PicDecoder::NextRow(BitReader& br) {
  if (br.Read(1) == 0) return br.overflow() ? Result::Error : Result::ModeInstruction;
  std::fill(row_.begin(), row_.end(), 0);
  for (std::uint32_t p = 0; p < planes_; ++p) {
    int kind = 0;
    if (p > 0) {
      kind = int(br.Read(2));
      if (kind == 3) return Result::Error;
    }
    const bool ok = kind == 0   ? DecodePlane<0>(br, p)
                    : kind == 1 ? DecodePlane<1>(br, p)
                                : DecodePlane<2>(br, p);
    if (!ok) return Result::Error;
  }
  if (br.overflow()) return Result::Error;
  prev_.swap(row_);
  return Result::Row;
}

template <int kKind>
ACE_DISPATCHED bool PicDecoder::DecodePlane(BitReader& br, std::uint32_t p) {
  Context* __restrict table = (p == 0 ? first_ : shared_).data();
  const std::uint8_t* __restrict prev = prev_.data();
  const std::uint32_t planes = planes_;
  const std::uint32_t count = (width_ - p + planes - 1) / planes;
  const int start = kKind == 0 ? 0 : 128;
  // Everything that comes from the previous row is worked out first, so that the
  // loop that reads the stream only does what depends on the pixel just decoded.
  // For each pixel one word holds the transformed pixels above (A) and above-left
  // (C) and the part of the context number that A, C and the pixel above-right
  // decide: A | C << 8 | (partial + 512) << 16.
  std::uint32_t* __restrict near = near_.data();
  int c = start;
  int a = Transform<kKind>(prev[p], p > 0 ? prev[p - 1] : 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t next = p + (i + 1) * planes;
    const int d = Transform<kKind>(prev[next], prev[next - 1]);
    const int partial = 81 * Quantise(d - a) + 9 * Quantise(a - c);
    near[i] = std::uint32_t(a) | std::uint32_t(c) << 8 | std::uint32_t(partial + 512) << 16;
    c = a;
    a = d;
  }
  BitCursor bits(br);
  std::uint8_t* __restrict out = row_.data() + p;
  int b = start;
  for (const std::uint32_t* end = near + count; near != end; ++near, out += planes) {
    const std::uint32_t n = *near;
    const int above = int(n & 0xFF);
    const int aboveLeft = int(n >> 8 & 0xFF);
    const int ctx = std::abs(int(n >> 16) - 512 + Quantise(aboveLeft - b));
    Context& cx = table[ctx];
    const int uses = ++cx.uses;
    const int k = cx.rice;
    if (k > 24) return false;
    // The residual's Golomb-Rice code in one look when all of it is among the bits
    // at hand: k plain bits, then ones ended by a zero.
    bits.Ensure33();
    const std::uint64_t window = bits.window();
    const std::uint32_t plain = std::uint32_t((window >> 1) >> (63 - k));
    const int ones = std::countl_one(window << k);
    std::uint32_t folded = plain + (std::uint32_t(ones) << k);
    if (k + ones + 1 <= bits.available() && folded <= 255) [[likely]] {
      bits.Consume(k + ones + 1);
    } else if (!ReadGolombRice(bits, k, 255, folded)) {
      return false;
    }
    // Unfolded without a branch: odd values are the negative ones, -(v + 1) / 2.
    const int e = int(folded >> 1) ^ -int(folded & 1);
    const int predictions[4] = {above, b, (above + b) >> 1, (above + b - aboveLeft) & 0xFF};
    const int chosen = cx.predictor;
    const int predicted = chosen < 2 ? (chosen == 0 ? predictions[0] : predictions[1])
                                     : (chosen == 2 ? predictions[2] : predictions[3]);
    const int x = (predicted + e) & 0xFF;
    cx.average += std::abs(e);
    if (uses == 128) {
      cx.uses = 64;
      cx.average >>= 1;
    }
    // Worked out now, while the next pixel's context is still being found.
    cx.rice = RiceParameter(cx.average, cx.uses + 1);
    // The four counters side by side, one byte each: none passes 127 + 8 before
    // the halving, so the bytes never carry into each other.
    std::uint32_t errors =
        cx.errors + (std::uint32_t(kErrorCost[std::size_t((x - predictions[0]) & 0xFF)]) |
                     std::uint32_t(kErrorCost[std::size_t((x - predictions[1]) & 0xFF)]) << 8 |
                     std::uint32_t(kErrorCost[std::size_t((x - predictions[2]) & 0xFF)]) << 16 |
                     std::uint32_t(kErrorCost[std::size_t((x - predictions[3]) & 0xFF)]) << 24);
    // The smallest counter wins, the lower number on ties: the minimum of counter
    // and number side by side, without branches (which would guess wrong often).
    const int e0 = int(errors & 0xFF), e1 = int(errors >> 8 & 0xFF);
    const int e2 = int(errors >> 16 & 0xFF), e3 = int(errors >> 24);
    const int best = Smaller(Smaller(e0 * 4, e1 * 4 + 1), Smaller(e2 * 4 + 2, e3 * 4 + 3));
    cx.predictor = best & 3;
    if (errors & 0x80808080u) errors = errors >> 1 & 0x7F7F7F7Fu;  // one above 127: halve all
    cx.errors = errors;
    if constexpr (kKind == 0) {
      *out = std::uint8_t(x);
    } else if constexpr (kKind == 1) {
      *out = std::uint8_t((x + out[-1] - 128) & 0xFF);
    } else {
      *out = std::uint8_t((x + ((11 * SByte(out[-1])) >> 4) - 128) & 0xFF);
    }
    b = x;
  }
  return true;
}

}  // namespace ace

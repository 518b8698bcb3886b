#include "pic_decoder.h"

#include <bit>
#include <cstdlib>

namespace ace {
namespace {

int SByte(int x) { return int(std::int8_t(std::uint8_t(x & 0xFF))); }

int BitLength(unsigned x) { return int(std::bit_width(x)); }

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

int Fold(int y) { return y >= 0 ? 2 * y : -2 * y - 1; }

}  // namespace

bool ReadGolombRice(BitReader& br, int k, std::uint32_t limit, std::uint32_t& value) {
  std::uint32_t v = br.Read(k);
  // The run of ones is counted in one look at the next 32 bits (zero past the end,
  // so a run never reaches beyond it); runs of 32 and more take the loop below.
  const int ones = std::countl_one(br.Peek(32));
  if (ones < 32 && k < 32) {
    const std::uint32_t step = 1u << k;
    if (v > limit) {  // over already: the next bit ends the reading either way
      if (ones == 0) value = v;
      br.Skip(1);
      return false;
    }
    // The first one that would take the value over the limit ends the reading there.
    const std::uint32_t allowed = (limit - v) / step;
    if (std::uint32_t(ones) > allowed) {
      br.Skip(int(allowed) + 1);
      return false;
    }
    br.Skip(ones + 1);
    v += std::uint32_t(ones) << k;
    value = v;
    return !br.overflow();
  }
  while (br.Read(1) == 1) {
    if (br.overflow()) return false;
    v += 1u << k;
    if (v > limit) return false;
  }
  value = v;
  return !br.overflow() && v <= limit;
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
    if (!DecodePlane(br, p, kind)) return Result::Error;
  }
  if (br.overflow()) return Result::Error;
  prev_.swap(row_);
  return Result::Row;
}

bool PicDecoder::DecodePlane(BitReader& br, std::uint32_t p, int kind) {
  std::vector<Context>& table = p == 0 ? first_ : shared_;
  const std::uint8_t* prev = prev_.data();
  std::uint8_t* row = row_.data();
  auto transform = [kind](int a, int r) {
    switch (kind) {
      case 0: return a;
      case 1: return (128 + a - r) & 0xFF;
      default: return (128 + a - ((11 * SByte(r)) >> 4)) & 0xFF;
    }
  };
  const int start = kind == 0 ? 0 : 128;
  int a = start, b = start, c = start, x = start;
  int d = transform(prev[p], p > 0 ? prev[p - 1] : 0);
  for (std::uint32_t pos = p; pos < width_; pos += planes_) {
    c = a;
    a = d;
    b = x;
    d = transform(prev[pos + planes_], prev[pos + planes_ - 1]);
    const int ctx = std::abs(81 * Quantise(d - a) + 9 * Quantise(a - c) + Quantise(c - b));
    Context& cx = table[ctx];
    ++cx.uses;
    const int k = BitLength(unsigned(cx.average / cx.uses));
    std::uint32_t folded = 0;
    if (k > 24 || !ReadGolombRice(br, k, 255, folded)) return false;
    const int e = (folded & 1) ? -int((folded + 1) >> 1) : int(folded >> 1);
    const int predictions[4] = {a, b, (a + b) >> 1, (a + b - c) & 0xFF};
    x = (predictions[cx.predictor] + e) & 0xFF;
    cx.average += std::abs(e);
    if (cx.uses == 128) {
      cx.uses = 64;
      cx.average >>= 1;
    }
    int best = 0;
    bool halve = false;
    for (int i = 0; i < 4; ++i) {
      cx.errors[i] += BitLength(unsigned(Fold(SByte(x - predictions[i]))));
      if (cx.errors[i] < cx.errors[best]) best = i;
      if (cx.errors[i] > 127) halve = true;
    }
    cx.predictor = best;
    if (halve) {
      for (int& v : cx.errors) v >>= 1;
    }
    switch (kind) {
      case 0: row[pos] = std::uint8_t(x); break;
      case 1: row[pos] = std::uint8_t((x + row[pos - 1] - 128) & 0xFF); break;
      default: row[pos] = std::uint8_t((x + ((11 * SByte(row[pos - 1])) >> 4) - 128) & 0xFF); break;
    }
  }
  return true;
}

}  // namespace ace

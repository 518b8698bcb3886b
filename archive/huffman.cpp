#include "huffman.h"

#include <algorithm>
#include <utility>

namespace ace {
namespace {

// Keys and symbols travel together as key << 16 | symbol, so that an exchange
// moves one word; comparisons look at the key only.
inline int Key(std::uint32_t v) { return int(v >> 16); }

void Sort(std::uint32_t* v, int lo, int hi) {
  int i = lo, j = hi;
  const int pivot = Key(v[hi]);
  for (;;) {
    while (Key(v[i]) > pivot) ++i;
    while (Key(v[j]) < pivot) --j;
    if (i <= j) {
      std::swap(v[i], v[j]);
      ++i;
      --j;
    }
    if (i >= j) break;
  }
  if (lo < j) {
    if (lo < j - 1) {
      Sort(v, lo, j);
    } else if (Key(v[lo]) < Key(v[j])) {
      std::swap(v[lo], v[j]);
    }
  }
  if (i < hi) {
    if (i < hi - 1) {
      Sort(v, i, hi);
    } else if (Key(v[i]) < Key(v[hi])) {
      std::swap(v[i], v[hi]);
    }
  }
}

constexpr int kMaxList = 512;

}  // namespace

void SortWidths(std::vector<int>& keys, std::vector<int>& symbols) {
  const int n = int(keys.size());
  if (n < 2) return;
  std::vector<std::uint32_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = std::uint32_t(keys[i]) << 16 | std::uint32_t(symbols[i]);
  Sort(v.data(), 0, n - 1);
  for (int i = 0; i < n; ++i) {
    keys[i] = Key(v[i]);
    symbols[i] = int(v[i] & 0xFFFF);
  }
}

bool HuffmanTable::Build(const int* widths, int n, int maxWidth) {
  maxWidth_ = maxWidth;
  if (maxWidth > kMaxWidth) maxWidth_ = maxWidth = kMaxWidth;
  const std::uint32_t size = 1u << maxWidth;
  if (n <= 0 || n > kMaxList) {
    std::fill(table_.begin(), table_.begin() + size, kUnassigned);
    return false;
  }
  std::uint32_t v[kMaxList];
  for (int i = 0; i < n; ++i) {
    if (widths[i] < 0 || widths[i] > maxWidth) {
      std::fill(table_.begin(), table_.begin() + size, kUnassigned);
      return false;
    }
    v[i] = std::uint32_t(widths[i]) << 16 | std::uint32_t(i);
  }
  if (n > 1) Sort(v, 0, n - 1);
  int used = 0;
  while (used < n && Key(v[used]) != 0) ++used;
  const bool degenerate = used < 2;
  if (used == 0) used = 1;
  std::uint32_t next = 0;
  for (int j = used - 1; j >= 0; --j) {
    const int width = Key(v[j]);
    const std::uint32_t block = 1u << (maxWidth - width);
    if (block > size - next) {
      std::fill(table_.begin(), table_.begin() + size, kUnassigned);
      return false;
    }
    const int readLength = degenerate ? 1 : width;
    const std::uint16_t e = std::uint16_t((v[j] & 0xFFFF) << 4 | std::uint32_t(readLength));
    std::fill(table_.begin() + next, table_.begin() + next + block, e);
    next += block;
  }
  // What is left over belongs to no symbol (an incomplete code).
  std::fill(table_.begin() + next, table_.begin() + size, kUnassigned);
  return true;
}

bool ReadCode(BitReader& br, int maxWidth, int alphabet, HuffmanTable& out) {
  const int n = int(br.Read(9)) + 1;
  if (n > alphabet) return false;
  const int lo = int(br.Read(4));
  const int hi = int(br.Read(4));
  int small[16];
  for (int k = 0; k <= hi; ++k) small[k] = int(br.Read(3));
  HuffmanTable smallCode;
  if (!smallCode.Build(small, hi + 1, 7)) return false;
  int v[kMaxList];
  int count = 0;
  while (count < n) {
    const int s = smallCode.Decode(br);
    if (s < 0 || br.overflow()) return false;
    if (s < hi) {
      v[count++] = s;
    } else {
      int run = int(br.Read(4)) + 4;
      if (run > n - count) run = n - count;
      for (int k = 0; k < run; ++k) v[count++] = 0;
    }
  }
  if (hi > 0) {
    for (int i = 1; i < n; ++i) v[i] = (v[i] + v[i - 1]) % hi;
  }
  for (int k = 0; k < n; ++k) {
    if (v[k] != 0) v[k] += lo;
    if (v[k] > maxWidth) return false;
  }
  return !br.overflow() && out.Build(v, n, maxWidth);
}

}  // namespace ace

#include "huffman.h"

#include <numeric>
#include <utility>

namespace ace {
namespace {

void Exchange(std::vector<int>& k, std::vector<int>& s, int i, int j) {
  std::swap(k[i], k[j]);
  std::swap(s[i], s[j]);
}

void Sort(std::vector<int>& k, std::vector<int>& s, int lo, int hi) {
  int i = lo, j = hi;
  const int pivot = k[hi];
  for (;;) {
    while (k[i] > pivot) ++i;
    while (k[j] < pivot) --j;
    if (i <= j) {
      Exchange(k, s, i, j);
      ++i;
      --j;
    }
    if (i >= j) break;
  }
  if (lo < j) {
    if (lo < j - 1) {
      Sort(k, s, lo, j);
    } else if (k[lo] < k[j]) {
      Exchange(k, s, lo, j);
    }
  }
  if (i < hi) {
    if (i < hi - 1) {
      Sort(k, s, i, hi);
    } else if (k[i] < k[hi]) {
      Exchange(k, s, i, hi);
    }
  }
}

}  // namespace

void SortWidths(std::vector<int>& keys, std::vector<int>& symbols) {
  if (keys.size() > 1) Sort(keys, symbols, 0, int(keys.size()) - 1);
}

bool HuffmanTable::Build(const std::vector<int>& widths, int maxWidth) {
  maxWidth_ = maxWidth;
  const std::uint32_t size = 1u << maxWidth;
  table_.assign(size, kUnassigned);
  if (widths.empty()) return false;
  std::vector<int> keys = widths;
  std::vector<int> symbols(widths.size());
  std::iota(symbols.begin(), symbols.end(), 0);
  for (int w : keys) {
    if (w < 0 || w > maxWidth) return false;
  }
  SortWidths(keys, symbols);
  int used = 0;
  while (used < int(keys.size()) && keys[used] != 0) ++used;
  const bool degenerate = used < 2;
  if (used == 0) used = 1;
  std::uint32_t next = 0;
  for (int j = used - 1; j >= 0; --j) {
    const std::uint32_t block = 1u << (maxWidth - keys[j]);
    if (block > size - next) return false;
    const int readLength = degenerate ? 1 : keys[j];
    const std::uint16_t e = std::uint16_t(symbols[j] << 4 | readLength);
    for (std::uint32_t k = 0; k < block; ++k) table_[next + k] = e;
    next += block;
  }
  return true;
}

bool ReadCode(BitReader& br, int maxWidth, int alphabet, HuffmanTable& out) {
  const int n = int(br.Read(9)) + 1;
  if (n > alphabet) return false;
  const int lo = int(br.Read(4));
  const int hi = int(br.Read(4));
  std::vector<int> small(hi + 1);
  for (int& w : small) w = int(br.Read(3));
  HuffmanTable smallCode;
  if (!smallCode.Build(small, 7)) return false;
  std::vector<int> v;
  v.reserve(n);
  while (int(v.size()) < n) {
    const int s = smallCode.Decode(br);
    if (s < 0 || br.overflow()) return false;
    if (s < hi) {
      v.push_back(s);
    } else {
      int run = int(br.Read(4)) + 4;
      if (run > n - int(v.size())) run = n - int(v.size());
      v.insert(v.end(), run, 0);
    }
  }
  if (hi > 0) {
    for (int i = 1; i < n; ++i) v[i] = (v[i] + v[i - 1]) % hi;
  }
  for (int& w : v) {
    if (w != 0) w += lo;
    if (w > maxWidth) return false;
  }
  return !br.overflow() && out.Build(v, maxWidth);
}

}  // namespace ace

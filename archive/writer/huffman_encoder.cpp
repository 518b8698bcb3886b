#include "huffman_encoder.h"

#include <algorithm>
#include <cassert>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace ace::writer {
namespace {

// Unlimited Huffman lengths for the used symbols, by the two-queue method over
// symbols sorted by ascending count.
std::vector<int> HuffmanLengths(const std::vector<std::uint32_t>& sortedCounts) {
  const std::size_t n = sortedCounts.size();
  std::vector<std::uint64_t> weight(2 * n);
  std::vector<std::size_t> parent(2 * n, 0);
  for (std::size_t i = 0; i < n; ++i) weight[i] = sortedCounts[i];
  std::size_t leaf = 0, inner = n, innerEnd = n;
  auto takeSmallest = [&]() {
    if (leaf < n && (inner >= innerEnd || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (std::size_t k = 0; k + 1 < n; ++k) {
    std::size_t a = takeSmallest();
    std::size_t b = takeSmallest();
    weight[innerEnd] = weight[a] + weight[b];
    parent[a] = parent[b] = innerEnd;
    ++innerEnd;
  }
  std::vector<int> depth(innerEnd, 0);
  for (std::size_t i = innerEnd - 1; i-- > 0;) depth[i] = depth[parent[i]] + 1;
  return {depth.begin(), depth.begin() + static_cast<std::ptrdiff_t>(n)};
}

}  // namespace

std::vector<std::uint8_t> ComputeWidths(std::span<const std::uint32_t> counts, int maxWidth) {
  std::vector<std::uint8_t> widths(counts.size(), 0);
  std::vector<std::uint16_t> used;
  for (std::size_t s = 0; s < counts.size(); ++s)
    if (counts[s] > 0) used.push_back(static_cast<std::uint16_t>(s));
  if (used.empty()) return widths;
  if (used.size() == 1) {
    widths[used[0]] = 1;
    return widths;
  }
  if (used.size() > (std::size_t{1} << maxWidth)) throw std::logic_error("alphabet too large for code width limit");
  std::stable_sort(used.begin(), used.end(),
                   [&](std::uint16_t a, std::uint16_t b) { return counts[a] < counts[b]; });
  std::vector<std::uint32_t> sorted(used.size());
  for (std::size_t i = 0; i < used.size(); ++i) sorted[i] = counts[used[i]];
  std::vector<int> len = HuffmanLengths(sorted);

  // Limit the lengths: count codes per length, fold everything deeper than the limit
  // back while keeping the code complete, then hand the lengths out again with the
  // shortest going to the most frequent symbols.
  int deepest = *std::max_element(len.begin(), len.end());
  if (deepest > maxWidth) {
    std::vector<int> perLength(static_cast<std::size_t>(deepest) + 1, 0);
    for (int l : len) ++perLength[static_cast<std::size_t>(l)];
    for (int i = deepest; i > maxWidth; --i) {
      while (perLength[static_cast<std::size_t>(i)] > 0) {
        int j = i - 2;
        while (perLength[static_cast<std::size_t>(j)] == 0) --j;
        perLength[static_cast<std::size_t>(i)] -= 2;
        perLength[static_cast<std::size_t>(i - 1)] += 1;
        perLength[static_cast<std::size_t>(j + 1)] += 2;
        perLength[static_cast<std::size_t>(j)] -= 1;
      }
    }
    // sorted ascending by count: the least frequent get the longest codes.
    std::size_t k = 0;
    for (int l = maxWidth; l >= 1; --l)
      for (int c = 0; c < perLength[static_cast<std::size_t>(l)]; ++c) len[k++] = l;
    assert(k == len.size());
  }
  for (std::size_t i = 0; i < used.size(); ++i) widths[used[i]] = static_cast<std::uint8_t>(len[i]);
  return widths;
}

namespace {

void SortRange(std::span<std::uint8_t> k, std::span<std::uint16_t> s, int lo, int hi) {
  auto exchange = [&](int a, int b) {
    std::swap(k[static_cast<std::size_t>(a)], k[static_cast<std::size_t>(b)]);
    std::swap(s[static_cast<std::size_t>(a)], s[static_cast<std::size_t>(b)]);
  };
  auto key = [&](int i) { return k[static_cast<std::size_t>(i)]; };
  int i = lo, j = hi;
  const int pivot = key(hi);
  for (;;) {
    while (key(i) > pivot) ++i;
    while (key(j) < pivot) --j;
    if (i <= j) {
      exchange(i, j);
      ++i;
      --j;
    }
    if (i >= j) break;
  }
  if (lo < j) {
    if (lo < j - 1)
      SortRange(k, s, lo, j);
    else if (key(lo) < key(j))
      exchange(lo, j);
  }
  if (i < hi) {
    if (i < hi - 1)
      SortRange(k, s, i, hi);
    else if (key(i) < key(hi))
      exchange(i, hi);
  }
}

}  // namespace

void ReaderSort(std::span<std::uint8_t> keys, std::span<std::uint16_t> symbols) {
  assert(keys.size() == symbols.size());
  if (keys.empty()) return;
  SortRange(keys, symbols, 0, static_cast<int>(keys.size()) - 1);
}

PrefixCode AssignCodes(std::span<const std::uint8_t> widths, int maxWidth) {
  const std::size_t n = widths.size();
  PrefixCode code;
  code.bits.assign(n, 0);
  code.width.assign(n, 0);
  if (n == 0) return code;
  std::vector<std::uint8_t> keys(widths.begin(), widths.end());
  std::vector<std::uint16_t> symbols(n);
  std::iota(symbols.begin(), symbols.end(), std::uint16_t{0});
  ReaderSort(keys, symbols);
  std::size_t used = 0;
  while (used < n && keys[used] != 0) ++used;
  if (used < 2) {
    // The reader reads the first sorted symbol with one bit, code 0.
    if (used == 1) code.width[symbols[0]] = 1;
    return code;
  }
  std::uint32_t next = 0;
  const std::uint32_t limit = 1u << maxWidth;
  for (std::size_t j = used; j-- > 0;) {
    const int w = keys[j];
    if (w > maxWidth) throw std::logic_error("code width above limit");
    code.bits[symbols[j]] = static_cast<std::uint16_t>(next >> (maxWidth - w));
    code.width[symbols[j]] = static_cast<std::uint8_t>(w);
    next += 1u << (maxWidth - w);
    if (next > limit) throw std::logic_error("over-subscribed code widths");
  }
  return code;
}

PrefixCode WriteWidthTable(BitWriter& out, std::span<const std::uint8_t> widths, int maxWidth) {
  std::size_t n = widths.size();
  while (n > 1 && widths[n - 1] == 0) --n;
  if (n == 0) n = 1;
  if (n > 512) throw std::logic_error("width table too long");
  std::span<const std::uint8_t> stored = widths.first(std::min(n, widths.size()));
  std::vector<std::uint8_t> w(stored.begin(), stored.end());
  w.resize(n, 0);

  int minW = 0, maxW = 0;
  for (std::uint8_t x : w) {
    if (x == 0) continue;
    if (x > 11) throw std::logic_error("code width above 11");
    minW = minW == 0 ? x : std::min<int>(minW, x);
    maxW = std::max<int>(maxW, x);
  }
  // Nonzero widths are stored as x - lo in 1..hi-1; 0 stays "unused".
  const int lo = maxW == 0 ? 0 : minW - 1;
  const int hi = maxW == 0 ? 0 : maxW - lo + 1;

  // Differences modulo hi, then runs of zero differences.
  std::vector<int> diff(n);
  int prev = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int v = w[i] == 0 ? 0 : w[i] - lo;
    diff[i] = (i == 0 || hi == 0) ? v : ((v - prev) % hi + hi) % hi;
    prev = v;
  }
  struct Item {
    int symbol;
    int run;  // for the run symbol: zeros it stands for (4..19)
  };
  std::vector<Item> items;
  for (std::size_t i = 0; i < n;) {
    if (diff[i] == 0) {
      std::size_t j = i;
      while (j < n && diff[j] == 0) ++j;
      std::size_t zeros = j - i;
      // At the very end a run may claim more zeros than are left; the reader stops at n.
      while (zeros >= 4 || (zeros > 0 && j == n)) {
        const std::size_t take = std::min<std::size_t>(zeros, 19);
        items.push_back({hi, static_cast<int>(std::max<std::size_t>(take, 4))});
        zeros -= take;
        if (zeros == 0) break;
      }
      for (; zeros > 0; --zeros) items.push_back({0, 0});
      i = j;
    } else {
      items.push_back({diff[i], 0});
      ++i;
    }
  }
  std::vector<std::uint32_t> smallCounts(static_cast<std::size_t>(hi) + 1, 0);
  for (const Item& it : items) ++smallCounts[static_cast<std::size_t>(it.symbol)];
  std::vector<std::uint8_t> smallWidths = ComputeWidths(smallCounts, 7);
  PrefixCode small = AssignCodes(smallWidths, 7);

  out.Put(static_cast<std::uint32_t>(n - 1), 9);
  out.Put(static_cast<std::uint32_t>(lo), 4);
  out.Put(static_cast<std::uint32_t>(hi), 4);
  for (std::uint8_t x : smallWidths) out.Put(x, 3);
  for (const Item& it : items) {
    const auto s = static_cast<std::size_t>(it.symbol);
    out.Put(small.bits[s], small.width[s]);
    if (it.symbol == hi) out.Put(static_cast<std::uint32_t>(it.run - 4), 4);
  }
  PrefixCode code = AssignCodes(w, maxWidth);
  code.bits.resize(widths.size(), 0);
  code.width.resize(widths.size(), 0);
  return code;
}

}  // namespace ace::writer

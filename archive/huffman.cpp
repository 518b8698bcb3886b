#include "huffman.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "cpu_dispatch.h"

namespace ace {
namespace {

// Keys and symbols travel together as key << 16 | symbol, so that an exchange
// moves one word; comparisons look at the key only.
inline int Key(std::uint32_t v) { return int(v >> 16); }

constexpr int kMaxList = 512;

class EqualKeyArrangements;

// How the sort runs: every step of the procedure; with equal-key stretches looked
// up; or, for building a code, also leaving stretches of width 0 as they are (no
// code is assigned to them, and a stretch is not partitioned further).
enum class Order { StepByStep, Exact, ForCodes };

template <Order kOrder>
void Sort(std::uint32_t* v, int lo, int hi, const EqualKeyArrangements* table);

// One partition of [lo, hi] around the key of v[hi], then the two sides.
template <Order kOrder>
ACE_DISPATCHED void Partition(std::uint32_t* v, int lo, int hi, const EqualKeyArrangements* table) {
  int i = lo, j = hi;
  // Whole words against the pivot key's bounds: key > pivot exactly when the word
  // is above `above`, key < pivot exactly when it is below `below`.
  const std::uint32_t below = v[hi] & 0xFFFF0000u;
  const std::uint32_t above = below | 0xFFFFu;
  for (;;) {
    while (v[i] > above) ++i;
    while (v[j] < below) --j;
    if (i <= j) {
      std::swap(v[i], v[j]);
      ++i;
      --j;
    }
    if (i >= j) break;
  }
  if (lo < j) {
    if (lo < j - 1) {
      Sort<kOrder>(v, lo, j, table);
    } else if (Key(v[lo]) < Key(v[j])) {
      std::swap(v[lo], v[j]);
    }
  }
  if (i < hi) {
    if (i < hi - 1) {
      Sort<kOrder>(v, i, hi, table);
    } else if (Key(v[i]) < Key(v[hi])) {
      std::swap(v[i], v[hi]);
    }
  }
}

// Where the procedure leaves the elements of a stretch of n equal keys: it only
// looks at keys, so the arrangement depends on n alone. arrangement(n)[k] is the
// offset, within the stretch, of the element that ends at offset k.
class EqualKeyArrangements {
 public:
  EqualKeyArrangements() : offsets_(std::size_t(kMaxList) * (kMaxList + 1) / 2) {
    // Each length is worked out by one partition step whose two sides are shorter
    // and already known, in increasing order of length.
    std::vector<std::uint32_t> v(kMaxList);
    for (int n = 2; n <= kMaxList; ++n) {
      for (int k = 0; k < n; ++k) v[std::size_t(k)] = 1u << 16 | std::uint32_t(k);
      Partition<Order::Exact>(v.data(), 0, n - 1, this);
      std::uint16_t* out = Slot(n);
      for (int k = 0; k < n; ++k) out[k] = std::uint16_t(v[std::size_t(k)] & 0xFFFF);
      ready_ = n;
    }
  }
  int ready() const { return ready_; }
  const std::uint16_t* arrangement(int n) const { return offsets_.data() + Start(n); }

 private:
  static std::size_t Start(int n) { return std::size_t(n) * std::size_t(n - 1) / 2; }
  std::uint16_t* Slot(int n) { return offsets_.data() + Start(n); }

  std::vector<std::uint16_t> offsets_;
  int ready_ = 1;
};

const EqualKeyArrangements* Arrangements() {
  static const EqualKeyArrangements table;
  return &table;
}

// Kept out of Sort so that the copy does not sit in every frame of the recursion.
__attribute__((noinline)) void Arrange(std::uint32_t* v, int n, const std::uint16_t* from) {
  std::uint32_t copy[kMaxList];
  for (int m = 0; m < n; ++m) copy[m] = v[m];
  for (int m = 0; m < n; ++m) v[m] = copy[from[m]];
}

// `table` gives the arrangements of equal-key stretches (while it is being built,
// only those of the lengths it has so far).
template <Order kOrder>
ACE_DISPATCHED void Sort(std::uint32_t* v, int lo, int hi, const EqualKeyArrangements* table) {
  if constexpr (kOrder != Order::StepByStep) {
    const std::uint32_t first = v[lo];
    if (((first ^ v[hi]) >> 16) == 0) {
      int k = lo + 1;
      while (k < hi && ((first ^ v[k]) >> 16) == 0) ++k;
      const int n = hi - lo + 1;
      if (k == hi && n <= table->ready()) {
        // Symbols without a code come out in no particular order for a code.
        if (kOrder == Order::ForCodes && Key(first) == 0) return;
        Arrange(v + lo, n, table->arrangement(n));
        return;
      }
    }
  }
  Partition<kOrder>(v, lo, hi, table);
}

template <Order kOrder>
void SortPairs(std::vector<int>& keys, std::vector<int>& symbols) {
  const int n = int(keys.size());
  if (n < 2) return;
  std::vector<std::uint32_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = std::uint32_t(keys[i]) << 16 | std::uint32_t(symbols[i]);
  Sort<kOrder>(v.data(), 0, n - 1, kOrder != Order::StepByStep ? Arrangements() : nullptr);
  for (int i = 0; i < n; ++i) {
    keys[i] = Key(v[i]);
    symbols[i] = int(v[i] & 0xFFFF);
  }
}

}  // namespace

void SortWidths(std::vector<int>& keys, std::vector<int>& symbols) {
  SortPairs<Order::Exact>(keys, symbols);
}

void SortWidthsStepByStep(std::vector<int>& keys, std::vector<int>& symbols) {
  SortPairs<Order::StepByStep>(keys, symbols);
}

bool HuffmanTable::Build(const int* widths, int n, int maxWidth) {
  maxWidth_ = maxWidth;
  if (maxWidth > kMaxWidth) maxWidth_ = maxWidth = kMaxWidth;
  if (maxWidth < 1) maxWidth_ = maxWidth = 1;
  if (n <= 0 || n > kMaxList) return Refuse();
  std::uint32_t v[kMaxList];
  // One pass without branches: checks, packs and counts the used symbols (those
  // come first once sorted).
  unsigned outside = 0;
  int used = 0;
  for (int i = 0; i < n; ++i) {
    outside |= unsigned(widths[i]) > unsigned(maxWidth);
    used += widths[i] != 0;
    v[i] = std::uint32_t(widths[i]) << 16 | std::uint32_t(i);
  }
  if (outside) return Refuse();
  return BuildPacked(v, n, used);
}

ACE_DISPATCHED bool HuffmanTable::BuildPacked(std::uint32_t* v, int n, int used) {
  if (n > 1) {
    // With no width at all the first symbol of the order gets the code, so the
    // order of the zeros matters then.
    if (used > 0) {
      Sort<Order::ForCodes>(v, 0, n - 1, Arrangements());
    } else {
      Sort<Order::Exact>(v, 0, n - 1, Arrangements());
    }
  }
  const bool degenerate = used < 2;
  if (used == 0) used = 1;
  // Sorted descending: the first key is the widest code. With no width at all the
  // one-bit table holds the first symbol twice.
  const int bits = Key(v[0]) > 0 ? Key(v[0]) : 1;
  const std::uint32_t size = 1u << bits;
  std::uint32_t next = 0;
  for (int j = used - 1; j >= 0; --j) {
    const int width = Key(v[j]);
    const std::uint32_t block = 1u << (bits - width);
    if (block > size - next) return Refuse();
    const int readLength = degenerate ? 1 : width;
    const std::uint16_t e = std::uint16_t((v[j] & 0xFFFF) << 4 | std::uint32_t(readLength));
    std::uint16_t* out = table_.data() + next;
    if (block == 1) {
      *out = e;
    } else {
      std::fill(out, out + block, e);
    }
    next += block;
  }
  // What is left over belongs to no symbol (an incomplete code).
  std::fill(table_.data() + next, table_.data() + size, kUnassigned);
  bits_ = bits;
  return true;
}

ACE_DISPATCHED bool ReadCode(BitReader& reader, int maxWidth, int alphabet, HuffmanTable& out) {
  // The reader's state in registers while the widths are decoded.
  BitCursor br(reader);
  const int n = int(br.Read(9)) + 1;
  if (n > alphabet) return false;
  const int lo = int(br.Read(4));
  const int hi = int(br.Read(4));
  int small[16];
  for (int k = 0; k <= hi; ++k) small[k] = int(br.Read(3));
  HuffmanTable smallCode;
  if (!smallCode.Build(small, hi + 1, 7)) return false;
  // One pass decodes the stored values and undoes their coding. Each value is
  // the difference from the previous width modulo hi (both terms are below hi, so
  // one subtraction does the modulo), a run stands for differences of zero (the
  // previous width again), and used widths are offset by lo. The widths go
  // straight into the form the code builder sorts.
  const int limit = maxWidth < HuffmanTable::kMaxWidth ? maxWidth : HuffmanTable::kMaxWidth;
  std::uint32_t packed[kMaxList];
  int count = 0;
  int previous = 0;
  int used = 0;
  int widest = 0;
  while (count < n) {
    const int s = smallCode.Decode(br);
    if (s < 0 || br.overflow()) return false;
    int run = 1;
    if (s < hi) {
      const int sum = s + previous;
      previous = sum >= hi ? sum - hi : sum;
    } else {
      run = int(br.Read(4)) + 4;
      if (run > n - count) run = n - count;
    }
    const int width = previous != 0 ? previous + lo : 0;
    widest = width > widest ? width : widest;
    used += width != 0 ? run : 0;
    const std::uint32_t word = std::uint32_t(width) << 16;
    for (const int end = count + run; count < end; ++count) packed[count] = word | std::uint32_t(count);
  }
  if (br.overflow() || widest > limit) return false;
  out.maxWidth_ = limit;
  return out.BuildPacked(packed, n, used);
}

}  // namespace ace

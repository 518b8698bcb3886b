// Prefix codes described by code widths: the sort that decides which symbol gets
// which code, the single-level lookup table, and the reader of stored width tables.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "bit_reader.h"

namespace ace {

// Sorts keys into descending order together with their symbols, with the archive's
// own partition-exchange procedure (its tie order decides the codes). Stretches of
// equal keys, where the procedure spends most of its steps, take a precomputed
// arrangement instead of being partitioned again; the result is the same.
void SortWidths(std::vector<int>& keys, std::vector<int>& symbols);
// The procedure step by step, with no shortcut: what SortWidths is checked against.
void SortWidthsStepByStep(std::vector<int>& keys, std::vector<int>& symbols);

class HuffmanTable {
 public:
  static constexpr std::uint16_t kUnassigned = 0xFFFF;

  // Builds the lookup table for `widths` (exactly as many as the stream stored)
  // with maximum width maxWidth. False when the widths are invalid.
  bool Build(const std::vector<int>& widths, int maxWidth) {
    return Build(widths.data(), int(widths.size()), maxWidth);
  }
  bool Build(const int* widths, int count, int maxWidth);

  // Decodes one symbol; -1 when the code met is unassigned.
  __attribute__((always_inline)) int Decode(BitReader& br) const {
    std::uint16_t e = table_[br.Peek(bits_)];
    if (e == kUnassigned) return -1;
    br.Skip(e & 15);
    return e >> 4;
  }

  // Decodes one symbol from a cursor that may hold fewer bits than the widest code;
  // -1 when the code met is unassigned. The usual case costs one comparison.
  __attribute__((always_inline)) int Decode(BitCursor& br) const {
    if (br.available() < bits_) [[unlikely]] br.Fill();
    // One shift: the table is never narrower than one bit.
    const std::uint16_t e = table_[std::uint32_t(br.window() >> (64 - bits_))];
    if (e == kUnassigned) return -1;
    const int length = e & 15;
    if (length > br.available()) [[unlikely]] {
      br.Skip(length);  // past the end of the stream: sets the overflow
    } else {
      br.Consume(length);
    }
    return e >> 4;
  }

  int maxWidth() const { return maxWidth_; }
  // Entry of the table for the maxWidth()-bit index: symbol << 4 | reading length,
  // or kUnassigned.
  std::uint16_t entry(std::uint32_t index) const { return table_[index >> (maxWidth_ - bits_)]; }
  // Bits the lookup actually peeks: the widest code in use (at most maxWidth()), and
  // at least one. The table holds 2^lookupBits() entries, so that small codes cost
  // little to build.
  int lookupBits() const { return bits_; }

 private:
  friend bool ReadCode(BitReader& br, int maxWidth, int alphabet, HuffmanTable& out);
  static constexpr int kMaxWidth = 11;
  // Builds from widths already checked, packed as width << 16 | symbol; `used`
  // counts the nonzero widths. Sorts v in place.
  bool BuildPacked(std::uint32_t* v, int n, int used);
  // A refused code: a one-bit table whose two unassigned entries answer every lookup.
  bool Refuse() {
    bits_ = 1;
    table_[0] = table_[1] = kUnassigned;
    return false;
  }
  int maxWidth_ = 0;
  int bits_ = 1;
  std::array<std::uint16_t, 1u << kMaxWidth> table_;
};

// Reads a stored width table (count, lo/hi, the small width code, runs, difference
// coding) for an alphabet of `alphabet` symbols and builds the code into `out`.
bool ReadCode(BitReader& br, int maxWidth, int alphabet, HuffmanTable& out);

}  // namespace ace

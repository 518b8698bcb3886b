// Prefix codes for the packed stream: width computation with a length limit, the
// code assignment that the reader derives from a width list, and the width tables
// that go in front of every code group.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bit_writer.h"

namespace ace::writer {

// One symbol's code as written: `bits` holds the code, `width` its length.
struct PrefixCode {
  std::vector<std::uint16_t> bits;
  std::vector<std::uint8_t> width;  // 0: the symbol has no code
};

// Code widths for the given symbol counts, none above maxWidth. Unused symbols get 0;
// a lone used symbol gets width 1. The widths always form a complete code when at
// least two symbols are used.
std::vector<std::uint8_t> ComputeWidths(std::span<const std::uint32_t> counts, int maxWidth);

// The reader's partition-exchange sort into descending key order. Ties end up in
// the order this particular procedure leaves them, which decides the codes.
void ReaderSort(std::span<std::uint8_t> keys, std::span<std::uint16_t> symbols);

// Assigns codes exactly as the reader does from a list of exactly widths.size()
// entries: shortest widths first, in reverse sorted order. A lone used symbol is
// read with one bit.
PrefixCode AssignCodes(std::span<const std::uint8_t> widths, int maxWidth);

// Writes a width table for an alphabet (widths.size() symbols) and returns the code
// that the reader will build from it. Widths must not exceed 11 and must not be
// over-subscribed.
PrefixCode WriteWidthTable(BitWriter& out, std::span<const std::uint8_t> widths, int maxWidth);

}  // namespace ace::writer

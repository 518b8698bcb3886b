// The code layer of the writer against the reader's rules and the archive
// library's own table reader.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "bit_writer.h"
#include "byte_source.h"
#include "huffman.h"
#include "huffman_encoder.h"

using namespace ace::writer;

namespace {

std::string CodeString(const PrefixCode& c, int symbol) {
  std::string s;
  for (int i = c.width[symbol] - 1; i >= 0; --i) s += ((c.bits[symbol] >> i) & 1) ? '1' : '0';
  return s;
}

std::uint64_t KraftSum(const std::vector<std::uint8_t>& widths, int maxWidth) {
  std::uint64_t sum = 0;
  for (auto w : widths)
    if (w) sum += std::uint64_t{1} << (maxWidth - w);
  return sum;
}

}  // namespace

TEST(BitWriter, FillsLittleEndianWordsFromTheTop) {
  std::vector<std::uint8_t> out;
  BitWriter w(out);
  w.Put(0x33, 8);
  w.Put(0x32, 8);
  w.Put(0x3130, 16);
  w.Put(0x1, 1);
  w.PadToWord();
  ASSERT_EQ(out.size(), 8u);
  EXPECT_EQ((std::vector<std::uint8_t>(out.begin(), out.begin() + 4)), (std::vector<std::uint8_t>{0x30, 0x31, 0x32, 0x33}));
  EXPECT_EQ(out[7], 0x80);
  EXPECT_EQ(out[4] | out[5] | out[6], 0);
}

TEST(ReaderSort, LeavesTiesInTheReadersOrder) {
  std::vector<std::uint8_t> keys{1, 0, 0, 1, 2, 0, 0};
  std::vector<std::uint16_t> symbols{0, 1, 2, 3, 4, 5, 6};
  ReaderSort(keys, symbols);
  EXPECT_EQ(keys, (std::vector<std::uint8_t>{2, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(symbols, (std::vector<std::uint16_t>{4, 0, 3, 5, 6, 2, 1}));
}

TEST(ReaderSort, AgreesWithTheLibrarysSortOnRandomLists) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(rng() % 300);
    std::vector<std::uint8_t> keys(static_cast<std::size_t>(n));
    std::vector<int> libKeys(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) libKeys[static_cast<std::size_t>(i)] = keys[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rng() % (round % 2 ? 12 : 3));
    std::vector<std::uint16_t> symbols(static_cast<std::size_t>(n));
    std::vector<int> libSymbols(static_cast<std::size_t>(n));
    std::iota(symbols.begin(), symbols.end(), std::uint16_t{0});
    std::iota(libSymbols.begin(), libSymbols.end(), 0);
    ReaderSort(keys, symbols);
    ace::SortWidths(libKeys, libSymbols);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(symbols[static_cast<std::size_t>(i)], libSymbols[static_cast<std::size_t>(i)]) << "round " << round;
      ASSERT_EQ(keys[static_cast<std::size_t>(i)], libKeys[static_cast<std::size_t>(i)]);
    }
  }
}

TEST(AssignCodes, GivesTheCodesOfTheWorkedExamples) {
  const PrefixCode a = AssignCodes(std::vector<std::uint8_t>{2, 0, 1, 3, 3}, 4);
  EXPECT_EQ(CodeString(a, 2), "0");
  EXPECT_EQ(CodeString(a, 0), "10");
  EXPECT_EQ(CodeString(a, 3), "110");
  EXPECT_EQ(CodeString(a, 4), "111");
  EXPECT_EQ(a.width[1], 0);

  const PrefixCode b = AssignCodes(std::vector<std::uint8_t>(8, 3), 4);
  const char* expected[] = {"011", "010", "001", "000", "111", "110", "101", "100"};
  for (int s = 0; s < 8; ++s) EXPECT_EQ(CodeString(b, s), expected[s]) << s;

  const PrefixCode c = AssignCodes(std::vector<std::uint8_t>{1, 1}, 4);
  EXPECT_EQ(CodeString(c, 0), "0");
  EXPECT_EQ(CodeString(c, 1), "1");

  // A lone symbol is read with one bit, code 0, whatever width it states.
  const PrefixCode d = AssignCodes(std::vector<std::uint8_t>{0, 0, 3, 0}, 4);
  EXPECT_EQ(CodeString(d, 2), "0");
}

TEST(ComputeWidths, RespectsTheLimitAndStaysComplete) {
  // Fibonacci counts make the unlimited code as deep as the alphabet is long.
  std::vector<std::uint32_t> counts(30);
  counts[0] = counts[1] = 1;
  for (std::size_t i = 2; i < counts.size(); ++i) counts[i] = counts[i - 1] + counts[i - 2];
  for (int limit : {7, 11}) {
    const auto w = ComputeWidths(counts, limit);
    for (auto x : w) {
      EXPECT_GE(x, 1);
      EXPECT_LE(x, limit);
    }
    EXPECT_EQ(KraftSum(w, limit), std::uint64_t{1} << limit);
    EXPECT_LE(w.back(), w.front());  // the most frequent symbol is never longer
  }
  std::vector<std::uint32_t> one(284, 0);
  one[100] = 55;
  const auto w1 = ComputeWidths(one, 11);
  EXPECT_EQ(w1[100], 1);
  EXPECT_EQ(std::accumulate(w1.begin(), w1.end(), 0), 1);
  const auto none = ComputeWidths(std::vector<std::uint32_t>(20, 0), 11);
  EXPECT_EQ(std::accumulate(none.begin(), none.end(), 0), 0);
}

TEST(WidthTable, TheLibraryReadsBackTheCodeWeAssign) {
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    const int alphabet = round % 2 ? 284 : 256;
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(alphabet), 0);
    const int kind = round % 5;
    for (auto& c : counts) {
      if (kind == 0) c = rng() % 3 == 0 ? rng() % 1000 : 0;              // sparse
      else if (kind == 1) c = 1 + rng() % 50;                             // dense
      else if (kind == 2) c = (rng() % 40 == 0) ? (1u << (rng() % 20)) : 0;  // skewed and sparse
      else if (kind == 3) c = rng() % 100 == 0 ? 1 : 0;                  // very few symbols
      else c = 0;
    }
    if (kind == 4 && round % 10 == 4) counts[rng() % counts.size()] = 9;  // a lone symbol
    const auto widths = ComputeWidths(counts, 11);

    std::vector<std::uint8_t> bytes;
    BitWriter w(bytes);
    const PrefixCode code = WriteWidthTable(w, widths, 11);
    w.Put(0x5A5, 12);  // a marker after the table
    w.PadToWord();

    ace::MemorySource src(bytes.data(), bytes.size());
    ace::BitReader br(&src);
    ace::HuffmanTable table;
    ASSERT_TRUE(ace::ReadCode(br, 11, alphabet, table)) << "round " << round;
    ASSERT_EQ(br.Read(12), 0x5A5u) << "round " << round << ": table length differs";
    int used = 0;
    for (int s = 0; s < alphabet; ++s) {
      const int cw = code.width[static_cast<std::size_t>(s)];
      if (cw == 0) continue;
      ++used;
      const std::uint32_t index = std::uint32_t{code.bits[static_cast<std::size_t>(s)]} << (11 - cw);
      const std::uint16_t e = table.entry(index);
      ASSERT_EQ(e >> 4, s) << "round " << round;
      ASSERT_EQ(e & 15, cw) << "round " << round;
    }
    EXPECT_EQ(used, static_cast<int>(std::count_if(widths.begin(), widths.end(), [](auto x) { return x != 0; })));
  }
}

// Width tables as a stream may hold them, not only as our writer chooses them:
// leading runs, runs cut short by the end, widths past the limit, a run-only small
// code. The reader must build what the stored values describe when followed step by
// step (decode the list, undo the differences, offset by lo), and refuse the rest.
TEST(WidthTable, TheLibraryFollowsTheStoredValuesStepByStep) {
  std::mt19937 rng(23);
  int accepted = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = 1 + static_cast<int>(rng() % 284);
    const int hi = round % 7 == 0 ? 0 : static_cast<int>(rng() % (round % 2 ? 4 : 16));
    const int lo = round % 2 ? 5 + static_cast<int>(rng() % 5) : static_cast<int>(rng() % 16);
    const int runShare = static_cast<int>(rng() % 4);  // in quarters
    // The small code: every symbol 0..hi four bits wide (one bit when it is alone).
    const std::vector<std::uint8_t> smallWidths(static_cast<std::size_t>(hi + 1), hi == 0 ? 1 : 4);
    const PrefixCode small = AssignCodes(smallWidths, 7);
    std::vector<std::uint8_t> bytes;
    BitWriter w(bytes);
    w.Put(static_cast<std::uint32_t>(n - 1), 9);
    w.Put(static_cast<std::uint32_t>(lo), 4);
    w.Put(static_cast<std::uint32_t>(hi), 4);
    for (auto sw : smallWidths) w.Put(sw, 3);
    std::vector<int> values;  // the list as stored
    while (static_cast<int>(values.size()) < n) {
      if (hi == 0 || static_cast<int>(rng() % 4) < runShare) {
        const int run = 4 + static_cast<int>(rng() % 16);
        w.Put(small.bits[static_cast<std::size_t>(hi)], small.width[static_cast<std::size_t>(hi)]);
        w.Put(static_cast<std::uint32_t>(run - 4), 4);
        for (int k = 0; k < run && static_cast<int>(values.size()) < n; ++k) values.push_back(0);
      } else {
        const int s = static_cast<int>(rng() % static_cast<std::uint32_t>(hi));
        w.Put(small.bits[static_cast<std::size_t>(s)], small.width[static_cast<std::size_t>(s)]);
        values.push_back(s);
      }
    }
    w.Put(0x5A5, 12);
    w.PadToWord();

    std::vector<int> widths(values.size());
    bool withinLimit = true;
    for (std::size_t k = 0; k < values.size(); ++k) {
      int v = values[k];
      if (hi > 0 && k > 0) v = (v + widths[k - 1]) % hi;
      widths[k] = v;
    }
    for (int& x : widths) {
      if (x != 0) x += lo;
      withinLimit = withinLimit && x <= 11;
    }
    ace::HuffmanTable expected;
    const bool expectOk = withinLimit && expected.Build(widths, 11);

    ace::MemorySource src(bytes.data(), bytes.size());
    ace::BitReader br(&src);
    ace::HuffmanTable table;
    ASSERT_EQ(ace::ReadCode(br, 11, 284, table), expectOk) << "round " << round;
    if (!expectOk) {
      ++refused;
      continue;
    }
    ++accepted;
    ASSERT_EQ(br.Read(12), 0x5A5u) << "round " << round;
    for (std::uint32_t i = 0; i < 2048; ++i) ASSERT_EQ(table.entry(i), expected.entry(i)) << "round " << round;
  }
  // Both outcomes are exercised in quantity.
  EXPECT_GT(accepted, 300);
  EXPECT_GT(refused, 300);
}

// The reader's building blocks on their own: bit reader, code construction,
// distance history, the EXE and DELTA filters and the report texts (the format's
// own pieces are tested in format_test.cpp).
#include <gtest/gtest.h>

#include <ctime>

#include "ace_messages.h"
#include "bit_reader.h"
#include "delta_filter.h"
#include "exe_filter.h"
#include "huffman.h"
#include "lz77_stage.h"
#include "pic_decoder.h"
#include "safe_writer.h"
#include "unace.h"
#include "volume_set.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Hands out its bytes one at a time, so that every word straddles reloads.
class TrickleSource final : public ace::ByteSource {
 public:
  explicit TrickleSource(Bytes b) : bytes_(std::move(b)) {}
  std::size_t Read(std::uint8_t* out, std::size_t capacity) override {
    if (pos_ == bytes_.size() || capacity == 0) return 0;
    *out = bytes_[pos_++];
    return 1;
  }

 private:
  Bytes bytes_;
  std::size_t pos_ = 0;
};

TEST(BitReader, WordsAreReadFromTheirTopBit) {
  const Bytes b = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37};
  ace::MemorySource s1(b.data(), b.size());
  ace::BitReader r1(&s1);
  EXPECT_EQ(r1.Read(8), 0x33u);
  EXPECT_EQ(r1.Read(8), 0x32u);
  EXPECT_EQ(r1.Read(16), 0x3130u);
  EXPECT_EQ(r1.Read(8), 0x37u);

  TrickleSource s2(b);
  ace::BitReader r2(&s2);
  EXPECT_EQ(r2.Read(31), 0x19991898u);
  EXPECT_EQ(r2.Read(0), 0u);
  EXPECT_EQ(r2.Read(1), 0u);  // last bit of 0x33323130
  EXPECT_EQ(r2.Peek(32), 0x37363534u);
  EXPECT_FALSE(r2.overflow());
}

TEST(BitReader, PeekPastTheEndIsZeroButConsumingIsOverflow) {
  const Bytes b = {0xFF, 0xFF, 0xFF, 0xFF};
  ace::MemorySource s(b.data(), b.size());
  ace::BitReader r(&s);
  EXPECT_EQ(r.Read(28), 0x0FFFFFFFu);
  EXPECT_EQ(r.Peek(11), 0x780u);  // four real bits, then zeros
  EXPECT_FALSE(r.overflow());
  r.Skip(4);
  EXPECT_FALSE(r.overflow());
  r.Skip(1);
  EXPECT_TRUE(r.overflow());
  EXPECT_EQ(r.Read(8), 0u);
  EXPECT_TRUE(r.overflow());  // sticky
}

TEST(BitReader, ShortLastWordIsCompletedWithHighZeroBytes) {
  const Bytes b = {0xAB, 0xCD};
  ace::MemorySource s(b.data(), b.size());
  ace::BitReader r(&s);
  EXPECT_EQ(r.Read(16), 0u);
  EXPECT_EQ(r.Read(16), 0xCDABu);
  EXPECT_FALSE(r.overflow());
}

TEST(Huffman, SortLeavesTheArchiveTieOrder) {
  std::vector<int> keys = {1, 0, 0, 1, 2, 0, 0};
  std::vector<int> symbols = {0, 1, 2, 3, 4, 5, 6};
  ace::SortWidths(keys, symbols);
  EXPECT_EQ(keys, (std::vector<int>{2, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(symbols, (std::vector<int>{4, 0, 3, 5, 6, 2, 1}));

  struct Row {
    std::vector<int> widths;
    std::vector<int> order;
  };
  const Row rows[] = {{{2, 0, 1, 3, 3}, {4, 3, 0, 2, 1}},
                      {{2, 2, 2, 2}, {3, 2, 1, 0}},
                      {{3, 3, 3, 3, 3, 3, 3, 3}, {4, 5, 6, 7, 0, 1, 2, 3}},
                      {{1, 1}, {1, 0}},
                      {{0, 0, 0, 0, 0}, {2, 3, 0, 1, 4}}};
  for (const Row& row : rows) {
    std::vector<int> k = row.widths;
    std::vector<int> s(k.size());
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = int(i);
    ace::SortWidths(k, s);
    EXPECT_EQ(s, row.order);
  }
}

// The symbol and reading length that a bit string selects in a table of width 4.
std::pair<int, int> Lookup(const ace::HuffmanTable& t, const std::string& code) {
  std::uint32_t v = 0;
  for (char c : code) v = v << 1 | std::uint32_t(c - '0');
  v <<= (4 - code.size());
  const std::uint16_t e = t.entry(v);
  if (e == ace::HuffmanTable::kUnassigned) return {-1, 0};
  return {e >> 4, e & 15};
}

TEST(Huffman, CodesOfTheWorkedExamples) {
  struct Case {
    std::vector<int> widths;
    std::vector<std::pair<std::string, int>> codes;  // code -> symbol
  };
  const Case cases[] = {
      {{2, 0, 1, 3, 3}, {{"0", 2}, {"10", 0}, {"110", 3}, {"111", 4}}},
      {{2, 2, 2, 2}, {{"00", 0}, {"01", 1}, {"10", 2}, {"11", 3}}},
      {{3, 3, 3, 3, 3, 3, 3, 3},
       {{"000", 3}, {"001", 2}, {"010", 1}, {"011", 0}, {"100", 7}, {"101", 6}, {"110", 5}, {"111", 4}}},
      {{1, 1}, {{"0", 0}, {"1", 1}}},
  };
  for (const Case& c : cases) {
    ace::HuffmanTable t;
    ASSERT_TRUE(t.Build(c.widths, 4));
    for (const auto& [code, symbol] : c.codes) {
      const auto [s, len] = Lookup(t, code);
      EXPECT_EQ(s, symbol) << code;
      EXPECT_EQ(len, int(code.size())) << code;
    }
  }
  // No used symbol: everything decodes to symbol 2 with one bit.
  ace::HuffmanTable empty;
  ASSERT_TRUE(empty.Build({0, 0, 0, 0, 0}, 4));
  for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(empty.entry(i), (2 << 4) | 1) << i;
  // One used symbol with a stated width of 3: its block is 2 entries, read as 1 bit.
  ace::HuffmanTable lone;
  ASSERT_TRUE(lone.Build({0, 0, 3}, 4));
  EXPECT_EQ(lone.entry(0), (2 << 4) | 1);
  EXPECT_EQ(lone.entry(1), (2 << 4) | 1);
  EXPECT_EQ(lone.entry(2), ace::HuffmanTable::kUnassigned);
}

TEST(Huffman, InvalidWidthsAreRefused) {
  ace::HuffmanTable t;
  EXPECT_FALSE(t.Build({1, 1, 1}, 4));  // more entries than the table has
  EXPECT_FALSE(t.Build({5, 1}, 4));     // wider than the maximum
  EXPECT_TRUE(t.Build({1, 2}, 4));      // incomplete is allowed...
  EXPECT_EQ(Lookup(t, "11").first, -1);  // ...and leaves codes unassigned
}

TEST(Huffman, WidthCountAboveTheAlphabetIsRefused) {
  // read(9) = 511 gives n = 512, more than the 284 symbols of the main code.
  const Bytes b = {0x00, 0x00, 0x80, 0xFF};
  ace::MemorySource s(b.data(), b.size());
  ace::BitReader r(&s);
  ace::HuffmanTable t;
  EXPECT_FALSE(ace::ReadCode(r, 11, 284, t));
}

TEST(Lz77, DistanceHistoryMovesUsedEntriesToTheFront) {
  ace::DistanceHistory h;
  for (std::uint32_t d = 1; d <= 5; ++d) h.Push(d);
  EXPECT_EQ(h.at(0), 5u);
  EXPECT_EQ(h.at(3), 2u);
  EXPECT_EQ(h.Repeat(2), 3u);
  EXPECT_EQ((std::vector<std::uint32_t>{h.at(0), h.at(1), h.at(2), h.at(3)}),
            (std::vector<std::uint32_t>{3, 5, 4, 2}));
  EXPECT_EQ(h.Repeat(0), 3u);
  EXPECT_EQ(h.Repeat(1), 5u);
  EXPECT_EQ((std::vector<std::uint32_t>{h.at(0), h.at(1), h.at(2), h.at(3)}),
            (std::vector<std::uint32_t>{5, 3, 4, 2}));
}

struct Collect final : ace::Output {
  void Emit(const std::uint8_t* p, std::size_t n) override { bytes.insert(bytes.end(), p, p + n); }
  Bytes bytes;
};

TEST(ExeFilter, WorkedExamples) {
  const Bytes in = {0x90, 0x90, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63};
  for (bool wide : {true, false}) {
    ace::ExeFilter f;
    Collect out;
    f.Begin(0);
    f.Feed(in.data(), in.size(), wide, out);
    f.End(out);
    const Bytes expected = wide ? Bytes{0x90, 0x90, 0xE8, 0xFE, 0xFF, 0xFF, 0xFF, 0x61, 0x62, 0x63}
                                : Bytes{0x90, 0x90, 0xE8, 0xFE, 0xFF, 0x00, 0x00, 0x61, 0x62, 0x63};
    EXPECT_EQ(out.bytes, expected) << wide;
    EXPECT_EQ(f.carrySize(), 0u);
  }
}

TEST(ExeFilter, OpcodeNearTheEndIsCarriedAndFilteredByTheNextSection) {
  ace::ExeFilter f;
  Collect out;
  f.Begin(100);
  const Bytes first = {0x41, 0x42, 0xE9, 0x10, 0x00};
  f.Feed(first.data(), first.size(), true, out);
  f.End(out);
  EXPECT_EQ(out.bytes, (Bytes{0x41, 0x42}));
  EXPECT_EQ(f.carry(), (Bytes{0xE9, 0x10, 0x00}));
  // The next EXE section starts with the carry at output offset 102.
  f.Begin(102);
  const Bytes second = {0x43, 0x44};
  f.Feed(second.data(), second.size(), true, out);
  f.End(out);
  // E9 always takes 16 bits: 0x0010 - 102 = 0xFFAA.
  EXPECT_EQ(out.bytes, (Bytes{0x41, 0x42, 0xE9, 0xAA, 0xFF, 0x43, 0x44}));
  // Split feeding gives the same result as one piece.
  ace::ExeFilter g;
  Collect whole;
  g.Begin(0);
  Bytes big;
  for (int i = 0; i < 200000; ++i) big.push_back(std::uint8_t((i * 7) % 251 == 0 ? 0xE8 : i));
  g.Feed(big.data(), big.size(), true, whole);
  g.End(whole);
  ace::ExeFilter h;
  Collect pieces;
  h.Begin(0);
  for (std::size_t i = 0; i < big.size(); i += 777) {
    h.Feed(big.data() + i, std::min<std::size_t>(777, big.size() - i), true, pieces);
  }
  h.End(pieces);
  EXPECT_EQ(whole.bytes, pieces.bytes);
  EXPECT_EQ(g.carry(), h.carry());
}

TEST(DeltaFilter, WorkedExampleAndRunningSum) {
  const Bytes raw = {0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48};
  std::uint8_t sum = 0;
  Bytes out;
  ace::DeltaFilter::Apply(raw.data(), raw.size(), 2, sum, out);
  EXPECT_EQ(out, (Bytes{0x41, 0x4F, 0x83, 0x95, 0xC6, 0xDC, 0x0A, 0x24}));
  EXPECT_EQ(sum, 0x24);
  // The sum carries into the next section.
  const Bytes one = {0x01};
  ace::DeltaFilter::Apply(one.data(), 1, 1, sum, out);
  EXPECT_EQ(out, (Bytes{0x25}));
}

TEST(Pic, EndlessUnaryRunIsRefused) {
  const Bytes ones(64, 0xFF);
  ace::MemorySource s(ones.data(), ones.size());
  ace::BitReader r(&s);
  std::uint32_t v = 0;
  EXPECT_FALSE(ace::ReadGolombRice(r, 0, 255, v));
  ace::MemorySource s2(ones.data(), ones.size());
  ace::BitReader r2(&s2);
  ace::PicDecoder pic;
  EXPECT_FALSE(pic.Start(r2, 1u << 30));
}

TEST(Pic, GolombRiceValues) {
  // k = 2: bits 10 then 110 -> 2 + 2*4 = 10; then k = 0: 0 -> 0.
  const Bytes b = {0x00, 0x00, 0x00, 0xB0};
  ace::MemorySource s(b.data(), b.size());
  ace::BitReader r(&s);
  std::uint32_t v = 0;
  ASSERT_TRUE(ace::ReadGolombRice(r, 2, 255, v));
  EXPECT_EQ(v, 10u);
  ASSERT_TRUE(ace::ReadGolombRice(r, 0, 255, v));
  EXPECT_EQ(v, 0u);
}

TEST(Messages, OpenReport) {
  const std::string p = "D:\\setup\\data.ace";
  EXPECT_EQ(OpenErrorText(1, p), "Not enough memory");
  EXPECT_EQ(OpenErrorText(3, p), "File D:\\setup\\data.ace not found");
  EXPECT_EQ(OpenErrorText(5, p), "Cannot open D:\\setup\\data.ace");
  EXPECT_EQ(OpenErrorText(6, p), "Cannot read D:\\setup\\data.ace");
  EXPECT_EQ(OpenErrorText(9, p), "Archive D:\\setup\\data.ace has header broken");
  EXPECT_EQ(OpenErrorText(128, p), "D:\\setup\\data.ace is not ACE archive");
  EXPECT_EQ(OpenErrorText(130, p), "Wrong constant");
  for (int silent : {0, 2, 4, 7, 8, 127, 129, 131, 132, 133, 134, 135, -1}) {
    EXPECT_EQ(OpenErrorText(silent, p), "") << silent;
  }
}

TEST(Messages, ProcessReport) {
  EXPECT_EQ(ProcessErrorText(4), "Write error: disk is full");
  EXPECT_EQ(ProcessErrorText(5), "Open file error");
  EXPECT_EQ(ProcessErrorText(6), "Read error");
  EXPECT_EQ(ProcessErrorText(7), "Write error");
  EXPECT_EQ(ProcessErrorText(9), "CRC error");
  EXPECT_EQ(ProcessErrorText(129), "Invalid handle given as parameter");
  EXPECT_EQ(ProcessErrorText(130), "Wrong constant");
  EXPECT_EQ(ProcessErrorText(131), "file is encrypted");
  EXPECT_EQ(ProcessErrorText(132), "file has been compressed with unknown method");
  EXPECT_EQ(ProcessErrorText(133), "Unsafe file name in archive: the file was not written");
  EXPECT_EQ(ProcessErrorText(135), "wrong password or damaged data");
  for (int silent : {0, 1, 2, 3, 8, 127, 128, 134}) EXPECT_EQ(ProcessErrorText(silent), "") << silent;
}

TEST(Messages, HeaderReport) {
  EXPECT_EQ(HeaderErrorText(5), "Open file error");
  EXPECT_EQ(HeaderErrorText(6), "Read error");
  EXPECT_EQ(HeaderErrorText(9), "CRC error");
  EXPECT_EQ(HeaderErrorText(129), "Invalid handle given as parameter");
  for (int silent : {0, 1, 2, 3, 4, 7, 8, 127, 128, 130, 131, 132, 133, 134, 135}) {
    EXPECT_EQ(HeaderErrorText(silent), "") << silent;
  }
}

}  // namespace

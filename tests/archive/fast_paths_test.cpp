// The decoder's fast paths against the plain procedures they replace, on exhaustive
// small inputs and on random ones: the width sort with its equal-key shortcut, the
// lookup tables sized to the widest code, the wide match copies, the bit reader and
// its cursor, the picture coder's Rice parameter and the read-ahead file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bit_reader.h"
#include "crc32.h"
#include "huffman.h"
#include "lz_window.h"
#include "method_decoders.h"
#include "pic_decoder.h"
#include "read_ahead_file.h"
#include "test_support.h"
#include "volume_set.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void ExpectSameSort(const std::vector<int>& keys) {
  std::vector<int> k1 = keys, k2 = keys;
  std::vector<int> s1(keys.size()), s2(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) s1[i] = s2[i] = int(i);
  ace::SortWidths(k1, s1);
  ace::SortWidthsStepByStep(k2, s2);
  ASSERT_EQ(k1, k2);
  ASSERT_EQ(s1, s2) << "length " << keys.size();
}

TEST(FastSort, EveryShortKeyListSortsAsTheProcedureDoes) {
  // All lists of up to 8 keys from 0..3, and of up to 12 keys from 0..1.
  for (int n = 1; n <= 8; ++n) {
    std::vector<int> keys(std::size_t(n), 0);
    for (std::uint32_t code = 0; code < (1u << (2 * n)); ++code) {
      for (int i = 0; i < n; ++i) keys[std::size_t(i)] = int(code >> (2 * i)) & 3;
      ExpectSameSort(keys);
      if (HasFatalFailure()) return;
    }
  }
  for (int n = 9; n <= 12; ++n) {
    std::vector<int> keys(std::size_t(n), 0);
    for (std::uint32_t code = 0; code < (1u << n); ++code) {
      for (int i = 0; i < n; ++i) keys[std::size_t(i)] = int(code >> i) & 1;
      ExpectSameSort(keys);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(FastSort, RandomWidthListsSortAsTheProcedureDoes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 3000; ++round) {
    const int n = 1 + int(rng() % 512);
    std::vector<int> keys(static_cast<std::size_t>(n));
    switch (round % 4) {
      case 0:  // uniform widths 0..11
        for (int& k : keys) k = int(rng() % 12);
        break;
      case 1:  // mostly unused symbols, as in sparse alphabets
        for (int& k : keys) k = rng() % 5 == 0 ? 1 + int(rng() % 11) : 0;
        break;
      case 2:  // long runs of equal widths
        for (int i = 0; i < n;) {
          const int key = int(rng() % 12);
          for (int run = 1 + int(rng() % 40); run > 0 && i < n; --run) keys[std::size_t(i++)] = key;
        }
        break;
      default:  // all equal, or a single outlier
        for (int& k : keys) k = round % 12;
        keys[rng() % std::size_t(n)] = int(rng() % 12);
        break;
    }
    ExpectSameSort(keys);
    if (HasFatalFailure()) return;
  }
  // Every length of all-equal keys, the shortcut's own case.
  for (int n = 1; n <= 512; ++n) {
    ExpectSameSort(std::vector<int>(std::size_t(n), 7));
    if (HasFatalFailure()) return;
  }
}

// The lookup table as the plain rule makes it: 2^maxWidth entries, symbols taken in
// increasing width and, within a width, in the reverse of the sorted order.
std::vector<std::uint16_t> ReferenceTable(const std::vector<int>& widths, int maxWidth, bool& ok) {
  const std::uint32_t size = 1u << maxWidth;
  std::vector<std::uint16_t> table(size, ace::HuffmanTable::kUnassigned);
  ok = false;
  for (int w : widths) {
    if (w < 0 || w > maxWidth) return std::vector<std::uint16_t>(size, ace::HuffmanTable::kUnassigned);
  }
  std::vector<int> keys = widths;
  std::vector<int> symbols(widths.size());
  for (std::size_t i = 0; i < symbols.size(); ++i) symbols[i] = int(i);
  ace::SortWidthsStepByStep(keys, symbols);
  int used = 0;
  while (used < int(keys.size()) && keys[std::size_t(used)] != 0) ++used;
  const bool degenerate = used < 2;
  if (used == 0) used = 1;
  std::uint32_t next = 0;
  for (int j = used - 1; j >= 0; --j) {
    const std::uint32_t block = 1u << (maxWidth - keys[std::size_t(j)]);
    if (block > size - next) return std::vector<std::uint16_t>(size, ace::HuffmanTable::kUnassigned);
    const int len = degenerate ? 1 : keys[std::size_t(j)];
    for (std::uint32_t k = 0; k < block; ++k) {
      table[next + k] = std::uint16_t(symbols[std::size_t(j)] << 4 | len);
    }
    next += block;
  }
  ok = true;
  return table;
}

// Widths of a random complete code over `n` symbols, none wider than maxWidth.
std::vector<int> RandomCompleteWidths(std::mt19937& rng, int n, int maxWidth) {
  std::vector<int> widths(std::size_t(n), 0);
  // Split leaves: start with one code of width 0 and split random leaves.
  std::vector<int> leaves = {0};
  const int want = 2 + int(rng() % std::uint32_t(std::min(n, 1 << maxWidth) - 1));
  while (int(leaves.size()) < want) {
    const std::size_t k = rng() % leaves.size();
    if (leaves[k] >= maxWidth) {
      bool any = false;
      for (int w : leaves) any |= w < maxWidth;
      if (!any) break;
      continue;
    }
    const int w = ++leaves[k];
    leaves.push_back(w);
  }
  std::vector<int> order(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) order[std::size_t(i)] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (std::size_t i = 0; i < leaves.size(); ++i) widths[std::size_t(order[i])] = leaves[i];
  return widths;
}

TEST(FastTable, LookupsMatchTheFullSizeTable) {
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    const int maxWidth = 1 + int(rng() % 11);
    const int n = 1 + int(rng() % 300);
    std::vector<int> widths;
    switch (round % 3) {
      case 0:
        widths = n >= 2 ? RandomCompleteWidths(rng, n, maxWidth) : std::vector<int>{1};
        break;
      case 1:  // random widths: often over-full (refused) or incomplete
        widths.resize(std::size_t(n));
        for (int& w : widths) w = rng() % 3 == 0 ? int(rng() % std::uint32_t(maxWidth + 2)) : 0;
        break;
      default:  // a complete code with one symbol dropped: incomplete
        widths = n >= 3 ? RandomCompleteWidths(rng, n, maxWidth) : std::vector<int>(std::size_t(n), 0);
        for (int& w : widths) {
          if (w != 0) {
            w = 0;
            break;
          }
        }
        break;
    }
    bool refOk = false;
    const auto ref = ReferenceTable(widths, maxWidth, refOk);
    ace::HuffmanTable t;
    ASSERT_EQ(t.Build(widths, maxWidth), refOk) << "round " << round;
    ASSERT_EQ(t.maxWidth(), maxWidth);
    ASSERT_LE(t.lookupBits(), maxWidth);
    for (std::uint32_t i = 0; i < ref.size(); ++i) {
      ASSERT_EQ(t.entry(i), ref[i]) << "round " << round << " index " << i;
    }
    // Decoding a random stream with the table reads the same symbols and lengths as
    // looking each code up in the full-size table.
    Bytes stream(64);
    for (auto& b : stream) b = std::uint8_t(rng());
    ace::MemorySource s1(stream.data(), stream.size()), s2(stream.data(), stream.size());
    ace::BitReader fast(&s1), slow(&s2);
    for (int k = 0; k < 100; ++k) {
      const std::uint16_t e = ref[slow.Peek(maxWidth)];
      const int expected = e == ace::HuffmanTable::kUnassigned ? -1 : e >> 4;
      ASSERT_EQ(t.Decode(fast), expected) << "round " << round << " symbol " << k;
      if (expected < 0) break;
      slow.Skip(e & 15);
      ASSERT_EQ(fast.Peek(32), slow.Peek(32));
    }
  }
}

// A small code needs only a small table: the lookup peeks no more bits than the
// widest code.
TEST(FastTable, SmallCodesPeekOnlyTheirWidestCode) {
  ace::HuffmanTable t;
  ASSERT_TRUE(t.Build({1, 2, 3, 3}, 11));
  EXPECT_EQ(t.lookupBits(), 3);
  ASSERT_TRUE(t.Build({0, 0, 0}, 11));
  EXPECT_EQ(t.lookupBits(), 1);
  // All unused: every code is the first symbol of the tie order, read as one bit.
  std::vector<int> keys = {0, 0, 0}, symbols = {0, 1, 2};
  ace::SortWidthsStepByStep(keys, symbols);
  EXPECT_EQ(t.entry(0), (symbols[0] << 4) | 1);
  EXPECT_EQ(t.entry(2047), (symbols[0] << 4) | 1);
  EXPECT_FALSE(t.Build({1, 1, 1}, 11));
  EXPECT_EQ(t.entry(0), ace::HuffmanTable::kUnassigned);
  EXPECT_EQ(t.entry(2047), ace::HuffmanTable::kUnassigned);
}

}  // namespace

namespace {

// Hands out its bytes in pieces of a fixed size, and fails (0) after `failAfter`.
class PieceSource final : public ace::ByteSource {
 public:
  PieceSource(const Bytes& data, std::size_t piece, std::size_t failAfter)
      : data_(data), piece_(piece), failAfter_(failAfter) {}
  std::size_t Read(std::uint8_t* out, std::size_t capacity) override {
    std::size_t n = std::min({capacity, piece_, data_.size() - pos_, failAfter_ - std::min(failAfter_, pos_)});
    std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const Bytes& data_;
  std::size_t piece_;
  std::size_t failAfter_;
  std::size_t pos_ = 0;
};

class Collect final : public ace::Output {
 public:
  void Emit(const std::uint8_t* data, std::size_t size) override { bytes.insert(bytes.end(), data, data + size); }
  Bytes bytes;
};

// Steps a decoder (`budget` bytes a step) until it stops; its output goes to `out`.
template <typename Decoder>
ace::Status RunDecoder(Decoder& decoder, std::size_t budget, Collect& out) {
  decoder.set_output(&out);
  ace::Status s;
  while ((s = decoder.Step(budget)) == ace::Status::Ok) {
  }
  return s;
}

using test_support::RandomBytes;

// SOUND bytes go to the channels in a pattern of four that a decoding step may end
// anywhere in. The corpus's SOUND archives (one of each channel pattern), decoded a
// few bytes per step so that their sections resume at every place in the pattern,
// give their manifests' bytes.
TEST(FastSound, ResumesAnywhereInTheChannelPattern) {
  for (const char* name : {"S3_1", "S4_2", "A5_4001", "S6_1"}) {
    const std::filesystem::path archive = test_support::kCorpus / "modes" / (std::string(name) + ".ace");
    const std::string expected = test_support::ReadFile(archive.string() + ".md5").substr(0, 32);
    for (const std::size_t budget : {1, 3, 4097}) {
      ace::VolumeSet set({});
      ASSERT_EQ(set.Open(archive.string()), ace::Status::Ok) << name;
      ace::FileHeader header;
      std::string volume;
      ASSERT_EQ(set.NextEntry(header, volume), ace::Status::Ok) << name;
      ace::BitReader br(&set);
      ace::LzWindow window;
      ace::EntryParams params;
      params.size = header.origSize;
      params.dictionarySize = 1u << (10 + (header.params & 15));
      Collect out;
      ASSERT_EQ(RunDecoder(*ace::MakeBlockedDecoder(br, window, params), budget, out), ace::Status::End)
          << name << ", " << budget << " bytes a step";
      EXPECT_EQ(test_support::Md5Hex(std::string(out.bytes.begin(), out.bytes.end())), expected)
          << name << ", " << budget << " bytes a step";
    }
  }
}

// A stored entry larger than the window moves past its early bytes; the window
// must still end holding the entry's last window of bytes, each at its position.
TEST(FastStored, LargeEntryLeavesItsLastWindowOfBytes) {
  const Bytes data = RandomBytes(ace::LzWindow::kSize + 3 * 100000 + 17, 5);
  for (std::size_t piece : {std::size_t(65536), std::size_t(100000), std::size_t(1) << 20}) {
    ace::LzWindow window;
    const Bytes before = RandomBytes(1000, 6);
    window.PutBytes(before.data(), before.size());
    PieceSource src(data, piece, data.size());
    ace::EntryParams params;
    params.size = data.size();
    params.keepHistory = true;
    Collect out;
    ASSERT_EQ(RunDecoder(*ace::MakeStoredDecoder(src, window, params), 300000, out), ace::Status::End);
    EXPECT_EQ(out.bytes, data);
    ASSERT_EQ(window.pos(), before.size() + data.size());
    for (std::uint64_t k = 0; k < ace::LzWindow::kSize; ++k) {
      const std::uint64_t p = window.pos() - ace::LzWindow::kSize + k;
      ASSERT_EQ(window.At(p), data[std::size_t(p - before.size())]) << "piece " << piece << " at " << k;
    }
  }
}

// An entry whose data ends early leaves no stale bytes in the positions it moved
// past: every position since the entry began holds its byte or zero.
TEST(FastStored, EntryEndingEarlyClearsWhatItMovedPast) {
  const Bytes data = RandomBytes(ace::LzWindow::kSize + 2000000, 8);
  for (std::size_t failAfter : {std::size_t(500000), std::size_t(2100000), std::size_t(5000000)}) {
    ace::LzWindow window;
    const Bytes old(ace::LzWindow::kSize, 0xEE);  // what an earlier entry left
    window.PutBytes(old.data(), old.size());
    const std::uint64_t start = window.pos();
    PieceSource src(data, 65536, failAfter);
    ace::EntryParams params;
    params.size = data.size();
    params.keepHistory = true;
    Collect out;
    ASSERT_EQ(RunDecoder(*ace::MakeStoredDecoder(src, window, params), 1u << 20, out), ace::Status::ReadFailed);
    ASSERT_EQ(window.pos(), start + failAfter);
    const std::uint64_t from = window.pos() - std::min<std::uint64_t>(failAfter, ace::LzWindow::kSize);
    std::size_t zeros = 0;
    for (std::uint64_t p = from; p < window.pos(); ++p) {
      const std::uint8_t b = window.At(p);
      const std::uint8_t expected = data[std::size_t(p - start)];
      if (b == expected) continue;
      ASSERT_EQ(b, 0) << "fail after " << failAfter << " at " << p - start;
      ++zeros;
    }
    // Bytes followed by a window's worth more were passed over, the rest written.
    if (failAfter <= data.size() - ace::LzWindow::kSize) {
      EXPECT_GT(zeros, 0u);
    }
  }
}

}  // namespace

namespace {

// The fast checksum (whichever folding this machine runs) against the table, over
// lengths around every fold width and random offsets and starting values.
TEST(FastCrc, AgreesWithTheTableAtEveryLengthAndOffset) {
  const Bytes data = RandomBytes(70000, 11);
  std::mt19937 rng(3);
  for (std::size_t len = 0; len <= 1100; ++len) {
    const std::size_t offset = rng() % 64;
    const std::uint32_t start = len % 3 == 0 ? ace::kCrcStart : std::uint32_t(rng());
    ASSERT_EQ(ace::CrcUpdate(start, data.data() + offset, len), ace::CrcTable(start, data.data() + offset, len))
        << "length " << len << " offset " << offset;
  }
  for (int round = 0; round < 300; ++round) {
    const std::size_t offset = rng() % 64;
    const std::size_t len = rng() % (data.size() - 64);
    const std::uint32_t start = std::uint32_t(rng());
    ASSERT_EQ(ace::CrcUpdate(start, data.data() + offset, len), ace::CrcTable(start, data.data() + offset, len))
        << "length " << len << " offset " << offset;
  }
  // Pieces of any size add up to the checksum of the whole.
  std::uint32_t crc = ace::kCrcStart;
  for (std::size_t at = 0; at < data.size();) {
    const std::size_t piece = std::min<std::size_t>(1 + rng() % 3000, data.size() - at);
    crc = ace::CrcUpdate(crc, data.data() + at, piece);
    at += piece;
  }
  EXPECT_EQ(crc, ace::CrcTable(ace::kCrcStart, data.data(), data.size()));
}

}  // namespace

namespace {

// Checks a match copy against the byte-by-byte rule, also next to the buffer's end
// (where matches wrap) and for every short length and distance: the copy may leave
// anything in the `slack` bytes after a match and must change nothing else, since
// the bytes after a match are the oldest history. Copies with slack take matches
// of at least one byte that reach back less than a whole window less its slack.
void CheckCopies(void (*copy)(std::uint8_t*, std::uint32_t, std::uint32_t, std::uint32_t), std::uint32_t slack,
                 std::uint32_t seed) {
  const std::uint32_t size = ace::LzWindow::kSize;
  const std::uint32_t mask = ace::LzWindow::kMask;
  const std::uint32_t farthest = slack ? size - ace::LzWindow::kSlack : size;
  Bytes fast = RandomBytes(size, seed);
  Bytes slow = fast;
  std::mt19937 rng(seed + 1);
  auto check = [&](std::uint32_t dst, std::uint32_t distance, std::uint32_t length) {
    copy(fast.data(), dst, distance, length);
    const std::uint32_t src = (dst - distance) & mask;
    for (std::uint32_t k = 0; k < length; ++k) slow[(dst + k) & mask] = slow[(src + k) & mask];
    for (std::uint32_t k = 0; k < length + 96; ++k) {
      const std::uint32_t at = (dst - 32 + k) & mask;
      if (k >= 32 + length && k < 32 + length + slack) {
        slow[at] = fast[at];  // the slack: anything may be left there
        continue;
      }
      ASSERT_EQ(fast[at], slow[at]) << "dst " << dst << " distance " << distance << " length " << length;
    }
  };
  for (std::uint32_t distance = 1; distance <= 40; ++distance) {
    for (std::uint32_t length = slack ? 1 : 0; length <= 70; ++length) {
      check(1000 + distance * 100, distance, length);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
  for (int round = 0; round < 20000; ++round) {
    std::uint32_t dst = rng() % size;
    if (round % 4 == 0) dst = size - 1 - rng() % 300;  // wraps at the end
    std::uint32_t distance = 1 + rng() % (round % 3 == 0 ? 64 : farthest);
    if (round % 100 == 0) distance = farthest;  // as far back as allowed
    const std::uint32_t length = 2 + rng() % (round % 5 == 0 ? 1000 : 20);
    check(dst, distance, length);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_EQ(fast, slow);
}

TEST(FastCopy, MatchesAreCopiedAsByteByByte) { CheckCopies(ace::LzWindow::CopyWithin, 0, 21); }

TEST(FastCopy, CopiesWithSlackChangeAtMostFifteenBytesPast) { CheckCopies(ace::LzWindow::CopyWithSlack, 15, 23); }

}  // namespace

namespace {

// The Golomb-Rice reading one bit at a time, as the picture coder defines it.
bool GolombRiceBitByBit(ace::BitReader& br, int k, std::uint32_t limit, std::uint32_t& value) {
  std::uint32_t v = br.Read(k);
  while (br.Read(1) == 1) {
    if (br.overflow()) return false;
    v += 1u << k;
    if (v > limit) return false;
  }
  value = v;
  return !br.overflow() && v <= limit;
}

// Counting the run of ones at once gives the same values, the same refusals and
// leaves the reader at the same place, also at the end of the data.
TEST(FastGolombRice, MatchesTheBitByBitReading) {
  std::mt19937 rng(31);
  for (int round = 0; round < 20000; ++round) {
    Bytes stream(1 + rng() % 12);
    // Streams rich in ones make long runs; some are all ones.
    const int density = int(rng() % 4);
    for (auto& b : stream) {
      b = std::uint8_t(rng());
      if (density >= 1) b |= std::uint8_t(rng());
      if (density >= 2) b |= std::uint8_t(rng());
      if (density == 3 && rng() % 2) b = 0xFF;
    }
    const int k = round % 3 == 0 ? int(rng() % 25) : int(rng() % 5);
    const std::uint32_t limits[] = {255u, 65535u, std::uint32_t(rng() % 300), 0u};
    const std::uint32_t limit = limits[rng() % 4];
    const int skip = int(rng() % 40);
    ace::MemorySource s1(stream.data(), stream.size()), s2(stream.data(), stream.size());
    ace::BitReader fast(&s1), slow(&s2);
    fast.Skip(skip);
    slow.Skip(skip);
    for (int n = 0; n < 4; ++n) {
      std::uint32_t vf = 0xDEAD, vs = 0xDEAD;
      const bool rf = ace::ReadGolombRice(fast, k, limit, vf);
      const bool rs = GolombRiceBitByBit(slow, k, limit, vs);
      ASSERT_EQ(rf, rs) << "round " << round << " read " << n;
      ASSERT_EQ(vf, vs) << "round " << round << " read " << n;
      ASSERT_EQ(fast.overflow(), slow.overflow()) << "round " << round;
      ASSERT_EQ(fast.Peek(32), slow.Peek(32)) << "round " << round << " read " << n;
      if (!rf) break;
    }
  }
}

TEST(FastRice, ParameterMatchesTheDivision) {
  // Contexts are halved at 128 uses; averages grow by at most 255 a use.
  for (int uses = 1; uses <= 128; ++uses) {
    for (int average = 0; average <= 128 * 255 * 2; ++average) {
      const int expected = int(std::bit_width(unsigned(average / uses)));
      ASSERT_EQ(ace::RiceParameter(average, uses), expected) << average << " / " << uses;
    }
  }
}

// Hands out its bytes a few at a time, so that refills meet the end of the
// reader's buffer often.
class TricklingSource final : public ace::ByteSource {
 public:
  TricklingSource(const Bytes& data, std::uint32_t seed) : data_(data), rng_(seed) {}
  std::size_t Read(std::uint8_t* out, std::size_t capacity) override {
    std::size_t n = std::min<std::size_t>({capacity, data_.size() - pos_, 1 + rng_() % 7});
    std::copy(data_.begin() + std::ptrdiff_t(pos_), data_.begin() + std::ptrdiff_t(pos_ + n), out);
    pos_ += n;
    return n;
  }

 private:
  const Bytes& data_;
  std::size_t pos_ = 0;
  std::mt19937 rng_;
};

// A cursor reads what the reader itself reads, through refills (with and without
// the branch on the count), hand-overs to the reader and back, and past the end of
// the data.
TEST(FastCursor, ReadsWhatTheReaderReads) {
  std::mt19937 rng(5);
  for (int round = 0; round < 3000; ++round) {
    Bytes data(rng() % 200);
    for (auto& b : data) b = std::uint8_t(rng());
    const bool trickle = round % 2 == 0;
    TricklingSource t1(data, std::uint32_t(round)), t2(data, std::uint32_t(round));
    ace::MemorySource m1(data.data(), data.size()), m2(data.data(), data.size());
    ace::BitReader viaCursor(trickle ? static_cast<ace::ByteSource*>(&t1) : &m1);
    ace::BitReader plain(trickle ? static_cast<ace::ByteSource*>(&t2) : &m2);
    ace::BitCursor cursor(viaCursor);
    for (int op = 0; op < 200; ++op) {
      const int n = int(rng() % 33);
      switch (rng() % 6) {
        case 0:
          ASSERT_EQ(cursor.Peek(n), plain.Peek(n)) << "round " << round << " op " << op;
          break;
        case 1:
          ASSERT_EQ(cursor.Read(n), plain.Read(n)) << "round " << round << " op " << op;
          break;
        case 2:
          cursor.Skip(n);
          plain.Skip(n);
          break;
        case 3: {
          // Reading by hand: at most the bits at hand.
          cursor.Ensure33();
          const int k = std::min(n, cursor.available());
          const std::uint32_t top = std::uint32_t((cursor.window() >> 1) >> (63 - k));
          ASSERT_EQ(top, plain.Peek(k)) << "round " << round << " op " << op;
          cursor.Consume(k);
          plain.Skip(k);
          break;
        }
        case 4: {
          // Topped up without the branch on the count: 32 bits at hand at least,
          // unless the data ends first.
          cursor.TopUp();
          const int k = std::min(n, cursor.available());
          if (k < n) {
            ASSERT_EQ(plain.Peek(32) << k, 0u) << "round " << round << " op " << op;
          }
          const std::uint32_t top = std::uint32_t((cursor.window() >> 1) >> (63 - k));
          ASSERT_EQ(top, plain.Peek(k)) << "round " << round << " op " << op;
          cursor.Consume(k);
          plain.Skip(k);
          break;
        }
        default:
          // The reader used directly in between, as a code group reader does.
          cursor.Commit();
          ASSERT_EQ(viaCursor.Read(n), plain.Read(n)) << "round " << round << " op " << op;
          cursor.Load();
          break;
      }
      ASSERT_EQ(cursor.overflow(), plain.overflow()) << "round " << round << " op " << op;
    }
    cursor.Commit();
    ASSERT_EQ(viaCursor.Peek(32), plain.Peek(32));
  }
}

TEST(FastReadAhead, ServesEveryRangeAsTheFileHoldsIt) {
  const test_support::TempFolder dir("ace-readahead");
  const std::filesystem::path file = dir / "data.bin";
  std::mt19937 rng(8);
  Bytes data(3 * ace::ReadAheadFile::kBufferSize + 1234);
  for (auto& b : data) b = std::uint8_t(rng());
  test_support::WriteFile(file, data);
  ace::ReadAheadFile f;
  f.Reset(::open(file.c_str(), O_RDONLY));
  ASSERT_GE(f.fd(), 0);
  Bytes got;
  for (int round = 0; round < 4000; ++round) {
    const std::uint64_t offset = rng() % (data.size() + 10);
    // Mostly small reads near each other, as a block chain makes, some large.
    const std::size_t n = round % 10 == 0 ? rng() % (2 * ace::ReadAheadFile::kBufferSize) : rng() % 300;
    got.assign(n, 0xAA);
    const bool whole = offset + n <= data.size();
    ASSERT_EQ(f.ReadFully(got.data(), n, offset), whole) << offset << " " << n;
    if (whole) {
      ASSERT_TRUE(std::equal(got.begin(), got.end(), data.begin() + std::ptrdiff_t(offset))) << offset << " " << n;
    }
    const ssize_t some = f.ReadSome(got.data(), n, offset);
    if (n == 0 || offset >= data.size()) {
      ASSERT_EQ(some, 0) << offset << " " << n;
    } else {
      ASSERT_GT(some, 0) << offset << " " << n;
      ASSERT_LE(std::size_t(some), n);
      ASSERT_TRUE(std::equal(got.begin(), got.begin() + some, data.begin() + std::ptrdiff_t(offset)));
    }
  }
  f.Close();
  EXPECT_EQ(f.fd(), -1);
}

}  // namespace

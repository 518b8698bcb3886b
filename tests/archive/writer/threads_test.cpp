// The writer compresses pieces of the data stream on several threads: the volumes
// come out byte for byte the same for every number of threads, entries cut into
// many pieces read back exactly, and a stop or a failure still leaves nothing.
#include <gtest/gtest.h>

#include <iterator>
#include <map>

#include "ace_writer.h"
#include "support.h"
#include "unace.h"

namespace fs = std::filesystem;
using namespace acetest;
using namespace test_support;

namespace {

constexpr std::uint32_t kTime = (44u << 25) | (7u << 21) | (15u << 16) | (13u << 11) | (30u << 5) | 10u;
const fs::file_time_type kFolderTime = fs::file_time_type::clock::now();  // one moment for every run

struct Item {
  std::string name;
  std::vector<std::uint8_t> data;
  bool fromFile = false;  // added with AddFile (the writer may read it again later)
  bool directory = false;
};

// Entries larger than the test pieces, from memory and from files, that compress,
// that grow (and are stored instead), that repeat earlier ones; small entries
// between them, and folders.
std::vector<Item> Payload() {
  std::vector<Item> items;
  items.push_back({"docs", {}, false, true});
  items.push_back({"docs\\readme.txt", TextBytes(70000, 1)});
  items.push_back({"docs\\big.txt", TextBytes(200000, 2), true});
  for (int i = 1; i <= 16; i += 3) items.push_back({"tiny" + std::to_string(i), TextBytes(static_cast<std::size_t>(i), 3)});
  items.push_back({"bin\\noise.bin", RandomBytes(50000, 4)});
  items.push_back({"bin\\noise_file.bin", RandomBytes(30000, 5), true});
  items.push_back({"bin\\empty", {}});
  items.push_back({"bin\\zeros.bin", std::vector<std::uint8_t>(300000, 0)});
  std::vector<std::uint8_t> pattern;
  for (int i = 0; i < 40000; ++i) pattern.push_back(static_cast<std::uint8_t>("abcabd"[i % 6] + (i / 997) % 3));
  items.push_back({"pattern.dat", pattern, true});
  auto again = TextBytes(200000, 2);
  again[5000] ^= 1;
  items.push_back({"docs\\sub\\again.txt", again});
  items.push_back({"last.txt", TextBytes(3000, 6)});
  return items;
}

// Writes the set; the items added with AddFile are first written into `sources`.
std::vector<fs::path> Write(const fs::path& first, const ace::WriterOptions& o, const std::vector<Item>& items,
                            const fs::path& sources) {
  ace::Writer w(first, o);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const Item& it = items[i];
    if (it.directory) {
      w.AddDirectory(it.name, kFolderTime);
    } else if (it.fromFile) {
      const fs::path source = sources / std::to_string(i);
      if (!fs::exists(source)) WriteFile(source, it.data);
      w.AddFile(it.name, source);
    } else {
      w.AddBytes(it.name, it.data, kTime, 0x20);
    }
  }
  return w.Finish();
}

// `oneVolume`: random data is stored, not grown (in a set of several volumes it
// stays compressed where it crosses a volume's end).
void ExpectDecodesTo(const fs::path& first, const std::vector<Item>& items, bool oneVolume = true) {
  const DecodedSet set = DecodeSet(first);
  ASSERT_EQ(set.openStatus, 0);
  ASSERT_EQ(set.endStatus, ACE_ERR_END);
  std::map<std::string, const DecodedEntry*> byName;
  for (std::size_t i = 0; i < set.entries.size(); ++i) {
    EXPECT_EQ(set.processStatus[i], ACE_OK) << set.entries[i].name;
    byName[set.entries[i].name] = &set.entries[i];
  }
  for (const Item& it : items) {
    ASSERT_TRUE(byName.count(it.name)) << it.name;
    EXPECT_EQ(byName[it.name]->directory, it.directory) << it.name;
    EXPECT_TRUE(byName[it.name]->data == it.data) << it.name;
    if (oneVolume && it.name.find("noise") != std::string::npos) {
      EXPECT_EQ(byName[it.name]->method, 0) << it.name;
    }
  }
}

struct Case {
  bool solid;
  int level;
  int bits;
  std::uint64_t volume;
  std::uint64_t piece;
};

class Threads : public ::testing::TestWithParam<Case> {};

TEST_P(Threads, VolumesAreTheSameBytesForEveryThreadCount) {
  const Case c = GetParam();
  const auto items = Payload();
  TempFolder dir;
  std::vector<std::vector<std::uint8_t>> reference;
  for (int threads : {1, 2, 7}) {
    SCOPED_TRACE(threads);
    ace::WriterOptions o{c.solid, c.bits, c.level, c.volume};
    o.Threads = threads;
    o.PieceSize = c.piece;
    o.Created = kTime;
    const fs::path sub = dir / ("j" + std::to_string(threads));
    fs::create_directories(sub);
    const auto volumes = Write(sub / "set.ace", o, items, dir / "sources");
    ASSERT_EQ(volumes.size() > 1, c.volume != 0);
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const auto& v : volumes) bytes.push_back(ReadBytes(v));
    if (reference.empty()) {
      reference = bytes;
      ExpectDecodesTo(volumes[0], items, c.volume == 0);
    } else {
      ASSERT_EQ(bytes.size(), reference.size());
      for (std::size_t v = 0; v < bytes.size(); ++v) EXPECT_TRUE(bytes[v] == reference[v]) << volumes[v];
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(sub), fs::directory_iterator()), static_cast<long>(volumes.size()))
        << "only the volumes";
  }
}

INSTANTIATE_TEST_SUITE_P(Pieces, Threads,
                         ::testing::Values(Case{true, 3, 22, 0, 4096}, Case{false, 3, 22, 0, 4096},
                                           Case{true, 1, 16, 0, 1000}, Case{true, 5, 12, 0, 3000},
                                           Case{false, 2, 17, 45000, 5000}, Case{true, 3, 22, 60000, 8192},
                                           Case{true, 4, 10, 3001, 700}, Case{true, 3, 22, 0, 0}),
                         [](const auto& info) {
                           const Case& c = info.param;
                           return std::string(c.solid ? "solid" : "separate") + "_level" + std::to_string(c.level) +
                                  "_dict" + std::to_string(c.bits) + "_volume" + std::to_string(c.volume) + "_piece" +
                                  std::to_string(c.piece);
                         });

// Each piece starts with the dictionary's worth of data before it, so copies reach
// back across pieces: into the entry's own earlier pieces always, into earlier
// entries only in a solid archive.
TEST(Pieces, CopiesReachBackAcrossPieces) {
  const auto block = RandomBytes(60000, 11);
  std::vector<std::uint8_t> twice = block;
  twice.insert(twice.end(), block.begin(), block.end());
  struct Row {
    bool solid;
    std::vector<Item> items;
    std::uint64_t mostPacked;  // of the last entry
  };
  const Row rows[] = {
      {true, {{"a.bin", block}, {"b.bin", block}}, 6000},
      {false, {{"a.bin", block}, {"b.bin", block}}, 60000 + 100},
      {false, {{"twice.bin", twice}}, 60000 + 6000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.solid) + " " + row.items.back().name);
    TempFolder dir;
    ace::WriterOptions o{row.solid, 22, 3, 0};
    o.Threads = 3;
    o.PieceSize = 4096;
    const auto volumes = Write(dir / "c.ace", o, row.items, dir / "sources");
    ExpectDecodesTo(volumes[0], row.items);
    const auto blocks = WalkBlocks(volumes[0], nullptr);
    ASSERT_EQ(blocks.size(), row.items.size() + 1);
    EXPECT_LE(blocks.back().packed, row.mostPacked);
    if (row.mostPacked < row.items.back().data.size()) {
      EXPECT_EQ(blocks.back().method, 1);
    } else {
      EXPECT_EQ(blocks.back().method, 0) << "random data is stored";
    }
  }
}

// Data that changes its period exactly where a piece begins: the piece before
// leaves its distances in the decoder's history, which the next piece's encoder
// does not know and must not count on (a run right after the join would otherwise
// be coded as a repeat of the last distance).
TEST(Pieces, EachJoinStartsFromWhatTheDecoderKnows) {
  constexpr std::size_t kPiece = 4096;
  auto periodic = [](int period, std::uint32_t seed) {
    const auto motif = RandomBytes(static_cast<std::size_t>(period), seed);
    std::vector<std::uint8_t> out(kPiece);
    for (std::size_t i = 0; i < kPiece; ++i) out[i] = motif[i % motif.size()];
    return out;
  };
  const std::pair<int, int> rows[] = {{7, 1}, {300, 1}, {3, 5}, {1, 9}};
  for (const auto& [before, after] : rows) {
    for (bool solid : {true, false}) {
      SCOPED_TRACE(std::to_string(before) + " then " + std::to_string(after) + (solid ? " solid" : ""));
      std::vector<std::uint8_t> data = periodic(before, 1);
      for (const auto& next : {periodic(after, 2), periodic(before, 3), periodic(after, 4)})
        data.insert(data.end(), next.begin(), next.end());
      const std::vector<Item> items{{"lead.txt", TextBytes(kPiece, 5)}, {"joins.bin", data}};
      TempFolder dir;
      ace::WriterOptions o{solid, 22, 3, 0};
      o.Threads = 2;
      o.PieceSize = kPiece;
      const auto volumes = Write(dir / "j.ace", o, items, dir / "sources");
      ExpectDecodesTo(volumes[0], items);
      EXPECT_LT(WalkBlocks(volumes[0], nullptr).back().packed, data.size() / 10);
    }
  }
}

// Entries without data end a job after a while too (they would pile up in memory
// otherwise): more of them than one job holds, between two that compress.
TEST(Pieces, ManyEntriesWithoutData) {
  std::vector<Item> items{{"first.txt", TextBytes(20000, 1)}};
  for (int i = 0; i < 17000; ++i) items.push_back({"e" + std::to_string(i), {}});
  items.push_back({"last.txt", TextBytes(20000, 1)});
  TempFolder dir;
  std::vector<std::uint8_t> reference;
  for (int threads : {1, 3}) {
    ace::WriterOptions o{true, 22, 3, 0};
    o.Threads = threads;
    o.Created = kTime;
    const auto volumes = Write(dir / ("m" + std::to_string(threads) + ".ace"), o, items, dir / "sources");
    if (reference.empty()) {
      reference = ReadBytes(volumes[0]);
      ExpectDecodesTo(volumes[0], items);
      EXPECT_LT(WalkBlocks(volumes[0], nullptr).back().packed, 1000u) << "the last entry copies the first";
    } else {
      EXPECT_TRUE(ReadBytes(volumes[0]) == reference);
    }
  }
}

// A file whose pieces were compressed, and which grew, is read again to be stored:
// if it changed in the meantime, the set is refused.
TEST(Pieces, AFileChangedBeforeItIsStoredIsRefused) {
  TempFolder dir;
  fs::create_directories(dir / "out");
  WriteFile(dir / "noise.bin", RandomBytes(30000, 1));
  {
    ace::WriterOptions o{true, 22, 3, 0};
    o.Threads = 2;
    o.PieceSize = 4096;
    ace::Writer w(dir / "out" / "c.ace", o);
    w.AddFile("noise.bin", dir / "noise.bin");
    WriteFile(dir / "noise.bin", RandomBytes(30000, 2));
    try {
      w.Finish();
      ADD_FAILURE() << "finished";
    } catch (const ace::Error& e) {
      EXPECT_STREQ(e.what(), "entry 'noise.bin' changed while it was being read");
    }
  }
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

// A stop asked for at any point, or a failure found when the pieces are written,
// throws and leaves no volume, with the threads still at work.
TEST(Pieces, StopsAndFailuresLeaveNoVolume) {
  const auto items = Payload();
  struct Row {
    int threads;
    int stopAfter;          // ShouldStop answers true from this call on; 0 = never
    std::uint64_t volume;   // too small for the entries: refused while writing
    std::string message;
    ace::Status status;
  };
  const Row rows[] = {{1, 3, 0, "stopped", ace::Status::Cancelled},
                      {3, 3, 0, "stopped", ace::Status::Cancelled},
                      {1, 40, 0, "stopped", ace::Status::Cancelled},
                      {4, 40, 0, "stopped", ace::Status::Cancelled},
                      {3, 0, 130, "more than 256 volumes", ace::Status::TooLarge}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.threads) + "/" + std::to_string(row.stopAfter));
    TempFolder dir;
    fs::create_directories(dir / "out");
    int calls = 0;
    ace::WriterOptions o{true, 22, 3, row.volume};
    o.Threads = row.threads;
    o.PieceSize = 2000;
    if (row.stopAfter) o.ShouldStop = [&] { return ++calls >= row.stopAfter; };
    try {
      Write(dir / "out" / "s.ace", o, items, dir / "sources");
      ADD_FAILURE() << "finished";
    } catch (const ace::Error& e) {
      EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
      EXPECT_EQ(e.status(), row.status) << e.what();
    }
    EXPECT_TRUE(fs::is_empty(dir / "out"));
  }
}

}  // namespace

// Archive sets written by ace::Writer, read back with the archive library.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sys/stat.h>

#include "crc32.h"
#include "dos_time.h"
#include "ace_writer.h"
#include "support.h"
#include "unace.h"
#include "volume_names.h"

namespace fs = std::filesystem;
using namespace acetest;
using namespace test_support;

namespace {

constexpr std::uint32_t kTime = (44u << 25) | (7u << 21) | (15u << 16) | (13u << 11) | (30u << 5) | 10u;

struct Item {
  std::string name;
  std::vector<std::uint8_t> data;
  bool directory = false;
};

std::vector<Item> MixedPayload() {
  std::vector<Item> items;
  items.push_back({"docs", {}, true});
  items.push_back({"docs\\readme.txt", TextBytes(70000, 1)});
  items.push_back({"docs\\empty.txt", {}});
  items.push_back({"bin\\noise.bin", RandomBytes(50000, 2)});
  items.push_back({"bin\\zeros.bin", std::vector<std::uint8_t>(300000, 0)});
  items.push_back({"one.txt", {'x'}});
  items.push_back({"seventeen.txt", TextBytes(17, 3)});
  auto again = TextBytes(70000, 1);  // the same text again: solid archives should find it
  again[100] ^= 1;
  items.push_back({"docs\\sub\\deeper\\again.txt", again});
  std::vector<std::uint8_t> pattern;
  for (int i = 0; i < 40000; ++i) pattern.push_back(static_cast<std::uint8_t>("abcabd"[i % 6] + (i / 997) % 3));
  items.push_back({"pattern.dat", pattern});
  return items;
}

std::vector<fs::path> Write(const fs::path& first, const ace::WriterOptions& o, const std::vector<Item>& items) {
  ace::Writer w(first, o);
  for (const auto& it : items) {
    if (it.directory)
      w.AddDirectory(it.name, fs::file_time_type::clock::now());
    else
      w.AddBytes(it.name, it.data, kTime, 0x20);
  }
  return w.Finish();
}

// Every file item comes back with its bytes; every folder is present; folders come
// before their contents; nothing fails.
void ExpectRoundTrip(const fs::path& first, const std::vector<Item>& items, const ace::WriterOptions& o) {
  const DecodedSet set = DecodeSet(first);
  ASSERT_EQ(set.openStatus, 0);
  ASSERT_EQ(set.endStatus, ACE_ERR_END);
  std::map<std::string, const DecodedEntry*> byName;
  std::map<std::string, std::size_t> position;
  for (std::size_t i = 0; i < set.entries.size(); ++i) {
    ASSERT_EQ(set.processStatus[i], ACE_OK) << set.entries[i].name;
    byName[set.entries[i].name] = &set.entries[i];
    position[set.entries[i].name] = i;
  }
  for (const auto& it : items) {
    auto found = byName.find(it.name);
    ASSERT_NE(found, byName.end()) << it.name;
    EXPECT_EQ(found->second->directory, it.directory) << it.name;
    if (!it.directory) {
      EXPECT_TRUE(found->second->data == it.data) << it.name << ": " << found->second->data.size() << " bytes, expected " << it.data.size();
      EXPECT_EQ(found->second->dosTime, kTime);
      if (!it.data.empty()) {
        // Random data grows under compression and is stored instead (checked where
        // it is certain); so may very small files.
        if (o.Level == 0 || it.data.size() <= 16) {
          EXPECT_EQ(found->second->method, 0) << it.name;
        } else if (it.name.find("noise") == std::string::npos && it.data.size() >= 4096) {
          EXPECT_EQ(found->second->method, 1) << it.name;
        }
        EXPECT_EQ(found->second->solid, o.Solid) << it.name;
        EXPECT_EQ(found->second->dictionary, 1u << o.DictionaryBits) << it.name;
      }
    }
    // Each parent folder is an entry that comes earlier.
    for (std::size_t cut = it.name.find('\\'); cut != std::string::npos; cut = it.name.find('\\', cut + 1)) {
      const std::string parent = it.name.substr(0, cut);
      ASSERT_TRUE(byName.count(parent)) << parent;
      EXPECT_TRUE(byName[parent]->directory);
      EXPECT_LT(position[parent], position[it.name]);
    }
  }
}

// The block structure of a volume set: continuation flags, volume numbers, sizes.
void ExpectWellFormedSet(const std::vector<fs::path>& volumes, std::uint64_t volumeSize) {
  std::uint64_t packedTotal = 0;
  std::string open;
  for (std::size_t v = 0; v < volumes.size(); ++v) {
    SCOPED_TRACE(volumes[v].string());
    if (volumeSize) {
      EXPECT_LE(fs::file_size(volumes[v]), volumeSize);
    }
    std::uint64_t tail = 1;
    const auto blocks = WalkBlocks(volumes[v], &tail);
    EXPECT_EQ(tail, 0u);
    ASSERT_GE(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].type, 0);
    EXPECT_EQ(blocks[0].volumeNumber, static_cast<int>(v));
    EXPECT_EQ((blocks[0].flags & 0x0800) != 0, volumeSize != 0);
    for (std::size_t b = 1; b < blocks.size(); ++b) {
      const Block& k = blocks[b];
      EXPECT_TRUE(k.headerCrcOk);
      ASSERT_EQ(k.type, 1);
      const bool fromPrev = k.flags & 0x1000, toNext = k.flags & 0x2000;
      EXPECT_EQ(fromPrev, !open.empty()) << k.name;
      if (fromPrev) {
        EXPECT_EQ(k.name, open);
        EXPECT_EQ(b, 1u) << "a continuation starts its volume";
      } else {
        packedTotal = 0;
      }
      if (toNext) {
        EXPECT_EQ(b, blocks.size() - 1) << "only a volume's last entry continues";
        EXPECT_GT(k.packed, 0u);
      }
      packedTotal += k.packed;
      open = toNext ? k.name : std::string();
      if (!toNext && k.method == 1) {
        EXPECT_EQ(packedTotal % 4, 0u) << k.name;
      }
      if (!toNext && k.method == 0) {
        EXPECT_EQ(packedTotal, k.original) << k.name;
      }
    }
    if (v + 1 < volumes.size()) {
      ASSERT_GE(blocks.size(), 2u);
      EXPECT_TRUE(blocks.back().flags & 0x2000) << "a volume before the last must end inside an entry";
    } else {
      EXPECT_TRUE(open.empty());
    }
  }
}

struct Case {
  bool solid;
  int level;
  int bits;
  std::uint64_t volume;
};

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, MixedPayload) {
  const Case c = GetParam();
  TempFolder dir;
  const ace::WriterOptions o{c.solid, c.bits, c.level, c.volume};
  const auto items = MixedPayload();
  const auto volumes = Write(dir / "set.ace", o, items);
  ASSERT_FALSE(volumes.empty());
  for (const auto& v : volumes) EXPECT_TRUE(fs::exists(v)) << v;
  if (c.volume) {
    EXPECT_GT(volumes.size(), 1u);
  } else {
    EXPECT_EQ(volumes.size(), 1u);
  }
  ExpectWellFormedSet(volumes, c.volume);
  ExpectRoundTrip(volumes[0], items, o);
  // Nothing but the volumes is left in the folder.
  std::size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    ++files;
    EXPECT_NE(e.path().extension(), ".part");
  }
  EXPECT_EQ(files, volumes.size());
}

INSTANTIATE_TEST_SUITE_P(Options, RoundTrip,
                         ::testing::Values(Case{true, 3, 22, 0}, Case{false, 3, 22, 0}, Case{true, 0, 22, 0},
                                           Case{false, 0, 15, 0}, Case{true, 1, 16, 0}, Case{true, 5, 20, 0},
                                           Case{false, 2, 12, 0}, Case{true, 4, 10, 0},
                                           Case{true, 3, 22, 60000}, Case{false, 3, 17, 45000},
                                           Case{true, 0, 22, 70000}, Case{false, 0, 22, 9999},
                                           Case{true, 1, 14, 3001}));

TEST(RoundTrip, EveryDictionarySizeKeepsItsDistancesInside) {
  // A random block repeated 20 KiB and 600 KiB later: only dictionaries that reach
  // the earlier copy can use it, and every decoded byte must still be right.
  auto block = RandomBytes(8000, 5);
  std::vector<std::uint8_t> data = block;
  auto gap = TextBytes(12000, 6);
  data.insert(data.end(), gap.begin(), gap.end());
  data.insert(data.end(), block.begin(), block.end());
  auto far = RandomBytes(600 * 1024, 7);
  data.insert(data.end(), far.begin(), far.end());
  data.insert(data.end(), block.begin(), block.end());
  std::map<int, std::uint64_t> packed;
  for (int bits = 10; bits <= 22; ++bits) {
    SCOPED_TRACE(bits);
    TempFolder dir;
    const ace::WriterOptions o{true, bits, 2, 0};
    const auto volumes = Write(dir / "d.ace", o, {{"data.bin", data}});
    ExpectRoundTrip(volumes[0], {{"data.bin", data}}, o);
    const auto blocks = WalkBlocks(volumes[0], nullptr);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[1].params, bits - 10);
    packed[bits] = blocks[1].packed;
  }
  // Reaching the near copy (20 KiB back) saves about 8000 bytes; the far one as well.
  EXPECT_LT(packed[15] + 6000, packed[14]);
  EXPECT_LT(packed[20] + 6000, packed[19]);
}

TEST(RoundTrip, SolidArchivesReuseEarlierEntries) {
  const auto data = RandomBytes(200000, 9);
  std::map<bool, std::vector<Block>> blocks;
  for (bool solid : {true, false}) {
    TempFolder dir;
    const ace::WriterOptions o{solid, 22, 3, 0};
    const std::vector<Item> items{{"noise_a.bin", data}, {"noise_b.bin", data}};
    const auto volumes = Write(dir / "s.ace", o, items);
    ExpectRoundTrip(volumes[0], items, o);
    blocks[solid] = WalkBlocks(volumes[0], nullptr);
    ASSERT_EQ(blocks[solid].size(), 3u);
  }
  // Random data does not compress, except against the identical earlier entry.
  EXPECT_GT(blocks[true][1].packed, 199000u);
  EXPECT_LT(blocks[true][2].packed, 2000u);
  EXPECT_GT(blocks[false][2].packed, 199000u);
  // The first copy is stored (it would grow); the solid second one copies from it.
  EXPECT_EQ(blocks[true][1].method, 0);
  EXPECT_EQ(blocks[true][2].method, 1);
  EXPECT_EQ(blocks[false][2].method, 0);
  EXPECT_EQ(blocks[true][2].flags & 0x8000, 0x8000);
  EXPECT_EQ(blocks[false][2].flags & 0x8000, 0);
}

TEST(RoundTrip, TinyStoredEntriesFeedTheSolidWindow) {
  // Each 16-byte entry is stored; the compressed entries after them repeat those
  // bytes, which a solid stream may copy from the stored entries.
  std::vector<Item> items;
  std::vector<std::uint8_t> big;
  for (int i = 0; i < 6; ++i) {
    const auto piece = RandomBytes(16, static_cast<std::uint32_t>(40 + i));
    items.push_back({"tiny" + std::to_string(i), piece});
    for (int k = 0; k < 3; ++k) big.insert(big.end(), piece.begin(), piece.end());
    items.push_back({"big" + std::to_string(i), big});
  }
  for (bool solid : {true, false}) {
    TempFolder dir;
    const ace::WriterOptions o{solid, 16, 3, 0};
    const auto volumes = Write(dir / "t.ace", o, items);
    const DecodedSet set = DecodeSet(volumes[0]);
    ASSERT_EQ(set.endStatus, ACE_ERR_END);
    ASSERT_EQ(set.entries.size(), items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
      EXPECT_EQ(set.processStatus[i], ACE_OK);
      EXPECT_TRUE(set.entries[i].data == items[i].data) << items[i].name;
      EXPECT_EQ(set.entries[i].method, i % 2 == 0 ? 0 : 1) << items[i].name;
    }
  }
}

TEST(RoundTrip, IncompressibleDataAndLongRuns) {
  TempFolder dir;
  const std::vector<Item> items{{"noise", RandomBytes(1 << 20, 3)},
                                {"zeros", std::vector<std::uint8_t>(3 << 20, 0)},
                                {"ones", std::vector<std::uint8_t>(777777, 0xFF)}};
  const ace::WriterOptions o{true, 22, 3, 0};
  const auto volumes = Write(dir / "r.ace", o, items);
  ExpectRoundTrip(volumes[0], items, o);
  const auto blocks = WalkBlocks(volumes[0], nullptr);
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[1].method, 0);  // stored rather than grown
  EXPECT_EQ(blocks[1].packed, 1u << 20);
  EXPECT_EQ(blocks[2].method, 1);
  EXPECT_LT(blocks[2].packed, (3u << 20) / 200);
  EXPECT_LT(blocks[3].packed, 777777u / 200);
}

TEST(Volumes, EntryEndingAtTheVolumeBoundaryMovesTheCutIntoIt) {
  // Stored data that would end exactly at the end of the first volume, followed by
  // another file and a folder: the first volume must still end inside an entry.
  for (int extra : {0, 1, 2, 40}) {
    SCOPED_TRACE(extra);
    TempFolder dir;
    const std::uint64_t volume = 1000;
    const std::string name = "first.bin";
    const std::size_t size = volume - 31 - (35 + name.size()) - static_cast<std::size_t>(extra);
    const std::vector<Item> items{{name, RandomBytes(size, 4)}, {"second.bin", RandomBytes(300, 5)}, {"dir", {}, true},
                                  {"third.bin", {'z'}}};
    const ace::WriterOptions o{false, 22, 0, volume};
    const auto volumes = Write(dir / "b.ace", o, items);
    ExpectWellFormedSet(volumes, volume);
    ExpectRoundTrip(volumes[0], items, o);
  }
}

TEST(Volumes, ContinuedSegmentsCarryTheChecksumOfTheDataReadSoFar) {
  TempFolder dir;
  const auto data = RandomBytes(300000, 21);
  const std::vector<Item> items{{"crc.bin", data}};
  for (int level : {0, 3}) {
    const ace::WriterOptions o{true, 22, level, 100000};
    const auto volumes = Write(dir / ("c" + std::to_string(level) + ".ace"), o, items);
    ASSERT_GE(volumes.size(), 3u);
    ExpectRoundTrip(volumes[0], items, o);
    for (std::size_t v = 0; v < volumes.size(); ++v) {
      const auto blocks = WalkBlocks(volumes[v], nullptr);
      ASSERT_EQ(blocks.size(), 2u);
      const Block& seg = blocks[1];
      if (v + 1 == volumes.size()) {
        EXPECT_EQ(seg.crc, ace::CrcTable(ace::kCrcStart, data.data(), data.size()));
        continue;
      }
      // Some prefix of the data, at least as long as what was stored before the cut.
      std::uint32_t running = ace::kCrcStart;
      std::size_t prefix = running == seg.crc ? 0 : data.size() + 1;
      for (std::size_t n = 0; n < data.size() && prefix > data.size(); ++n) {
        running = ace::CrcTable(running, data.data() + n, 1);
        if (running == seg.crc) prefix = n + 1;
      }
      ASSERT_LE(prefix, data.size()) << "volume " << v << ": not the checksum of any prefix";
      // Stored data is read in pieces of 64 KiB, so the first cut comes long before
      // the end has been read.
      if (level == 0 && v == 0) {
        EXPECT_LT(prefix, 200000u);
      }
    }
  }
}

TEST(Volumes, TinyEntriesAndFoldersBetweenCuts) {
  std::vector<Item> items;
  for (int i = 0; i < 60; ++i) {
    items.push_back({"d" + std::to_string(i), {}, true});
    items.push_back({"d" + std::to_string(i) + "\\f", std::vector<std::uint8_t>(static_cast<std::size_t>(i % 5), static_cast<std::uint8_t>(i))});
    items.push_back({"d" + std::to_string(i) + "\\t.txt", TextBytes(static_cast<std::size_t>(50 + i * 7), static_cast<std::uint32_t>(i))});
  }
  for (int level : {0, 3}) {
    for (std::uint64_t volume : {260u, 333u, 1024u}) {
      SCOPED_TRACE(std::to_string(level) + "/" + std::to_string(volume));
      TempFolder dir;
      const ace::WriterOptions o{true, 16, level, volume};
      const auto volumes = Write(dir / "t.ace", o, items);
      ExpectWellFormedSet(volumes, volume);
      ExpectRoundTrip(volumes[0], items, o);
    }
  }
  // 200 bytes cannot hold a continuation plus the folder and the two small entries
  // that must follow it: a clear refusal, and no volumes left over.
  TempFolder dir;
  {
    ace::Writer w(dir / "t.ace", {true, 16, 0, 200});
    EXPECT_THROW(
        {
          for (const auto& it : items)
            it.directory ? w.AddDirectory(it.name, fs::file_time_type::clock::now()) : w.AddBytes(it.name, it.data, kTime, 0x20);
          w.Finish();
        },
        ace::Error);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(Volumes, NamesGoOnPastC99) {
  EXPECT_EQ(ace::VolumePath("x/set.ace", 0), fs::path("x/set.ace"));
  EXPECT_EQ(ace::VolumePath("x/set.ace", 1), fs::path("x/set.c00"));
  EXPECT_EQ(ace::VolumePath("x/set.ace", 100), fs::path("x/set.c99"));
  EXPECT_EQ(ace::VolumePath("x/set.ace", 101), fs::path("x/set.100"));
  EXPECT_EQ(ace::VolumePath("x/set.ace", 255), fs::path("x/set.254"));
  EXPECT_THROW(ace::VolumePath("x/set.ace", 256), ace::Error);

  TempFolder dir;
  const std::vector<Item> items{{"big.bin", RandomBytes(110 * 180, 8)}};
  const ace::WriterOptions o{true, 22, 0, 256};
  const auto volumes = Write(dir / "many.ace", o, items);
  ASSERT_GT(volumes.size(), 102u);
  EXPECT_EQ(volumes[101].filename(), "many.100");
  EXPECT_EQ(volumes[102].filename(), "many.101");
  ExpectWellFormedSet(volumes, 256);
  ExpectRoundTrip(volumes[0], items, o);

  // More than 256 volumes cannot be numbered: refused, and nothing is left behind.
  TempFolder dir2;
  {
    ace::Writer w(dir2 / "over.ace", o);
    EXPECT_THROW(w.AddBytes("huge", RandomBytes(300 * 256, 9), kTime, 0x20), ace::Error);
  }
  EXPECT_TRUE(fs::is_empty(dir2.Path()));
}

TEST(Volumes, RefusesWhatCannotBeSplit) {
  TempFolder dir;
  // Folders alone cannot end a volume, so they must fit into the first one.
  {
    ace::Writer w(dir / "f.ace", {true, 22, 3, 200});
    for (int i = 0; i < 10; ++i) w.AddDirectory("folder" + std::to_string(i), fs::file_time_type::clock::now());
    EXPECT_THROW(w.Finish(), ace::Error);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  // Options out of range are refused as bad constants.
  const std::pair<const char*, ace::WriterOptions> refused[] = {
      {"x.ace", {true, 22, 3, 100}}, {"x.zip", {true, 22, 3, 4096}}, {"x.ace", {true, 23, 3, 0}},
      {"x.ace", {true, 9, 3, 0}},    {"x.ace", {true, 22, 6, 0}}};
  for (const auto& [name, options] : refused) {
    try {
      ace::Writer w(dir / name, options);
      ADD_FAILURE() << name << " " << options.DictionaryBits << " " << options.Level << " accepted";
    } catch (const ace::Error& e) {
      EXPECT_EQ(e.status(), ace::Status::BadConstant) << e.what();
    }
  }
}

TEST(Names, StoredWithBackslashesAndCheckedForSafety) {
  EXPECT_EQ(ace::ArchiveName("a/b/c.txt"), "a\\b\\c.txt");
  EXPECT_EQ(ace::ArchiveName("dir/"), "dir");
  EXPECT_EQ(ace::ArchiveName("x..y"), "x..y");
  for (const char* bad : {"", "/abs", "\\abs", "c:file", "a/../b", "..", "./a", "a//b", "a\\.\\b", "tab\tname",
                          "what?", "pipe|name"})
    EXPECT_THROW(ace::ArchiveName(bad), ace::Error) << bad;
  EXPECT_NO_THROW(ace::ArchiveName(std::string(259, 'n')));
  EXPECT_THROW(ace::ArchiveName(std::string(260, 'n')), ace::Error);
  // The limit counts stored bytes: one per character in code page 850.
  std::string umlauts;
  for (int i = 0; i < 259; ++i) umlauts += "ü";
  EXPECT_NO_THROW(ace::ArchiveName(umlauts));
  EXPECT_THROW(ace::ArchiveName(umlauts + "ü"), ace::Error);

  TempFolder dir;
  ace::Writer w(dir / "n.ace", {});
  w.AddBytes("a/b.txt", std::vector<std::uint8_t>{1, 2}, kTime, 0x20);
  EXPECT_THROW(w.AddBytes("a\\b.txt", std::vector<std::uint8_t>{1}, kTime, 0x20), ace::Error);  // duplicate
  EXPECT_THROW(w.Finish(), ace::Error);  // the writer refuses to go on after an error
}

TEST(Names, Utf8NamesAreStoredInCodePage850) {
  TempFolder dir;
  ace::Writer w(dir / "n.ace", {});
  w.AddBytes("Überordner/Müller ß é ╔═╗.txt", TextBytes(100, 1), kTime, 0x20);
  w.Finish();
  std::vector<std::string> stored;
  for (const Block& b : WalkBlocks(dir / "n.ace", nullptr))
    if (b.type == 1) stored.push_back(b.name);
  EXPECT_EQ(stored, (std::vector<std::string>{"\x9A" "berordner", "\x9A" "berordner\\M\x81ller \xE1 \x82 \xC9\xCD\xBB.txt"}));
}

TEST(Names, RefusalsNameTheCharacterCodePage850Lacks) {
  const std::pair<std::string, std::string> rows[] = {
      {"日本.txt", "entry name \"日本.txt\": character \"日\" (U+65E5) has no code page 850 form"},
      {"docs/€.txt", "entry name \"docs/€.txt\": character \"€\" (U+20AC) has no code page 850 form"},
      {"\xF0\x9F\x98\x80.txt", "entry name \"\xF0\x9F\x98\x80.txt\": character \"\xF0\x9F\x98\x80\" (U+1F600) has no code page 850 form"},
      {"├®.txt", "entry name \"├®.txt\": its code page 850 bytes would read back as \"é.txt\""},
      {"caf\xE9.txt", "entry name \"caf\\xE9.txt\": is not valid UTF-8"},
  };
  for (const auto& [name, message] : rows) {
    try {
      ace::ArchiveName(name);
      ADD_FAILURE() << name << " was accepted";
    } catch (const ace::Error& e) {
      EXPECT_EQ(e.what(), message);
      EXPECT_EQ(e.status(), ace::Status::UnsafeName) << name;
    }
  }
}

TEST(Files, AddFileStreamsAndKeepsAttributesAndTime) {
  TempFolder dir;
  const auto big = TextBytes(3 << 19, 12);
  WriteFile(dir / "src" / "big.txt", big);
  WriteFile(dir / "src" / "ro.txt", TextBytes(1000, 13));
  WriteFile(dir / "src" / "empty", "");
  ASSERT_EQ(chmod((dir / "src" / "ro.txt").c_str(), 0444), 0);
  const auto when = fs::last_write_time(dir / "src" / "big.txt");
  fs::create_directories(dir / "out");
  std::vector<fs::path> volumes;
  {
    ace::Writer w(dir / "out" / "f.ace", {true, 12, 3, 500000});
    w.AddDirectory("src", when);
    w.AddFile("src/big.txt", dir / "src" / "big.txt");
    w.AddFile("src/ro.txt", dir / "src" / "ro.txt");
    w.AddFile("src/empty", dir / "src" / "empty");
    EXPECT_THROW(w.AddFile("src/missing", dir / "src" / "missing"), ace::Error);
  }
  EXPECT_TRUE(fs::is_empty(dir / "out")) << "a failed set leaves no volume behind";
  {
    ace::Writer w(dir / "out" / "f.ace", {true, 12, 3, 500000});
    w.AddDirectory("src", when);
    w.AddFile("src/big.txt", dir / "src" / "big.txt");
    w.AddFile("src/ro.txt", dir / "src" / "ro.txt");
    w.AddFile("src/empty", dir / "src" / "empty");
    volumes = w.Finish();
  }
  ExpectWellFormedSet(volumes, 500000);
  const DecodedSet set = DecodeSet(volumes[0]);
  ASSERT_EQ(set.endStatus, ACE_ERR_END);
  ASSERT_EQ(set.entries.size(), 4u);
  EXPECT_TRUE(set.entries[0].directory);
  EXPECT_EQ(set.entries[0].attributes & 0x10, 0x10u);
  EXPECT_EQ(set.entries[0].dosTime, ace::FileTimeToDosTime(when));
  EXPECT_TRUE(set.entries[1].data == big);
  EXPECT_EQ(set.entries[1].dosTime, ace::FileTimeToDosTime(when));
  EXPECT_EQ(set.entries[1].attributes, 0x20u);
  EXPECT_EQ(set.entries[2].attributes, 0x21u);
  EXPECT_TRUE(set.entries[3].data.empty());
  for (int s : set.processStatus) EXPECT_EQ(s, ACE_OK);
}

TEST(Files, IncompressibleFileIsReadAgainAndStored) {
  TempFolder dir;
  const auto noise = RandomBytes(300000, 31);
  const auto text = TextBytes(100000, 32);
  WriteFile(dir / "noise.bin", noise);
  WriteFile(dir / "text.txt", text);
  ace::Writer w(dir / "n.ace", {true, 22, 3, 0});
  w.AddFile("noise.bin", dir / "noise.bin");
  w.AddFile("text.txt", dir / "text.txt");
  const auto volumes = w.Finish();
  const auto blocks = WalkBlocks(volumes[0], nullptr);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[1].method, 0);
  EXPECT_EQ(blocks[1].packed, noise.size());
  EXPECT_EQ(blocks[2].method, 1);
  const DecodedSet set = DecodeSet(volumes[0]);
  ASSERT_EQ(set.entries.size(), 2u);
  EXPECT_EQ(set.processStatus[0], ACE_OK);
  EXPECT_EQ(set.processStatus[1], ACE_OK);
  EXPECT_TRUE(set.entries[0].data == noise);
  EXPECT_TRUE(set.entries[1].data == text);
}

TEST(Files, DosTimeOfAKnownMoment) {
  // 2024-07-15 13:30:21 local time: seconds are stored halved.
  std::tm tm{};
  tm.tm_year = 124, tm.tm_mon = 6, tm.tm_mday = 15, tm.tm_hour = 13, tm.tm_min = 30, tm.tm_sec = 21, tm.tm_isdst = -1;
  const auto sys = std::chrono::system_clock::from_time_t(std::mktime(&tm));
  EXPECT_EQ(ace::FileTimeToDosTime(fs::file_time_type::clock::from_sys(sys)), kTime);
  const auto old = std::chrono::system_clock::from_time_t(0);
  EXPECT_EQ(ace::FileTimeToDosTime(fs::file_time_type::clock::from_sys(old)), (1u << 21) | (1u << 16));
}

TEST(Files, EmptyArchiveIsJustAMainHeader) {
  TempFolder dir;
  ace::Writer w(dir / "e.ace", {});
  const auto volumes = w.Finish();
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(fs::file_size(volumes[0]), 31u);
  const auto blocks = WalkBlocks(volumes[0], nullptr);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_TRUE(blocks[0].headerCrcOk);
  EXPECT_EQ(blocks[0].flags, 0x8000);
  const DecodedSet set = DecodeSet(volumes[0]);
  EXPECT_EQ(set.openStatus, 0);
  EXPECT_EQ(set.endStatus, ACE_ERR_END);
  EXPECT_TRUE(set.entries.empty());
}

}  // namespace

// The demo release's sources: the NFO is the code page 437 form of its UTF-8
// source, with real block and line art; the description, the texts and the
// generated payload all tell of the same game, Lantern Harbour 1.0; the payload
// generator is deterministic and writes the mix of folders and file kinds the demo
// promises.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "description.h"
#include "test_support.h"

namespace fs = std::filesystem;

using namespace test_support;

namespace {

// Code points of bytes 0x80..0xFF in code page 437.
constexpr char32_t kUpperHalf[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

TEST(DemoNfo, IsTheCodePage437FormOfItsSource) {
  const std::string nfo = ReadFile(fs::path(DEMO_SOURCE_DIR) / "demo.nfo");
  const std::string source = ReadFile(fs::path(DEMO_SOURCE_DIR) / "nfo" / "demo.nfo.utf8.txt");
  ASSERT_FALSE(nfo.empty());
  // Decode the byte file back to UTF-8 with LF line ends; it must give the source.
  std::string decoded;
  for (std::size_t i = 0; i < nfo.size(); ++i) {
    const auto b = static_cast<unsigned char>(nfo[i]);
    if (b == '\r') {
      ASSERT_LT(i + 1, nfo.size());
      ASSERT_EQ(nfo[i + 1], '\n') << "a CR without LF at byte " << i;
      continue;
    }
    ASSERT_TRUE(b == '\n' || b >= 0x20) << "control byte " << int(b) << " at " << i;
    AppendUtf8(decoded, b < 0x80 ? char32_t(b) : kUpperHalf[b - 0x80]);
  }
  std::string expected = source;
  if (!expected.empty() && expected.back() != '\n') expected += '\n';
  EXPECT_EQ(decoded, expected);
}

TEST(DemoNfo, HasBlockAndLineArtOnEightyColumns) {
  const std::string nfo = ReadFile(fs::path(DEMO_SOURCE_DIR) / "demo.nfo");
  std::map<unsigned char, int> counts;
  for (char c : nfo) counts[static_cast<unsigned char>(c)]++;
  int art = 0;
  for (int b = 0xB0; b <= 0xDF; ++b) art += counts[static_cast<unsigned char>(b)];
  EXPECT_GT(art, 500);
  for (unsigned char b : {0xB0, 0xB1, 0xB2, 0xDB, 0xDC, 0xDF, 0xC9, 0xCD, 0xBB, 0xBA, 0xC8, 0xBC, 0xC4, 0xB3}) {
    EXPECT_GT(counts[b], 0) << "byte " << std::hex << int(b) << " is not used";
  }
  std::istringstream lines(nfo);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    ++n;
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r') << "line " << n;
    EXPECT_LE(line.size() - 1, 80u) << "line " << n;
  }
  EXPECT_GT(n, 20);
}

std::map<std::string, std::string> TreeOf(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    tree[fs::relative(e.path(), root).string()] = e.is_directory() ? std::string("<folder>") : ReadFile(e.path());
  }
  return tree;
}

int RunPayload(const fs::path& out, const std::string& extra = "") {
  const std::string command = std::string("'") + MAKE_PAYLOAD_FILE + "' '" + out.string() + "' '" + DEMO_SOURCE_DIR +
                              "/payload-sources' " + extra + " > /dev/null 2>&1";
  return std::system(command.c_str());
}

TEST(DemoPayload, DeterministicAndVaried) {
  const TempFolder folder("demo-payload");
  const fs::path& tmp = folder.Path();
  std::ofstream(tmp / "tool.bin", std::ios::binary) << std::string("\x7f" "ELF fake tool", 13);
  ASSERT_EQ(RunPayload(tmp / "a", "--scale 25 --copy tool=" + (tmp / "tool.bin").string()), 0);
  ASSERT_EQ(RunPayload(tmp / "b", "--scale 25 --copy tool=" + (tmp / "tool.bin").string()), 0);
  const auto a = TreeOf(tmp / "a");
  EXPECT_EQ(a, TreeOf(tmp / "b"));

  // A second run into the same folder starts afresh.
  std::ofstream(tmp / "a" / "stale.txt") << "old";
  ASSERT_EQ(RunPayload(tmp / "a", "--scale 25 --copy tool=" + (tmp / "tool.bin").string()), 0);
  EXPECT_EQ(TreeOf(tmp / "a"), a);

  for (const char* folder : {"docs", "docs/manual", "pictures/maps", "pictures/icons", "data", "saves", "bin"}) {
    EXPECT_EQ(a.count(folder) ? a.at(folder) : "", "<folder>") << folder;
  }
  EXPECT_TRUE(fs::is_empty(tmp / "a" / "saves"));
  EXPECT_EQ(a.at("readme.txt"), ReadFile(fs::path(DEMO_SOURCE_DIR) / "payload-sources" / "readme.txt"));
  EXPECT_EQ(a.at("bin/tool"), ReadFile(tmp / "tool.bin"));
  // The change log runs from the release, 1.0, back to the first build, 0.1.
  const std::string& log = a.at("CHANGELOG.txt");
  EXPECT_THAT(log, ::testing::StartsWith("Lantern Harbour - change log\n\nVersion 1.0 ("));
  EXPECT_THAT(log, ::testing::HasSubstr("\nVersion 0.1 ("));
  EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("Version 1.1")));
  EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("{n}")));
  EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("{thing}")));
  // No version lists the same entry twice.
  {
    std::istringstream in(log);
    std::string line, version;
    std::map<std::string, int> seen;
    int versions = 0;
    while (std::getline(in, line)) {
      if (line.rfind("Version ", 0) == 0) {
        version = line;
        seen.clear();
        ++versions;
      } else if (line.rfind("  * ", 0) == 0) {
        EXPECT_EQ(++seen[line], 1) << version << " repeats " << line;
      }
    }
    EXPECT_EQ(versions, 10);
  }
  EXPECT_THAT(a.at("docs/index.txt"), ::testing::StartsWith("Lantern Harbour - the captain's manual\n"));
  EXPECT_THAT(a.at("docs/manual/chapter-01.txt"), ::testing::StartsWith("Chapter 1: "));
  EXPECT_THAT(a.at("pictures/maps/map-01.ppm"), ::testing::StartsWith("P6\n200 150\n255\n"));
  EXPECT_EQ(a.at("pictures/maps/map-01.ppm").size(), std::string("P6\n200 150\n255\n").size() + 200 * 150 * 3);
  const std::string& bmp = a.at("pictures/icons/icon-01.bmp");
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(bmp.size(), 54u + 64 * 64 * 3);
  EXPECT_NE(a.at("pictures/maps/map-01.ppm"), a.at("pictures/maps/map-02.ppm"));

  // The cargo ledger: seven columns, harbours numbered 1 to 40 on the coast.
  std::istringstream ledger(a.at("data/cargo.csv"));
  std::string row;
  ASSERT_TRUE(std::getline(ledger, row));
  EXPECT_EQ(row, "id,goods,from,to,crates,days_at_sea,price");
  int rows = 0;
  while (std::getline(ledger, row)) {
    std::vector<std::string> cells;
    std::istringstream cols(row);
    for (std::string cell; std::getline(cols, cell, ',');) cells.push_back(cell);
    ASSERT_EQ(cells.size(), 7u) << row;
    EXPECT_EQ(cells[0], std::to_string(++rows));
    for (int c : {2, 3}) {
      EXPECT_GE(std::stoi(cells[c]), 1) << row;
      EXPECT_LE(std::stoi(cells[c]), 40) << row;
    }
  }
  EXPECT_EQ(rows, 15000);  // a quarter of the full ledger
  // The tide tables: a count and 32-byte records, a quarter of 96 Ki of them.
  const std::string& tides = a.at("data/tides.bin");
  ASSERT_GE(tides.size(), 8u);
  EXPECT_EQ(tides.substr(0, 4), "LHTT");
  EXPECT_EQ(tides.size(), 8u + 32u * 24u * 1024u);

  // Bad arguments are refused.
  EXPECT_NE(RunPayload(tmp / "c", "--copy nonsense"), 0);
  EXPECT_NE(RunPayload(tmp / "c", "--colour red"), 0);

  // Sources without change log phrases, or with a phrase lacking its kind, are
  // refused rather than written as a broken log.
  const fs::path sources = tmp / "sources";
  fs::create_directories(sources);
  for (const char* name : {"readme.txt", "words.txt"}) {
    fs::copy_file(fs::path(DEMO_SOURCE_DIR) / "payload-sources" / name, sources / name);
  }
  auto runWith = [&](const std::string& changes) {
    std::ofstream(sources / "changes.txt", std::ios::binary | std::ios::trunc) << changes;
    const std::string command = std::string("'") + MAKE_PAYLOAD_FILE + "' '" + (tmp / "d").string() + "' '" +
                                sources.string() + "' --scale 1 > /dev/null 2>&1";
    return std::system(command.c_str());
  };
  EXPECT_NE(runWith("# only a comment\n"), 0);
  EXPECT_NE(runWith("fixed: the tide tables\nthe lanterns stayed dark\n"), 0);
  EXPECT_EQ(runWith("fixed: the tide tables\n"), 0);
  EXPECT_THAT(ReadFile(tmp / "d" / "CHANGELOG.txt"), ::testing::HasSubstr("  * Fixed: the tide tables\n"));
}

// The description as the build configures it, with the build's values filled in.
mkrelease::ReleaseDescription DemoDescription() {
  std::string text = ReadFile(fs::path(DEMO_SOURCE_DIR) / "demo.release.in");
  const std::vector<std::pair<std::string, std::string>> values = {
      {"@DEMO_VOLUME_SIZE@", "2M"},
      {"@DEMO_SOURCE_DIR@", DEMO_SOURCE_DIR},
      {"@DEMO_INSTALLER@", "/usr/bin/true"},
      {"@DEMO_TUNE_LINE@", "; no tune"}};
  for (const auto& [key, value] : values) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
  }
  return mkrelease::ParseDescription(text, fs::path(DEMO_SOURCE_DIR), "demo.release.in");
}

TEST(DemoRelease, EveryTextTellsOfTheSameGame) {
  const auto d = DemoDescription();
  EXPECT_EQ(d.title, "harbour");  // volumes harbour.ace, harbour.c00, ...
  EXPECT_EQ(d.defaultDir, std::optional<std::string>("Lantern Harbour"));
  EXPECT_EQ(d.nfo, fs::path(DEMO_SOURCE_DIR) / "demo.nfo");
  EXPECT_EQ(d.execute, "readme.txt");
  ASSERT_TRUE(d.regfile1.has_value());
  EXPECT_TRUE(fs::is_regular_file(*d.regfile1));

  const fs::path dir = DEMO_SOURCE_DIR;
  EXPECT_THAT(ReadFile(*d.regfile1), ::testing::StartsWith("Lantern Harbour 1.0 demo"));
  EXPECT_THAT(ReadFile(dir / "payload-sources" / "readme.txt"), ::testing::StartsWith("LANTERN HARBOUR 1.0 "));
  const std::string nfo = ReadFile(dir / "nfo" / "demo.nfo.utf8.txt");
  EXPECT_THAT(nfo, ::testing::HasSubstr("Lantern Harbour 1.0"));
  EXPECT_THAT(nfo, ::testing::HasSubstr("V E R S I O N   1 . 0"));
  // No text is left over from another game.
  for (const fs::path& text : {dir / "nfo" / "demo.nfo.utf8.txt", dir / "register.txt", dir / "demo.release.in",
                               dir / "payload-sources" / "readme.txt", dir / "payload-sources" / "changes.txt",
                               dir / "payload-sources" / "words.txt"}) {
    std::string lower = ReadFile(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* foreign : {"starfall", "tactics", "fleet", "sector"}) {
      EXPECT_EQ(lower.find(foreign), std::string::npos) << text << " speaks of " << foreign;
    }
  }
}

}  // namespace

// Re-packs every archive of the real corpus: decode it with the archive library,
// write its entries with ace::Writer, decode that, and compare the bytes.
#include <gtest/gtest.h>

#include "ace_writer.h"
#include "support.h"
#include "unace.h"

namespace fs = std::filesystem;
using namespace acetest;
using namespace test_support;

namespace {

std::vector<fs::path> CorpusArchives() {
  std::vector<fs::path> found;
  for (const char* sub : {"v1", "v2", "modes"}) {
    const fs::path dir = fs::path(ACE_CORPUS_DIR) / sub;
    if (!fs::exists(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir)) {
      fs::path md5 = e.path();
      md5 += ".md5";
      if (fs::exists(md5)) found.push_back(e.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(Corpus, RepackedArchivesDecodeToTheSameBytes) {
  const auto archives = CorpusArchives();
  ASSERT_GE(archives.size(), 8u) << "corpus not found at " << ACE_CORPUS_DIR;
  std::size_t filesCompared = 0;
  for (const auto& archive : archives) {
    SCOPED_TRACE(archive.string());
    const DecodedSet original = DecodeSet(archive);
    ASSERT_EQ(original.openStatus, 0);
    ASSERT_EQ(original.endStatus, ACE_ERR_END);
    for (int s : original.processStatus) ASSERT_EQ(s, ACE_OK);
    ASSERT_FALSE(original.entries.empty());

    // The last two cut the stream into small pieces, compressed on three threads.
    const ace::WriterOptions variants[] = {
        {true, 22, 3, 0}, {false, 20, 4, 0}, {true, 11, 1, 40000}, {true, 22, 0, 30000},
        {.Solid = true, .DictionaryBits = 17, .Level = 3, .VolumeSize = 0, .Threads = 3, .PieceSize = 4096},
        {.Solid = false, .DictionaryBits = 16, .Level = 2, .VolumeSize = 50000, .Threads = 3, .PieceSize = 5000}};
    for (const auto& o : variants) {
      SCOPED_TRACE(std::to_string(o.Level) + "/" + std::to_string(o.DictionaryBits) + "/" + std::to_string(o.VolumeSize) +
                   "/" + std::to_string(o.PieceSize));
      TempFolder dir;
      {
        ace::Writer w(dir / "repack.ace", o);
        for (const auto& e : original.entries) {
          if (e.directory)
            w.AddDirectory(e.name, fs::file_time_type::clock::now());
          else
            w.AddBytes(e.name, e.data, e.dosTime, e.attributes & 0x27);
        }
        w.Finish();
      }
      const DecodedSet again = DecodeSet(dir / "repack.ace");
      ASSERT_EQ(again.endStatus, ACE_ERR_END);
      ASSERT_EQ(again.entries.size(), original.entries.size());
      for (std::size_t i = 0; i < again.entries.size(); ++i) {
        EXPECT_EQ(again.processStatus[i], ACE_OK);
        EXPECT_EQ(again.entries[i].name, original.entries[i].name);
        EXPECT_EQ(again.entries[i].directory, original.entries[i].directory);
        EXPECT_TRUE(again.entries[i].data == original.entries[i].data) << again.entries[i].name;
        if (!again.entries[i].directory) {
          EXPECT_EQ(again.entries[i].dosTime, original.entries[i].dosTime);
          ++filesCompared;
        }
      }
    }
  }
  EXPECT_GT(filesCompared, 100u);
}

}  // namespace

// Replays every input kept in fuzz-regressions/ (inputs that once crashed or hung,
// and hand-made hostile ones) through the whole read sequence, in every build.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_bytes.h"
#include "test_support.h"

namespace {

using namespace acetest;

TEST(FuzzRegressions, EveryKeptInputEndsCleanly) {
  const fs::path dir = fs::path(TEST_SOURCE_DIR) / "fuzz-regressions";
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (!e.is_regular_file() || e.path().filename() == "README") continue;
    const std::string data = ReadFile(e.path());
    // Must return (no crash, no hang); the count is bounded by the input size.
    const int entries = acefuzz::RunArchiveBytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    EXPECT_LE(entries, int(data.size() / 31 + 1)) << e.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST(FuzzRegressions, CorpusArchivesRunThroughTheFuzzSequence) {
  // The seeds themselves: each real archive yields its entries.
  const std::string data = ReadFile(kCorpus / "v2/dir2.ace");
  EXPECT_EQ(acefuzz::RunArchiveBytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()), 38);
}

}  // namespace

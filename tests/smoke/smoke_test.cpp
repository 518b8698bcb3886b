#include <gtest/gtest.h>
#include <filesystem>
#include "unace.h"

TEST(Corpus, IsReachable) {
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(ACE_CORPUS_DIR) / "README.md"));
}

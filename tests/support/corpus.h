// Where the shared ACE corpus lies (set by the build: ACE_CORPUS_DIR).
#pragma once

#include <filesystem>

namespace test_support {

inline const std::filesystem::path kCorpus = ACE_CORPUS_DIR;

}  // namespace test_support

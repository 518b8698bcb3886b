// The acepack tool run on a real folder tree; its output read with the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <map>

#include "support.h"
#include "unace.h"

namespace fs = std::filesystem;
using namespace acetest;
using namespace test_support;

namespace {

int RunAcepack(const std::string& args, std::string* output = nullptr) {
  const std::string cmd = std::string(ACEPACK_PATH) + " " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  std::string text;
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  if (output) *output = text;
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Acepack, PacksAFolderTreeIntoVolumes) {
  TempFolder dir;
  std::map<std::string, std::vector<std::uint8_t>> files{
      {"top.txt", TextBytes(30000, 1)},
      {"sub/a.bin", RandomBytes(9000, 2)},
      {"sub/deeper/b.txt", TextBytes(12000, 3)},
      {"sub/deeper/empty", {}},
  };
  for (const auto& [name, data] : files) WriteFile(dir / "tree" / name, data);
  fs::create_directories(dir / "tree" / "emptydir");
  fs::create_symlink("top.txt", dir / "tree" / "link");

  std::string said;
  ASSERT_EQ(RunAcepack("-s -v 4k -d 16 -l 2 " + (dir / "set.ace").string() + " " + (dir / "tree").string(), &said), 0);
  EXPECT_EQ(said.find('\r'), std::string::npos) << "no progress line when the output is not a terminal";
  EXPECT_TRUE(fs::exists(dir / "set.c00"));
  const DecodedSet set = DecodeSet(dir / "set.ace");
  ASSERT_EQ(set.endStatus, ACE_ERR_END);
  std::map<std::string, const DecodedEntry*> got;
  for (std::size_t i = 0; i < set.entries.size(); ++i) {
    EXPECT_EQ(set.processStatus[i], ACE_OK);
    got[set.entries[i].name] = &set.entries[i];
  }
  for (const auto& [name, data] : files) {
    std::string stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    ASSERT_TRUE(got.count(stored)) << stored;
    EXPECT_TRUE(got[stored]->data == data) << stored;
    EXPECT_TRUE(got[stored]->solid || data.empty());
    EXPECT_EQ(got[stored]->dictionary, 1u << 16);
  }
  for (const char* folder : {"sub", "sub\\deeper", "emptydir"}) {
    ASSERT_TRUE(got.count(folder)) << folder;
    EXPECT_TRUE(got[folder]->directory);
  }
  EXPECT_FALSE(got.count("link")) << "symbolic links are skipped";
  EXPECT_EQ(set.entries.size(), files.size() + 3);
}

// With SOURCE_DATE_EPOCH fixed, packing the same tree gives the same volumes for
// every number of threads (the tree is larger than one 4 MiB piece).
TEST(Acepack, ThreadsLeaveTheVolumesAsTheyAre) {
  TempFolder dir;
  WriteFile(dir / "tree" / "a.txt", TextBytes(5u << 20, 1));
  WriteFile(dir / "tree" / "sub" / "b.bin", RandomBytes(1u << 20, 2));
  WriteFile(dir / "tree" / "sub" / "c.txt", TextBytes(3u << 20, 3));
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  std::map<std::string, std::map<std::string, std::vector<std::uint8_t>>> sets;  // by thread count
  for (const std::string threads : {"1", "3"}) {
    const fs::path out = dir / ("j" + threads);
    fs::create_directories(out);
    EXPECT_EQ(RunAcepack("-s -l 2 -v 2m -j " + threads + " " + (out / "set.ace").string() + " " + (dir / "tree").string()), 0);
    for (const auto& v : fs::directory_iterator(out)) sets[threads][v.path().filename().string()] = ReadBytes(v.path());
  }
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_GE(sets["1"].size(), 2u);
  EXPECT_TRUE(sets["1"] == sets["3"]);
  EXPECT_EQ(DecodeSet(dir / "j3" / "set.ace").endStatus, ACE_ERR_END);
  for (const char* bad : {"-j 0", "-j x", "-j"})
    EXPECT_EQ(RunAcepack(std::string(bad) + " " + (dir / "bad.ace").string() + " " + (dir / "tree").string()), 2) << bad;
  EXPECT_FALSE(fs::exists(dir / "bad.ace"));
}

TEST(Acepack, RefusesBadArgumentsWithoutWriting) {
  TempFolder dir;
  fs::create_directories(dir / "tree");
  EXPECT_EQ(RunAcepack((dir / "only.ace").string()), 2);
  EXPECT_EQ(RunAcepack("-x " + (dir / "a.ace").string() + " " + (dir / "tree").string()), 2);
  EXPECT_EQ(RunAcepack("-d 30 " + (dir / "a.ace").string() + " " + (dir / "tree").string()), 1);
  EXPECT_EQ(RunAcepack((dir / "a.ace").string() + " " + (dir / "missing").string()), 1);
  EXPECT_FALSE(fs::exists(dir / "a.ace"));
  EXPECT_FALSE(fs::exists(dir / "a.ace.part"));
}

TEST(Acepack, ANameCodePage850LacksStopsItWithoutLeavingVolumes) {
  TempFolder dir;
  WriteFile(dir / "tree" / "a.txt", TextBytes(5000, 1));  // packed before the refused name
  WriteFile(dir / "tree" / "日本.txt", TextBytes(100, 2));
  std::string output;
  EXPECT_EQ(RunAcepack((dir / "set.ace").string() + " " + (dir / "tree").string(), &output), 1);
  EXPECT_EQ(output, "acepack: entry name \"日本.txt\": character \"日\" (U+65E5) has no code page 850 form\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1) << "only the tree";
}

}  // namespace

TEST(Acepack, SigtermLeavesNoVolumeBehind) {
  TempFolder dir;
  WriteFile(dir / "tree" / "big.bin", RandomBytes(48u << 20, 7));
  fs::create_directories(dir / "out");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string out = (dir / "out" / "set.ace").string(), tree = (dir / "tree").string();
    ::execl(ACEPACK_PATH, "acepack", "-v", "4m", out.c_str(), tree.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Once packing has begun (the first volume is being written), stop it.
  auto filesIn = [&] { return std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()); };
  for (int i = 0; i < 3000 && filesIn() == 0; ++i) ::usleep(2000);
  ASSERT_GT(filesIn(), 0);
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << "stopped by the signal, not finished";
  EXPECT_EQ(filesIn(), 0) << "no volume and no temporary file is left";
}

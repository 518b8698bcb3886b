// Archive sets written by ace::Writer, extracted by the command-line extractor: every
// combination of solid / not, stored / compressed, one volume / several, entries
// whole or cut into pieces compressed on several threads, comes back bit for bit.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <random>

#include "ace_writer.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

struct Case {
  bool solid;
  int level;
  std::uint64_t volumeSize;
  std::uint64_t pieceSize = 0;  // 0: the default, larger than these entries
  int threads = 0;
};

class WrittenSetThroughAceExtract : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(WrittenSetThroughAceExtract, ExtractsBitExactly) {
  const Case c = GetParam();
  test_support::TempFolder dir;
  std::mt19937 rng(5);
  std::vector<std::pair<std::string, std::string>> files;
  std::string text;
  while (text.size() < 300000) text += "volume " + std::to_string(rng() % 1000) + " of the set\n";
  std::string noise(120000, '\0');
  for (char& ch : noise) ch = char(rng());
  files = {{"readme.txt", "hello\n"}, {"docs\\manual.txt", text}, {"data\\noise.bin", noise}, {"data\\empty", ""},
           {"Überordner\\Grüße ╔═╗.txt", "stored in code page 850, extracted as UTF-8\n"}};

  ace::WriterOptions options;
  options.Solid = c.solid;
  options.Level = c.level;
  options.VolumeSize = c.volumeSize;
  options.PieceSize = c.pieceSize;
  options.Threads = c.threads;
  ace::Writer writer(dir / "set.ace", options);
  for (const auto& [name, data] : files)
    writer.AddBytes(name, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, 0x5A8C6B2E, 0x20);
  const auto volumes = writer.Finish();
  if (c.volumeSize) {
    EXPECT_GE(volumes.size(), 3u);
  }

  const fs::path dest = dir / "out";
  fs::create_directories(dest);
  const std::string command = std::string("'") + ACEEXTRACT_PATH + "' x '" + (dir / "set.ace").string() + "' '" +
                              dest.string() + "/' > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const auto& [name, data] : files) {
    std::string path = name;
    for (char& ch : path)
      if (ch == '\\') ch = '/';
    EXPECT_EQ(test_support::ReadFile(dest / path), data) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Sets, WrittenSetThroughAceExtract,
                         ::testing::Values(Case{true, 3, 0}, Case{false, 3, 0}, Case{true, 0, 0},
                                           Case{true, 3, 64 * 1024}, Case{false, 1, 64 * 1024},
                                           Case{true, 0, 100 * 1024}, Case{true, 3, 0, 16384, 3},
                                           Case{false, 3, 0, 16384, 3}, Case{true, 3, 64 * 1024, 10000, 2},
                                           Case{false, 1, 64 * 1024, 10000, 4}, Case{true, 5, 0, 4096, 2}),
                         [](const auto& info) {
                           return std::string(info.param.solid ? "solid" : "separate") + "_level" +
                                  std::to_string(info.param.level) +
                                  (info.param.volumeSize ? "_volumes" : "_single") +
                                  (info.param.pieceSize ? "_pieces" + std::to_string(info.param.pieceSize) : "");
                         });

TEST(AceExtractStop, SigtermAbandonsTheEntryBeingWritten) {
  // aceextract's standard output is a pipe that the test has filled: when the
  // extractor announces the second volume, in the middle of the entry that crosses
  // into it, it waits to write that line. The signal comes then.
  test_support::TempFolder dir;
  ace::WriterOptions options;
  options.Level = 0;
  options.VolumeSize = 40000;
  ace::Writer writer(dir / "set.ace", options);
  writer.AddBytes("first.txt", std::vector<std::uint8_t>(1000, 'a'), 0x5A8C6B2E, 0x20);
  writer.AddBytes("crossing.bin", std::vector<std::uint8_t>(60000, 'b'), 0x5A8C6B2E, 0x20);
  ASSERT_GE(writer.Finish().size(), 2u);
  fs::create_directories(dir / "out");

  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const int capacity = ::fcntl(out[1], F_SETPIPE_SZ, 4096);
  ASSERT_GT(capacity, 0);
  ASSERT_EQ(::write(out[1], std::string(std::size_t(capacity), '.').data(), std::size_t(capacity)), capacity);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    const std::string set = (dir / "set.ace").string(), dest = (dir / "out").string() + "/";
    ::execl(ACEEXTRACT_PATH, "aceextract", "x", set.c_str(), dest.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  auto waitingToWrite = [&] {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    wchan >> where;
    return where.find("pipe_write") != std::string::npos;
  };
  for (int i = 0; i < 2000 && !waitingToWrite(); ++i) ::usleep(5000);
  ASSERT_TRUE(waitingToWrite());
  ::kill(pid, SIGTERM);
  char drain[8192];
  while (::read(out[0], drain, sizeof drain) > 0) {
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(out[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_EQ(test_support::ReadFile(dir / "out" / "first.txt"), std::string(1000, 'a')) << "the complete entry stays";
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir / "out")) left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"first.txt"}) << "nothing of the abandoned entry, no temporary file";
}

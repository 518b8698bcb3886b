// The aceextract command: its three commands and its failure reports.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "test_support.h"

namespace {

using namespace acetest;

struct Result {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

Result RunTool(const std::string& args) {
  Result r;
  const std::string command = std::string(ACEEXTRACT) + " " + args + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  const int status = ::pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(AceExtract, ListsTestsAndExtracts) {
  const Result list = RunTool("l " + Quote(kCorpus / "v1/onefile.ace"));
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.output.find("38729"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("475833B1"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("lz77"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("CHANGES.LOG"), std::string::npos) << list.output;

  TempDir dest;
  const Result test = RunTool("t " + Quote(kCorpus / "v2/dir2.ace"));
  EXPECT_EQ(test.exitCode, 0) << test.output;

  const Result x = RunTool("x " + Quote(kCorpus / "v1/multivolume.ace") + " " + Quote(dest.path()));
  EXPECT_EQ(x.exitCode, 0) << x.output;
  // Every file of the set matches its manifest line.
  const std::string manifest = ReadFile(kCorpus / "v1/multivolume.ace.md5");
  std::size_t lines = 0;
  for (std::size_t pos = 0; pos < manifest.size();) {
    std::size_t end = manifest.find('\n', pos);
    if (end == std::string::npos) end = manifest.size();
    const std::string line = manifest.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() < 35) continue;
    ++lines;
    EXPECT_EQ(Md5Hex(ReadFile(dest.path() / line.substr(34))), line.substr(0, 32)) << line;
  }
  EXPECT_GT(lines, 10u);
}

TEST(AceExtract, FailuresPrintTheReportsAndExitNonZero) {
  TempDir dir;
  const Result enc = RunTool("x " + Quote(kCorpus / "v1/passwd.ace") + " " + Quote(dir.path()));
  EXPECT_NE(enc.exitCode, 0);
  EXPECT_NE(enc.output.find("file is encrypted"), std::string::npos) << enc.output;

  fs::copy_file(kCorpus / "v1/multivolume.ace", dir.path() / "mv.ace");
  fs::copy_file(kCorpus / "v1/multivolume.c00", dir.path() / "mv.c00");
  const Result missing = RunTool("t " + Quote(dir.path() / "mv.ace"));
  EXPECT_NE(missing.exitCode, 0);
  const std::string expected = "cannot find volume " + (dir.path() / "mv.c01").string();
  EXPECT_NE(missing.output.find(expected), std::string::npos) << missing.output;

  WriteFile(dir.path() / "plain.txt", std::string(100, 'a'));
  const Result foreign = RunTool("l " + Quote(dir.path() / "plain.txt"));
  EXPECT_NE(foreign.exitCode, 0);
  EXPECT_NE(foreign.output.find((dir.path() / "plain.txt").string() + " is not ACE archive"), std::string::npos)
      << foreign.output;

  const Result usage = RunTool("q");
  EXPECT_EQ(usage.exitCode, 2);
}

TEST(AceExtract, CodePageOptionChoosesHowNamesAreRead) {
  TempDir dir;
  WriteFile(dir.path() / "ru.ace", BuildArchive({{.name = "\x8F\xE0\xA8\xA2\xA5\xE2.txt", .data = "privet"}}));
  const std::string archive = Quote(dir.path() / "ru.ace");
  const Result list = RunTool("--codepage 866 l " + archive);
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.output.find(" Привет.txt\n"), std::string::npos) << list.output;
  const Result x = RunTool("x " + archive + " " + Quote(dir.path()) + " --codepage 866");
  EXPECT_EQ(x.exitCode, 0) << x.output;
  EXPECT_EQ(ReadFile(dir.path() / "Привет.txt"), "privet");

  const Result unknown = RunTool("--codepage 999 l " + archive);
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("unknown code page \"999\""), std::string::npos) << unknown.output;
  EXPECT_EQ(RunTool("l " + archive + " --codepage").exitCode, 2);
}

}  // namespace

// Files being written never outlive their run: a run killed in the middle of an
// entry leaves nothing of it, and where temporary files have names (a file system
// without unnamed files) the next run sweeps away those left behind, and nothing
// else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <regex>
#include <set>

#include "archive.h"
#include "archive_builder.h"
#include "test_support.h"

namespace {

using namespace acetest;
using namespace test_support;

// Sets the writer's test switch for the life of the object.
class NamedFilesOnly {
 public:
  explicit NamedFilesOnly(bool on) { ace::UseNamedTemporaryFiles(on); }
  ~NamedFilesOnly() { ace::UseNamedTemporaryFiles(false); }
};

// Extracts every entry of `archive` below `dest` as one run; the first failure.
ace::Status ExtractAll(const fs::path& archive, const fs::path& dest,
                       const ace::ArchiveOptions& options = {}) {
  ace::Archive a(options);
  ace::Status s = a.Open(archive.string());
  ace::Entry e;
  while (s == ace::Status::Ok && (s = a.ReadHeader(e)) == ace::Status::Ok) {
    s = a.Process(ace::Operation::Extract, dest.string() + "/");
  }
  return s == ace::Status::End ? ace::Status::Ok : s;
}

// Everything below `root`, hidden names included, as relative paths.
std::set<std::string> Listing(const fs::path& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    names.insert(e.path().lexically_relative(root).string());
  }
  return names;
}

// Bytes of the regular files below `dir` that process `pid` has open.
std::vector<std::int64_t> OpenFileSizesBelow(pid_t pid, const fs::path& dir) {
  std::vector<std::int64_t> sizes;
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& e : fs::directory_iterator(fds)) {
    std::error_code ec;
    const std::string target = fs::read_symlink(e.path(), ec).string();
    struct stat st;
    if (!ec && target.starts_with(dir.string() + "/") && ::stat(e.path().c_str(), &st) == 0 &&
        S_ISREG(st.st_mode)) {
      sizes.push_back(st.st_size);
    }
  }
  return sizes;
}

// A forked child, killed and reaped at the latest when the test leaves.
struct Child {
  pid_t pid = -1;
  ~Child() { Kill(); }
  // The wait status.
  int Kill() {
    int status = 0;
    if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, &status, 0);
    pid = -1;
    return status;
  }
};

constexpr std::uint64_t kStallAfter = 16u << 20;

struct Stall {
  int readyFd;
  std::uint64_t seen = 0;
};

// Once the run has put out kStallAfter bytes, says so on the pipe and waits to be
// killed.
int StallingData(void* context, const std::uint8_t*, std::int32_t count) {
  auto* stall = static_cast<Stall*>(context);
  stall->seen += std::uint64_t(count);
  if (stall->seen >= kStallAfter) {
    const char ready = 'r';
    if (::write(stall->readyFd, &ready, 1) == 1) {
      for (;;) ::pause();
    }
  }
  return 1;
}

TEST(KilledRun, LeavesOnlyTheEntriesAlreadyComplete) {
  TempFolder src;
  std::string big(70u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = char((i * 2654435761u) >> 13);
  WriteFile(src.Path() / "run.ace",
            BuildArchive({{"first.txt", "complete before the kill"},
                          {"big.bin", big},
                          {"last.txt", "never"}}));
  big.clear();
  big.shrink_to_fit();
  WriteFile(src.Path() / "other.ace", BuildArchive({{"other.txt", "from another run"}}));
  const std::regex stale(R"(\.big\.bin\.[0-9a-f]{8}\.part)");

  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "named temporary files" : "unnamed files");
    const NamedFilesOnly mode(named);
    TempFolder dest;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    Child child;
    child.pid = ::fork();
    ASSERT_GE(child.pid, 0);
    if (child.pid == 0) {
      ::close(pipeFds[0]);
      Stall stall{pipeFds[1]};
      ace::ArchiveOptions options;
      options.data = {StallingData, &stall};
      options.pieceInterval = std::chrono::milliseconds(0);
      ExtractAll(src.Path() / "run.ace", dest.Path(), options);
      ::_exit(0);  // the pipe closes unwritten: the parent sees the run end
    }
    ::close(pipeFds[1]);
    char ready = 0;
    const ssize_t got = ::read(pipeFds[0], &ready, 1);
    ::close(pipeFds[0]);
    ASSERT_EQ(got, 1) << "the run ended before stalling in big.bin";

    // The run is in the middle of big.bin: its file is open and partly written.
    const auto sizes = OpenFileSizesBelow(child.pid, dest.Path());
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_GE(sizes[0], std::int64_t(1) << 20);
    EXPECT_LT(sizes[0], std::int64_t(70) << 20);
    // Another run writing into the same folder meanwhile leaves the live file alone.
    ASSERT_EQ(ExtractAll(src.Path() / "other.ace", dest.Path()), ace::Status::Ok);

    std::set<std::string> names = Listing(dest.Path());
    std::vector<std::string> temporary;
    for (const auto& n : names) {
      if (n != "first.txt" && n != "other.txt") temporary.push_back(n);
    }
    ASSERT_EQ(temporary.size(), named ? 1u : 0u);
    if (named) {
      EXPECT_TRUE(std::regex_match(temporary[0], stale)) << temporary[0];
    }

    const int status = child.Kill();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    // Killed, the run leaves its named temporary file (in the fallback only).
    EXPECT_EQ(Listing(dest.Path()), names);

    // The next run into the folder removes it.
    ASSERT_EQ(ExtractAll(src.Path() / "other.ace", dest.Path()), ace::Status::Ok);
    EXPECT_EQ(Listing(dest.Path()), (std::set<std::string>{"first.txt", "other.txt"}));
    EXPECT_EQ(ReadFile(dest.Path() / "first.txt"), "complete before the kill");
  }
}

// Where the folder of the sweep test lies, and how its files are written.
enum class Where { Unnamed, NamedBySwitch, FuseWithoutUnnamedFiles };

// A small ext4 image served by fuse2fs, a file system that has no unnamed files,
// unmounted when the object goes.
class FuseMount {
 public:
  explicit FuseMount(const fs::path& work) : mount_(work / "mnt") {
    fs::create_directory(mount_);
    const std::string image = "'" + (work / "image").string() + "'";
    const std::string command = "truncate -s 8M " + image + " && mkfs.ext4 -q " + image +
                                " && fuse2fs " + image + " '" + mount_.string() + "'";
    mounted_ = std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }
  ~FuseMount() {
    if (mounted_) std::system(("umount '" + mount_.string() + "'").c_str());
  }
  bool mounted() const { return mounted_; }
  const fs::path& path() const { return mount_; }

 private:
  fs::path mount_;
  bool mounted_ = false;
};

class StaleTemporaryFiles : public testing::TestWithParam<Where> {};

TEST_P(StaleTemporaryFiles, OnlyOursUnlockedInFoldersWrittenIntoAreRemoved) {
  enum Kind { File, Locked, Folder, Link };
  struct Row {
    const char* path;
    Kind kind;
    bool removed;
  };
  const std::vector<Row> rows = {
      {".a.txt.0123abcd.part", File, true},
      {".ace-89abcdef.part", File, true},  // the form for names too long for the other
      {"sub/.b.txt.00ff00ff.part", File, true},
      {".a.txt.part", File, false},
      {"notes.part", File, false},
      {"a.txt.0123abcd.part", File, false},
      {"..0123abcd.part", File, false},
      {".a.txt.0123ABCD.part", File, false},
      {".a.txt.0123abc.part", File, false},
      {".a.txt.0123abcd.part.old", File, false},
      {".c.txt.0123abcd.part", Locked, false},  // a live writer's
      {".d.0123abcd.part", Folder, false},
      {".l.0123abcd.part", Link, false},
      {"untouched/.e.txt.0123abcd.part", File, false},  // no entry goes there
  };
  TempFolder src, work;
  WriteFile(src.Path() / "a.ace",
            BuildArchive({{"a.txt", "new a"}, {"sub\\b.txt", "new b"}, {"untouched", "", 0x10}}));
  const NamedFilesOnly mode(GetParam() == Where::NamedBySwitch);
  std::optional<FuseMount> fuse;
  fs::path dest = work.Path() / "dest";
  if (GetParam() == Where::FuseWithoutUnnamedFiles) {
    fuse.emplace(work.Path());
    if (!fuse->mounted()) GTEST_SKIP() << "cannot mount an image with fuse2fs here";
    const int probe = ::open(fuse->path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (probe >= 0) {
      ::close(probe);
      GTEST_SKIP() << "this fuse2fs makes unnamed files";
    }
    dest = fuse->path() / "dest";
  }
  fs::create_directories(dest / "sub");
  fs::create_directories(dest / "untouched");
  WriteFile(dest / "a.txt", "old a");
  fs::permissions(dest / "a.txt",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::vector<int> locks;
  for (const Row& r : rows) {
    const fs::path p = dest / r.path;
    if (r.kind == Folder) {
      fs::create_directory(p);
    } else if (r.kind == Link) {
      fs::create_symlink("notes.part", p);
    } else {
      WriteFile(p, "left over");
    }
    if (r.kind == Locked) {
      locks.push_back(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
      ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
    }
  }

  EXPECT_EQ(ExtractAll(src.Path() / "a.ace", dest), ace::Status::Ok);
  for (const int fd : locks) ::close(fd);

  // The rows kept and the entries, and nothing else: no file of this run either.
  std::set<std::string> expected = {"a.txt", "sub", "sub/b.txt", "untouched"};
  for (const Row& r : rows) {
    if (!r.removed) expected.insert(r.path);
  }
  EXPECT_EQ(Listing(dest), expected);
  EXPECT_EQ(ReadFile(dest / "a.txt"), "new a");
  EXPECT_EQ(ReadFile(dest / "sub/b.txt"), "new b");
  EXPECT_EQ(ReadFile(dest / "notes.part"), "left over");
}

INSTANTIATE_TEST_SUITE_P(Folders, StaleTemporaryFiles,
                         testing::Values(Where::Unnamed, Where::NamedBySwitch,
                                         Where::FuseWithoutUnnamedFiles));

}  // namespace

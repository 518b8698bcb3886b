// The real program as a child process. `install --target DIR` as users and scripts
// run it, with no display variables, on the demo release and on sets made here: its
// exit status, what it prints, and what it leaves in the destination. And the
// window on Qt's offscreen platform, stopped by a signal while its tune plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "command_line.h"
#include "console_view.h"
#include "archive_builder.h"
#include "release_fixture.h"
#include "test_support.h"

namespace fs = std::filesystem;
extern char** environ;

namespace {

struct TChild {
  pid_t pid = -1;
  int out = -1, err = -1;  // read ends of its stdout and stderr
};

// Starts `program args` with the environment of this test less every display
// variable, so that any attempt to start the GUI would fail.
TChild Start(const std::string& program, const std::vector<std::string>& args, int errPipeBytes = 0,
             const std::vector<std::string>& extraEnv = {}) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  if (errPipeBytes) ::fcntl(err[1], F_SETPIPE_SZ, errPipeBytes);
  std::vector<std::string> env;
  std::vector<std::string> dropped = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};
  for (const std::string& var : extraEnv) dropped.push_back(var.substr(0, var.find('=') + 1));
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    if (std::none_of(dropped.begin(), dropped.end(), [&](const std::string& d) { return var.rfind(d, 0) == 0; }))
      env.push_back(var);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  return {pid, out[0], err[0]};
}

std::string ReadAll(int fd) {
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, std::size_t(n));
  ::close(fd);
  return text;
}

struct TResult {
  int status = -1;
  std::string out, err;
};

TResult Finish(TChild child) {
  TResult r;
  r.err = ReadAll(child.err);
  r.out = ReadAll(child.out);
  int status = 0;
  ::waitpid(child.pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

TResult RunProgram(const std::string& program, const std::vector<std::string>& args) { return Finish(Start(program, args)); }

// A copy of a release folder that a test may change.
fs::path CopyRelease(const fs::path& from, const fs::path& to) {
  fs::copy(from, to, fs::copy_options::recursive);
  return to;
}

}  // namespace

TEST(UnattendedInstall, DemoReleaseMatchesAceExtract) {
  test_support::TempFolder work;
  const fs::path dest = work.Path() / "new" / "games";
  const TResult r = RunProgram(DEMO_RELEASE_DIR "/install", {"--target", dest.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const fs::path reference = work.Path() / "reference";
  fs::create_directories(reference);
  const TResult x = RunProgram(ACEEXTRACT_FILE, {"x", DEMO_RELEASE_DIR "/harbour.ace", reference.string() + "/"});
  ASSERT_EQ(x.status, 0) << x.err;
  auto installed = test_support::Md5OfTree(dest);
  std::erase_if(installed, [](const auto& f) { return f.first == "register.txt"; });  // copied in afterwards
  EXPECT_EQ(installed, test_support::Md5OfTree(reference));
  EXPECT_EQ(test_support::ReadFile(dest / "register.txt"), test_support::ReadFile(DEMO_RELEASE_DIR "/register.txt"));
  EXPECT_NE(r.out.find("would open: " + dest.string() + "/register.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Installed "), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\r'), std::string::npos) << "not a terminal: no line is redrawn in place";
}

TEST(UnattendedInstall, MissingLastVolumeFailsBeforeWriting) {
  test_support::TempFolder work;
  const fs::path release = CopyRelease(DEMO_RELEASE_DIR, work.Path() / "release");
  fs::path last;
  for (const auto& e : fs::directory_iterator(release))
    if (e.path().extension().string().rfind(".c", 0) == 0 && e.path() > last) last = e.path();
  ASSERT_FALSE(last.empty());
  fs::remove(last);
  const TResult r = RunProgram((release / "install").string(), {"--target", (work.Path() / "dest").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error: Can't find file " + last.string() + ". Process stopped..."), std::string::npos) << r.err;
  EXPECT_TRUE(test_support::Md5OfTree(work.Path() / "dest").empty()) << "nothing is written";
}

TEST(UnattendedInstall, TooSmallFileSystemFailsBeforeWriting) {
  test_support::TempFolder work;
  const fs::path small = work.Path() / "small";
  fs::create_directories(small);
  if (std::system(("mount -t tmpfs -o size=1m tmpfs '" + small.string() + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  const TResult r = RunProgram(DEMO_RELEASE_DIR "/install", {"--target", (small / "game").string()});
  const std::size_t written = test_support::Md5OfTree(small).size();
  std::system(("umount '" + small.string() + "'").c_str());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error: Not enough free space in " + (small / "game").string() + "/: the release needs "),
            std::string::npos)
      << r.err;
  EXPECT_EQ(written, 0u) << "nothing is written";
}

TEST(UnattendedInstall, UsageAndExitStatus) {
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string outHas, errHas;
  };
  for (const Row& row : std::vector<Row>{{{"--help"}, 0, "usage: install ", ""},
                                         {{"-h"}, 0, "--target DIR", ""},
                                         {{"--bogus"}, 2, "", "unknown argument: --bogus"},
                                         {{"--target"}, 2, "", "--target needs a folder"},
                                         {{"--target", "a", "b"}, 2, "", "usage:"},
                                         {{"extra"}, 2, "", "unknown argument: extra"}}) {
    const TResult r = RunProgram(DEMO_RELEASE_DIR "/install", row.args);
    EXPECT_EQ(r.status, row.status) << row.args[0];
    EXPECT_NE(r.out.find(row.outHas), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(row.errHas), std::string::npos) << r.err;
  }
}

TEST(UnattendedInstall, SigtermStopsAtTheEntryAndKeepsItsOldFile) {
  // Many entries with old files in the destination. The child's stderr is a pipe of
  // one page that the test does not read at first, so the child blocks printing an
  // entry's line: the signal comes then, before that entry is written.
  test_support::TempFolder work;
  const fs::path release = work.Path() / "release", dest = work.Path() / "dest";
  fs::create_directories(release);
  fs::create_directories(dest);
  std::vector<acetest::TestEntry> entries(400);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i].name = "entry-with-a-long-enough-name-" + std::to_string(1000 + i) + ".txt";
    entries[i].data = "new " + std::to_string(i);
    test_support::WriteFile(dest / entries[i].name, "old");
  }
  test_support::WriteFile(release / "set.ace", acetest::BuildArchive(entries));
  test_support::WriteFile(release / "install.ini", "[FLAGS]\nSOURCE=set.ace\nNUMFILES=1\nREGFILE1=keys.reg\n");
  test_support::WriteFile(release / "keys.reg", "registration");
  fs::copy_file(DEMO_RELEASE_DIR "/install", release / "install");

  TChild child = Start((release / "install").string(), {"--target", dest.string()}, 4096);
  // Wait until the pipe is full: the child stops writing.
  for (int i = 0; i < 500; ++i) {
    int queued = 0;
    ::usleep(10000);
    if (::ioctl(child.err, FIONREAD, &queued) == 0 && queued >= 4096 - 200) break;
  }
  ::kill(child.pid, SIGTERM);
  const TResult r = Finish(child);
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("Interrupted: "), std::string::npos) << r.err;
  std::size_t fresh = 0, old = 0;
  for (const acetest::TestEntry& e : entries) {
    const std::string now = test_support::ReadFile(dest / e.name);
    fresh += now == e.data;
    old += now == "old";
  }
  EXPECT_GT(fresh, 0u);
  EXPECT_GT(old, 0u) << "the run stopped before the end";
  EXPECT_EQ(fresh + old, entries.size()) << "every file is either the old or the new one, never a part";
  EXPECT_EQ(test_support::Md5OfTree(dest).size(), entries.size()) << "no temporary file is left";
  EXPECT_FALSE(fs::exists(dest / "keys.reg")) << "no post-install actions after a stop";
}

TEST(UnattendedInstall, CommandLineAndProgressText) {
  EXPECT_EQ(ParseCommandLine({}).Mode, TCommandLine::Window);
  EXPECT_EQ(ParseCommandLine({"--target=/opt/game"}).Target, "/opt/game");
  EXPECT_EQ(ParseCommandLine({"--target="}).Mode, TCommandLine::Bad);
  EXPECT_EQ(MessageLine("Error", "Can't find file to extract.\rProcess stopped..."),
            "error: Can't find file to extract. Process stopped...");
  struct Row {
    std::uint64_t done, total;
    double seconds;
    std::size_t columns;
    std::string line;
  };
  for (const Row& row : std::vector<Row>{
           {0, 100u << 20, 0.1, 200, "[0%] volume 2/5  data/levels.bin"},
           {50u << 20, 100u << 20, 10, 200, "[50%] volume 2/5  5.0 MiB/s  0:10 left  data/levels.bin"},
           {50u << 20, 100u << 20, 10, 50, "[50%] volume 2/5  5.0 MiB/s  0:10 left  ...ls.bin"},
       }) {
    EXPECT_EQ(ProgressLine("data/levels.bin", 2, 5, row.done, row.total, row.seconds, row.columns), row.line);
  }
}

TEST(InstallerWindow, SigtermOnTheIdleScreenEndsItWhileTheTunePlays) {
  test_support::TempFolder work;
  const fs::path audio = work.Path() / "audio.raw";
  TChild child = Start(DEMO_RELEASE_DIR "/install", {}, 0,
                       {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio.string()});
  // The tune plays once SDL's disk driver writes sound.
  auto soundBytes = [&] {
    std::error_code ec;
    const auto size = fs::file_size(audio, ec);
    return ec ? 0 : size;
  };
  for (int i = 0; i < 1000 && soundBytes() < 64 * 1024; ++i) ::usleep(10000);
  if (soundBytes() < 64 * 1024) {
    ::kill(child.pid, SIGKILL);
    Finish(child);
    FAIL() << "the tune never started";
  }
  const auto sent = std::chrono::steady_clock::now();
  ::kill(child.pid, SIGTERM);
  int status = 0;
  pid_t done = 0;
  for (int i = 0; i < 1000 && (done = ::waitpid(child.pid, &status, WNOHANG)) == 0; ++i) ::usleep(10000);
  if (done == 0) {
    ::kill(child.pid, SIGKILL);
    ::waitpid(child.pid, &status, 0);
    FAIL() << "SIGTERM did not end the program within 10 s";
  }
  std::printf("ended %.0f ms after SIGTERM\n",
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
  EXPECT_TRUE(WIFEXITED(status)) << "the program ended itself, closing its music";
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  ::close(child.out);
  ::close(child.err);
}

// The install engine driven with a recording view and real archive sets in
// temporary folders: the ends of a run, the progress screen's figures, cancelling,
// the checks before the first write, and the post-install actions. No Qt here: the
// test also proves that the engine runs without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "install_engine.h"
#include "archive_builder.h"
#include "release_fixture.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

// Everything a run asked its view to do, in order.
struct TRecordingView final : TRunView {
  std::vector<TEntryProgress> entries;
  std::vector<TPieceProgress> pieces;
  std::vector<std::string> messages, opened, volumes;
  std::vector<std::string> events;  // "entry", "message", "open", "reset"
  int presents = 0;
  std::function<bool(const TRecordingView&)> cancelWhen;  // asked at every poll

  void ShowEntry(const TEntryProgress& e) override { entries.push_back(e), events.push_back("entry"); }
  void ShowPiece(const TPieceProgress& p) override { pieces.push_back(p); }
  bool PollCancel() override { return cancelWhen && cancelWhen(*this); }
  void Present() override { ++presents; }
  void VolumeChanged(const std::string& name) override { volumes.push_back(name); }
  void ShowMessage(const std::string& caption, const std::string& text) override {
    messages.push_back(caption + ": " + text), events.push_back("message");
  }
  void OpenFile(const std::string& path) override { opened.push_back(path), events.push_back("open"); }
  void ResetSlideshow() override { events.push_back("reset"); }

  std::vector<std::string> ArchiveLines() const {
    std::vector<std::string> out;
    for (const TEntryProgress& e : entries) out.push_back(e.ArchiveLine);
    return out;
  }
};

const std::vector<std::string> kThreeVolumes = {"v1/multivolume.ace", "v1/multivolume.c00", "v1/multivolume.c01"};

struct TEngineRun {
  TReleaseFolder release;
  test_support::TempFolder dest;
  TRecordingView view;
  std::unique_ptr<TInstallEngine> engine;

  TEngineRun(const std::string& flags, const std::vector<std::string>& corpus = {}) {
    release.CopyFromCorpus(corpus);
    release.WriteIni(flags);
    engine = std::make_unique<TInstallEngine>(release.Dir());
    engine->ReadSettings();
  }
  void Install(const std::string& target) {
    engine->State().TargetDir = target;
    engine->State().CancelRequested = false;
    engine->RunInstall(view);
  }
  std::size_t FilesWritten() const { return test_support::Md5OfTree(dest.Path()).size(); }
};

std::string Md5Of(const std::string& manifestName, const std::string& file) {
  return test_support::ReadManifest(test_support::kCorpus / (manifestName + ".md5")).at(file);
}

}  // namespace

TEST(InstallEngine, RunsWithoutQt) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) ASSERT_EQ(line.find("libQt"), std::string::npos) << line;
}

// The ends of a run: what it reports, whether it resets the slideshow, and whether
// the post-install actions run.
struct TEndCase {
  const char* name;
  std::string flags;
  std::vector<std::string> corpus;
  std::function<std::string(TEngineRun&)> prepare;  // returns the target folder
  std::function<std::vector<std::string>(TEngineRun&)> messages;
  std::vector<std::string> events;  // the order of entries, messages, opens and resets
  TRunEnd end;
};

class RunEnds : public ::testing::TestWithParam<TEndCase> {};

TEST_P(RunEnds, ReportAndResetAsTheTableSays) {
  const TEndCase& c = GetParam();
  TEngineRun run(c.flags, c.corpus);
  const std::string target = c.prepare(run);
  run.Install(target);
  EXPECT_EQ(run.view.messages, c.messages(run));
  std::vector<std::string> events = run.view.events;
  events.erase(std::unique(events.begin(), events.end()), events.end());  // one "entry" per stretch
  EXPECT_EQ(events, c.events);
  EXPECT_EQ(run.engine->LastEnd(), c.end);
  if (std::find(events.begin(), events.end(), "entry") == events.end()) {
    EXPECT_EQ(run.FilesWritten(), 0u) << "no entry began, so nothing may be written";
  }
}

namespace {
auto Dest = [](TEngineRun& r) { return r.dest.Dir(); };
auto None = [](TEngineRun&) { return std::vector<std::string>{}; };
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Table, RunEnds,
    ::testing::Values(
        TEndCase{"NoTarget", "SOURCE=onefile.ace\n", {"v1/onefile.ace"}, [](TEngineRun&) { return std::string(); },
                 None, {}, TRunEnd::NotStarted},
        TEndCase{"ArchiveMissing", "SOURCE=nothing.ace\n", {}, Dest,
                 [](TEngineRun&) { return std::vector<std::string>{"Error: Can't find file to extract.\rProcess stopped..."}; },
                 {"message", "reset"}, TRunEnd::Failed},
        TEndCase{"FolderNotCreatable", "SOURCE=onefile.ace\n", {"v1/onefile.ace"},
                 [](TEngineRun& r) {
                   r.release.WriteFile("plain-file", "x");
                   return r.release.Dir() + "plain-file/sub";
                 },
                 [](TEngineRun&) {
                   return std::vector<std::string>{"Error: Can't find directory to extract.\rProcess stopped..."};
                 },
                 {"message", "reset"}, TRunEnd::Failed},
        TEndCase{"OpenRefused", "SOURCE=notace.ace\n", {},
                 [](TEngineRun& r) {
                   r.release.WriteFile("notace.ace", std::string(200, 'x'));
                   return r.dest.Dir();
                 },
                 [](TEngineRun& r) { return std::vector<std::string>{"Error: " + r.release.Dir() + "notace.ace is not ACE archive"}; },
                 {"message"}, TRunEnd::Failed},
        TEndCase{"NormalEnd", "SOURCE=onefile.ace\nEXECUTE=CHANGES.LOG\n", {"v1/onefile.ace"}, Dest, None,
                 {"entry", "open", "reset"}, TRunEnd::Completed},
        TEndCase{"LastVolumeMissing", "SOURCE=multivolume.ace\nNUMFILES=3\n",
                 {"v1/multivolume.ace", "v1/multivolume.c00"}, Dest,
                 [](TEngineRun& r) {
                   return std::vector<std::string>{"Error: Can't find file " + r.release.Dir() +
                                                   "multivolume.c01.\rProcess stopped..."};
                 },
                 {"message", "reset"}, TRunEnd::Failed},
        TEndCase{"CrcErrorStillOpensTheFiles", "SOURCE=rel.ace\nEXECUTE=setup.txt\nREGFILE1=keys.reg\n", {},
                 [](TEngineRun& r) {
                   std::vector<acetest::TestEntry> entries(2);
                   entries[0].name = "setup.txt";
                   entries[0].data = "run me";
                   entries[1].name = "broken.bin";
                   entries[1].data = std::string(1000, 'b');
                   entries[1].useCrcOverride = true;
                   r.release.WriteFile("rel.ace", acetest::BuildArchive(entries));
                   r.release.WriteFile("keys.reg", "registration");
                   return r.dest.Dir();
                 },
                 [](TEngineRun&) { return std::vector<std::string>{"Error: CRC error"}; },
                 {"entry", "message", "open", "reset"}, TRunEnd::Failed},
        TEndCase{"ExecuteNotExtractedOpensNothing", "SOURCE=onefile.ace\nEXECUTE=readme.exe\n", {"v1/onefile.ace"},
                 Dest, None, {"entry", "reset"}, TRunEnd::Completed},
        TEndCase{"EmptyEntryThatFailsIsPassedOver", "SOURCE=rel.ace\n", {},
                 [](TEngineRun& r) {
                   std::vector<acetest::TestEntry> entries(2);
                   entries[0].name = "..\\outside.txt";  // refused, and empty
                   entries[1].name = "inside.txt";
                   entries[1].data = "kept";
                   r.release.WriteFile("rel.ace", acetest::BuildArchive(entries));
                   return r.dest.Dir();
                 },
                 None, {"entry", "reset"}, TRunEnd::Completed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallEngine, VolumeLineAndBarFollowTheCounter) {
  struct Row {
    std::string numFiles;
    std::vector<std::string> lines;
    std::set<int> widths;
  };
  for (const Row& row : std::vector<Row>{
           {"3", {"Archive [1/3]: multivolume.ace", "Archive [2/3]: multivolume.c00", "Archive [3/3]: multivolume.c01"},
            {126, 252, 378}},
           {"400", {"Archive [1/400]: multivolume.ace", "Archive [2/400]: multivolume.c00", "Archive [3/400]: multivolume.c01"},
            {0}},
           {"1", {"Archive [1/1]: multivolume.ace", "Archive [2/1]: multivolume.c00", "Archive [3/1]: multivolume.c01"},
            {378, 756, 1134}}}) {
    TEngineRun run("SOURCE=multivolume.ace\nNUMFILES=" + row.numFiles + "\n", kThreeVolumes);
    run.Install(run.dest.Dir());
    std::vector<std::string> lines = run.view.ArchiveLines();
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    EXPECT_EQ(lines, row.lines) << row.numFiles;
    std::set<int> widths;
    for (const TEntryProgress& e : run.view.entries) widths.insert(e.VolumeBarWidth);
    EXPECT_EQ(widths, row.widths) << row.numFiles;
    EXPECT_EQ(run.view.volumes, (std::vector<std::string>{"multivolume.c00", "multivolume.c01"}));
    EXPECT_EQ(run.engine->State().ProgressBar2.Position, 2);
  }
}

TEST(InstallEngine, PiecesAddUpAndTheWholeSetIsCounted) {
  TEngineRun run("SOURCE=multivolume.ace\nNUMFILES=3\n", kThreeVolumes);
  run.Install(run.dest.Dir() + "new/folder");
  EXPECT_EQ(run.engine->State().TargetDir, run.dest.Dir() + "new/folder/") << "created, and given its separator";
  ASSERT_FALSE(run.view.entries.empty());
  const TEntryProgress& first = run.view.entries.front();
  EXPECT_EQ(first.FileLine, "File: " + first.EntryName);
  EXPECT_EQ(first.CancelLine, "Press 'ESC' to cancel..");
  EXPECT_EQ(first.FileBarWidth, 0);
  EXPECT_EQ(first.SetVolumes, 3);
  EXPECT_GT(first.SetBytesTotal, 0u);
  EXPECT_EQ(run.engine->BytesWritten(), first.SetBytesTotal);
  EXPECT_EQ(run.view.presents, int(run.view.pieces.size())) << "one present per piece";
  for (const TPieceProgress& p : run.view.pieces) {
    EXPECT_EQ(p.FileBarWidth, 4 * p.Percent);
    EXPECT_LE(p.SetBytesDone, p.SetBytesTotal);
  }
  EXPECT_EQ(run.view.pieces.back().Percent, 100);
  EXPECT_EQ(run.view.pieces.back().SetBytesDone, first.SetBytesTotal);
  EXPECT_EQ(run.engine->EntriesWritten(), run.view.entries.size());
}

TEST(InstallEngine, CancelKeepsTheOldFileAndSkipsThePostInstallActions) {
  TEngineRun run("SOURCE=onefile.ace\nEXECUTE=CHANGES.LOG\nREGFILE1=keys.reg\n", {"v1/onefile.ace"});
  test_support::WriteFile(run.dest.Path() / "CHANGES.LOG", "old contents");
  run.view.cancelWhen = [](const TRecordingView& v) { return !v.entries.empty(); };
  run.Install(run.dest.Dir());
  EXPECT_EQ(test_support::ReadFile(run.dest.Path() / "CHANGES.LOG"), "old contents");
  EXPECT_TRUE(run.engine->State().CancelRequested);
  EXPECT_EQ(run.view.events, (std::vector<std::string>{"entry", "reset"}));
  EXPECT_EQ(run.engine->LastEnd(), TRunEnd::Cancelled);
  EXPECT_FALSE(fs::exists(run.dest.Path() / "keys.reg"));
}

TEST(InstallEngine, PostInstallActionsCopyAndOpenInOrder) {
  TEngineRun run("SOURCE=onefile.ace\nEXECUTE=CHANGES.LOG\nREGFILE1=keys.reg\nREGFILE2=absent.reg\n", {"v1/onefile.ace"});
  run.release.WriteFile("keys.reg", "registration");
  run.Install(run.dest.Dir());
  EXPECT_EQ(run.view.opened, (std::vector<std::string>{run.dest.Dir() + "CHANGES.LOG", run.dest.Dir() + "keys.reg",
                                                       run.dest.Dir() + "absent.reg"}))
      << "a missing REGFILE2 is still opened at its destination path";
  EXPECT_EQ(test_support::ReadFile(run.dest.Path() / "keys.reg"), "registration");
  EXPECT_EQ(test_support::Md5Hex(test_support::ReadFile(run.dest.Path() / "CHANGES.LOG")), Md5Of("v1/onefile.ace", "CHANGES.LOG"));
}

TEST(InstallEngine, ReadOnlyOldFileIsReplaced) {
  TEngineRun run("SOURCE=onefile.ace\n", {"v1/onefile.ace"});
  const fs::path old = run.dest.Path() / "CHANGES.LOG";
  test_support::WriteFile(old, "old contents");
  fs::permissions(old, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  run.Install(run.dest.Dir());
  EXPECT_TRUE(run.view.messages.empty());
  EXPECT_EQ(test_support::Md5Hex(test_support::ReadFile(old)), Md5Of("v1/onefile.ace", "CHANGES.LOG"));
}

TEST(InstallEngine, NotEnoughSpaceText) {
  EXPECT_EQ(NotEnoughSpaceText("/mnt/small/", 300u << 20, (100u << 20) + 5),
            "Not enough free space in /mnt/small/: the release needs 300 MB, 100 MB are free.");
  EXPECT_EQ(NotEnoughSpaceText("/x/", (1u << 20) + 1, 0),
            "Not enough free space in /x/: the release needs 2 MB, 0 MB are free.")
      << "what is needed rounds up, what is free rounds down";
}

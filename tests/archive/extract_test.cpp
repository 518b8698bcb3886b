// Extraction through the callbacks and onto real folders: volumes, pieces, cancel,
// replacing files, full disks, time stamps, unsafe names and damaged input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>

#include "archive.h"
#include "archive_builder.h"
#include "test_support.h"
#include "unace.h"

namespace {

using namespace acetest;
using namespace test_support;

struct Calls {
  std::vector<std::pair<std::string, int>> volumes;
  std::vector<std::int32_t> pieces;
  int answerVolume = 1;
  int cancelAtPiece = -1;  // answer 0 to this piece (counting from 0 per archive)
  int piecesSeen = 0;
};

int OnVolume(void* ctx, const char* path, int mode) {
  auto* c = static_cast<Calls*>(ctx);
  c->volumes.emplace_back(path, mode);
  return mode == ACE_VOLUME_NEXT ? c->answerVolume : 0;
}

int OnData(void* ctx, const std::uint8_t*, std::int32_t count) {
  auto* c = static_cast<Calls*>(ctx);
  c->pieces.push_back(count);
  return c->piecesSeen++ == c->cancelAtPiece ? 0 : 1;
}

class Session {
 public:
  Session(const fs::path& archive, Calls* calls, const char* codePage = nullptr) : path_(archive.string()) {
    open_.ArchivePath = path_.c_str();
    open_.CodePage = codePage;
    open_.VolumeCallback = OnVolume;
    open_.DataCallback = OnData;
    open_.CallbackContext = calls;
    handle_ = ACEOpenArchive(&open_);
  }
  ~Session() { ACECloseArchive(handle_); }
  int status() const { return open_.Status; }
  TACEHandle handle() const { return handle_; }
  int Next() { return ACEReadHeader(handle_, &header); }
  int Extract(const std::string& dest) { return ACEProcessFile(handle_, ACE_EXTRACT, dest.c_str()); }
  // Extracts every entry; the results by entry name, plus "<end>" for the last header code.
  std::map<std::string, int> ExtractAll(const std::string& dest) {
    std::map<std::string, int> r;
    int code;
    while ((code = Next()) == ACE_OK) r[header.EntryName] = Extract(dest);
    r["<end>"] = code;
    return r;
  }
  TACEHeaderData header;

 private:
  std::string path_;
  TACEOpenArchiveData open_;
  TACEHandle handle_ = nullptr;
};

std::map<std::string, std::string> Written(const fs::path& root) {
  std::map<std::string, std::string> m;
  for (const auto& [name, md5] : Md5OfTree(root)) m[name] = md5;
  return m;
}

// --- Volumes ---

TEST(Volumes, MissingVolumeIsAnnouncedAndFailsTheCallThatNeedsIt) {
  TempFolder src, dest;
  fs::copy_file(kCorpus / "v1/multivolume.ace", src.Path() / "mv.ace");
  fs::copy_file(kCorpus / "v1/multivolume.c00", src.Path() / "mv.c00");
  Calls calls;
  Session s(src.Path() / "mv.ace", &calls);
  ASSERT_EQ(s.status(), ACE_OK);
  const auto results = s.ExtractAll(dest.Dir());
  const std::vector<std::pair<std::string, int>> expected = {
      {(src.Path() / "mv.c00").string(), ACE_VOLUME_NEXT},
      {(src.Path() / "mv.c01").string(), ACE_VOLUME_MISSING}};
  EXPECT_EQ(calls.volumes, expected);
  // The entry that continues into the missing volume fails with code 3 and is not written.
  EXPECT_EQ(results.at("aclocal\\ltargz.m4"), ACE_ERR_FILES);
  EXPECT_FALSE(fs::exists(dest.Path() / "aclocal/ltargz.m4"));
  // What came before is complete.
  const auto manifest = ReadManifest(kCorpus / "v1/multivolume.ace.md5");
  EXPECT_EQ(Written(dest.Path()).at("aclocal/libtool.m4"), manifest.at("aclocal/libtool.m4"));
}

TEST(Volumes, MissingVolumeWhileReadingHeadersGivesCode3) {
  TempFolder src;
  fs::copy_file(kCorpus / "v1/multivolume.ace", src.Path() / "mv.ace");
  Calls calls;
  Session s(src.Path() / "mv.ace", &calls);
  ASSERT_EQ(s.status(), ACE_OK);
  int code;
  while ((code = s.Next()) == ACE_OK) {
  }
  EXPECT_EQ(code, ACE_ERR_FILES);
  ASSERT_EQ(calls.volumes.size(), 1u);
  EXPECT_EQ(calls.volumes[0].second, ACE_VOLUME_MISSING);
}

TEST(Volumes, RefusingTheNextVolumeStops) {
  TempFolder dest;
  Calls calls;
  calls.answerVolume = 0;
  Session s(kCorpus / "v1/multivolume.ace", &calls);
  const auto results = s.ExtractAll(dest.Dir());
  EXPECT_EQ(results.at("aclocal\\libtool.m4"), ACE_ERR_FILES);
  EXPECT_FALSE(fs::exists(dest.Path() / "aclocal/libtool.m4"));
}

TEST(Volumes, UpperAndMixedCaseSpellingsAreFound) {
  for (const auto& names : std::vector<std::vector<std::string>>{
           {"SET.ACE", "SET.C00", "SET.C01"}, {"set.ace", "set.C00", "set.c01"}, {"Set.ACE", "Set.c00", "Set.C01"}}) {
    TempFolder src, dest;
    fs::copy_file(kCorpus / "v1/multivolume.ace", src.Path() / names[0]);
    fs::copy_file(kCorpus / "v1/multivolume.c00", src.Path() / names[1]);
    fs::copy_file(kCorpus / "v1/multivolume.c01", src.Path() / names[2]);
    Calls calls;
    Session s(src.Path() / names[0], &calls);
    ASSERT_EQ(s.status(), ACE_OK);
    for (const auto& [name, code] : s.ExtractAll(dest.Dir())) {
      EXPECT_EQ(code, name == "<end>" ? ACE_ERR_END : ACE_OK) << names[0] << " " << name;
    }
    EXPECT_EQ(Written(dest.Path()), ReadManifest(kCorpus / "v1/multivolume.ace.md5")) << names[0];
    ASSERT_EQ(calls.volumes.size(), 2u);
    EXPECT_EQ(calls.volumes[1].first, (src.Path() / names[2]).string());
  }
}

// --- Pieces and cancel ---

TEST(Pieces, SumToEntrySizeInTestModeToo) {
  Calls calls;
  Session s(kCorpus / "v2/dir2.ace", &calls);
  while (s.Next() == ACE_OK) {
    calls.pieces.clear();
    ASSERT_EQ(ACEProcessFile(s.handle(), ACE_TEST, ""), ACE_OK);
    std::int64_t sum = 0;
    for (auto p : calls.pieces) sum += p;
    EXPECT_EQ(sum, s.header.EntrySize);
    EXPECT_EQ(calls.pieces.empty(), s.header.EntrySize == 0);
  }
}

TEST(Cancel, LeavesNoFileAndKeepsTheOldOne) {
  TempFolder dest;
  WriteFile(dest.Path() / "CHANGES.LOG", "old contents");
  Calls calls;
  calls.cancelAtPiece = 0;
  Session s(kCorpus / "v1/onefile.ace", &calls);
  ASSERT_EQ(s.Next(), ACE_OK);
  EXPECT_EQ(s.Extract(dest.Dir()), ACE_ERR_CANCELLED);
  EXPECT_EQ(ReadFile(dest.Path() / "CHANGES.LOG"), "old contents");
  EXPECT_EQ(Md5OfTree(dest.Path()).size(), 1u);  // no temporary file left behind
  EXPECT_EQ(s.Next(), ACE_ERR_END);
}

TEST(Cancel, SolidSetGoesOnCorrectlyAfterACancelledEntry) {
  TempFolder dest;
  Calls calls;
  Session s(kCorpus / "v1/multivolume.ace", &calls);
  std::string cancelled;
  int index = 0;
  while (s.Next() == ACE_OK) {
    if (index++ == 5 && s.header.EntrySize > 0) {
      cancelled = s.header.EntryName;
      calls.cancelAtPiece = calls.piecesSeen;
    }
    const int r = s.Extract(dest.Dir());
    EXPECT_EQ(r, s.header.EntryName == cancelled ? ACE_ERR_CANCELLED : ACE_OK) << s.header.EntryName;
  }
  ASSERT_FALSE(cancelled.empty());
  auto manifest = ReadManifest(kCorpus / "v1/multivolume.ace.md5");
  std::string cancelledPath = cancelled;
  std::replace(cancelledPath.begin(), cancelledPath.end(), '\\', '/');
  ASSERT_EQ(manifest.erase(cancelledPath), 1u);
  EXPECT_EQ(Written(dest.Path()), manifest);
}

TEST(Cancel, MidEntryCancelInASolidSpanningEntryKeepsTheRestCorrect) {
  // With no minimum interval every block of output is a piece, so the callback can
  // stop aclocal\\libtool.m4 (306 297 bytes, spanning two volumes) in its middle.
  TempFolder dest;
  Calls calls;
  ace::ArchiveOptions options;
  options.volume = {OnVolume, &calls};
  options.data = {OnData, &calls};
  options.pieceInterval = std::chrono::milliseconds(0);
  ace::Archive a(options);
  ASSERT_EQ(a.Open((kCorpus / "v1/multivolume.ace").string()), ace::Status::Ok);
  ace::Entry e;
  bool cancelled = false;
  while (a.ReadHeader(e) == ace::Status::Ok) {
    if (e.name == "aclocal\\libtool.m4") {
      calls.cancelAtPiece = calls.piecesSeen;
      const std::size_t before = calls.pieces.size();
      EXPECT_EQ(a.Process(ace::Operation::Extract, dest.Dir()), ace::Status::Cancelled);
      ASSERT_EQ(calls.pieces.size(), before + 1);
      EXPECT_LT(std::uint64_t(calls.pieces.back()), e.size);  // stopped in the middle
      cancelled = true;
      continue;
    }
    EXPECT_EQ(a.Process(ace::Operation::Extract, dest.Dir()), ace::Status::Ok) << e.name;
  }
  ASSERT_TRUE(cancelled);
  a.Close();
  auto manifest = ReadManifest(kCorpus / "v1/multivolume.ace.md5");
  ASSERT_EQ(manifest.erase("aclocal/libtool.m4"), 1u);
  EXPECT_EQ(Written(dest.Path()), manifest);
}

// --- Replacing, failures of the target ---

TEST(Targets, ReadOnlyOldFileIsReplaced) {
  TempFolder dest;
  const fs::path target = dest.Path() / "CHANGES.LOG";
  WriteFile(target, "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Calls calls;
  Session s(kCorpus / "v1/onefile.ace", &calls);
  ASSERT_EQ(s.Next(), ACE_OK);
  ASSERT_EQ(s.Extract(dest.Dir()), ACE_OK);
  EXPECT_EQ(Written(dest.Path()), ReadManifest(kCorpus / "v1/onefile.ace.md5"));
}

TEST(Targets, FolderInTheWayOrMissingDestinationIsAnOpenError) {
  TempFolder dest;
  fs::create_directory(dest.Path() / "CHANGES.LOG");
  Calls calls;
  {
    Session s(kCorpus / "v1/onefile.ace", &calls);
    ASSERT_EQ(s.Next(), ACE_OK);
    EXPECT_EQ(s.Extract(dest.Dir()), ACE_ERR_OPEN);
  }
  EXPECT_TRUE(fs::is_directory(dest.Path() / "CHANGES.LOG"));
  EXPECT_TRUE(Md5OfTree(dest.Path()).empty());
  Session s(kCorpus / "v1/onefile.ace", &calls);
  ASSERT_EQ(s.Next(), ACE_OK);
  EXPECT_EQ(s.Extract((dest.Path() / "missing").string() + "/"), ACE_ERR_OPEN);
}

TEST(Targets, FileWhereAFolderShouldBeIsAnOpenErrorNotAnUnsafeName) {
  TempFolder dir, dest;
  WriteFile(dest.Path() / "sub", "a file, not a folder");
  WriteFile(dir.Path() / "a.ace", BuildArchive({{.name = "sub\\inner.txt", .data = "x"},
                                                {.name = "sub\\folder", .data = "", .attributes = 0x10}}));
  Calls calls;
  Session s(dir.Path() / "a.ace", &calls);
  const auto r = s.ExtractAll(dest.Dir());
  EXPECT_EQ(r.at("sub\\inner.txt"), ACE_ERR_OPEN);
  EXPECT_EQ(r.at("sub\\folder"), ACE_ERR_OPEN);
  EXPECT_EQ(ReadFile(dest.Path() / "sub"), "a file, not a folder");
}

// Opens `archive`, reads its first header and extracts that entry to `dest` with
// `write` in place of the system's write; nothing when opening or reading the
// header fails (reported as a failure of the test).
std::optional<ace::Status> ExtractFirstEntry(const fs::path& archive, const std::string& dest,
                                             ace::WriteFunction write) {
  ace::ArchiveOptions options;
  options.write = write;
  ace::Archive a(options);
  const ace::Status opened = a.Open(archive.string());
  if (opened != ace::Status::Ok) {
    ADD_FAILURE() << "cannot open " << archive << ": " << int(opened);
    return std::nullopt;
  }
  ace::Entry e;
  const ace::Status read = a.ReadHeader(e);
  if (read != ace::Status::Ok) {
    ADD_FAILURE() << "cannot read the first header of " << archive << ": " << int(read);
    return std::nullopt;
  }
  return a.Process(ace::Operation::Extract, dest);
}

int g_failWith = 0;  // errno the failing write reports
ssize_t FailingWrite(int, const void*, std::size_t) {
  errno = g_failWith;
  return -1;
}

TEST(Targets, FullDiskAndOtherWriteErrors) {
  for (const auto& [error, expected] : std::vector<std::pair<int, ace::Status>>{
           {ENOSPC, ace::Status::DiskFull}, {EDQUOT, ace::Status::DiskFull}, {EIO, ace::Status::WriteFailed}}) {
    TempFolder dest;
    WriteFile(dest.Path() / "CHANGES.LOG", "old");
    g_failWith = error;
    EXPECT_EQ(ExtractFirstEntry(kCorpus / "v1/onefile.ace", dest.Dir(), FailingWrite), expected) << error;
    EXPECT_EQ(ReadFile(dest.Path() / "CHANGES.LOG"), "old");
    EXPECT_EQ(Md5OfTree(dest.Path()).size(), 1u);
    EXPECT_EQ(ace::ToApiCode(expected), error == EIO ? ACE_ERR_WRITE : ACE_ERR_FULL);
  }
}

// Space taken by the file being written beyond the bytes written so far, at its
// largest over all the writes of an entry.
std::int64_t g_mostAhead = 0;
ssize_t MeasuringWrite(int fd, const void* data, std::size_t size) {
  struct stat st;
  if (::fstat(fd, &st) == 0) {
    g_mostAhead = std::max<std::int64_t>(g_mostAhead, std::int64_t(st.st_blocks) * 512 - st.st_size);
  }
  return ::write(fd, data, size);
}

std::string PatternBytes(std::size_t n) {
  std::string data(n, '\0');
  std::uint32_t v = 99;
  for (char& c : data) {
    v = v * 1664525u + 1013904223u;
    c = char(v >> 24);
  }
  return data;
}

TEST(LargeFiles, SpaceIsReservedAheadAndNothingIsLeftPastTheEnd) {
  TempFolder dir;
  {
    // Without reservation on this file system there is nothing to check.
    const int fd = ::open((dir.Path() / "probe").c_str(), O_WRONLY | O_CREAT, 0644);
    const bool reserves = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 1 << 20) == 0;
    ::close(fd);
    fs::remove(dir.Path() / "probe");
    if (!reserves) GTEST_SKIP() << "the temporary folder's file system cannot reserve space";
  }
  const std::string data = PatternBytes((20u << 20) + 12345);  // more than two reservation steps
  WriteFile(dir.Path() / "big.ace", BuildArchive({{"big.bin", data}}));
  TempFolder dest;
  g_mostAhead = 0;
  ASSERT_EQ(ExtractFirstEntry(dir.Path() / "big.ace", dest.Dir(), MeasuringWrite), ace::Status::Ok);
  EXPECT_GE(g_mostAhead, std::int64_t(1) << 20);  // reserved before it was written
  EXPECT_EQ(ReadFile(dest.Path() / "big.bin"), data);
  struct stat st;
  ASSERT_EQ(::stat((dest.Path() / "big.bin").c_str(), &st), 0);
  EXPECT_EQ(std::uint64_t(st.st_size), data.size());
  EXPECT_LT(std::int64_t(st.st_blocks) * 512, std::int64_t(data.size()) + (64 << 10));
}

TEST(LargeFiles, ASizeTheArchiveLiesAboutReservesLittleAndLeavesNothing) {
  TempFolder dir;
  // Declares 1 GiB of output but holds 3 MiB of stored data.
  TestEntry entry{"lie.bin", PatternBytes(3u << 20)};
  entry.declaredSize = 1u << 30;
  WriteFile(dir.Path() / "lie.ace", BuildArchive({entry}));
  TempFolder dest;
  WriteFile(dest.Path() / "lie.bin", "old");
  g_mostAhead = 0;
  EXPECT_EQ(ExtractFirstEntry(dir.Path() / "lie.ace", dest.Dir(), MeasuringWrite), ace::Status::ReadFailed);
  EXPECT_LE(g_mostAhead, std::int64_t(9) << 20);  // one first step, not the declared size
  EXPECT_EQ(ReadFile(dest.Path() / "lie.bin"), "old");
  EXPECT_EQ(Md5OfTree(dest.Path()).size(), 1u);
}

TEST(Targets, FilesAndFoldersGetTheEntryTimes) {
  TempFolder dest;
  std::map<std::string, std::uint32_t> times;
  {
    Calls calls;
    Session s(kCorpus / "v1/ZGFX2.ace", &calls);
    while (s.Next() == ACE_OK) {
      ASSERT_EQ(s.Extract(dest.Dir()), ACE_OK);
      std::string name = s.header.EntryName;
      std::replace(name.begin(), name.end(), '\\', '/');
      times[name] = s.header.FileTime;
    }
  }  // closing gives the folders their times again
  int folders = 0;
  for (const auto& [name, dos] : times) {
    std::int64_t expected;
    if (!ace::DosTimeToUnix(dos, expected)) continue;
    struct stat st;
    ASSERT_EQ(::lstat((dest.Path() / name).c_str(), &st), 0) << name;
    EXPECT_EQ(std::int64_t(st.st_mtime), expected) << name;
    if (S_ISDIR(st.st_mode)) ++folders;
  }
  EXPECT_GT(folders, 0);
}

// --- Unsafe names (hand-made archives) ---

TEST(UnsafeNames, AreRefusedAndLaterEntriesStillWork) {
  TempFolder outer;
  const fs::path dest = outer.Path() / "dest";
  const fs::path outside = outer.Path() / "outside";
  fs::create_directories(dest);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, dest / "link");
  WriteFile(outside / "victim", "untouched");
  fs::create_symlink(outside / "victim", dest / "pointer");
  const std::string archive = BuildArchive({
      {.name = "link\\escape.txt", .data = "via a link"},
      {.name = "link\\sub\\deeper.txt", .data = "via a link, deeper"},
      {.name = "/abs.txt", .data = "absolute"},
      {.name = "\\abs2.txt", .data = "absolute"},
      {.name = "C:\\drive.txt", .data = "drive"},
      {.name = "..\\up.txt", .data = "up"},
      {.name = "ok\\..\\..\\up2.txt", .data = "up"},
      {.name = "pointer", .data = "replaces the link, not the file it points to"},
      {.name = "good\\file.txt", .data = "fine"},
  });
  WriteFile(outer.Path() / "crafted.ace", archive);
  Calls calls;
  Session s(outer.Path() / "crafted.ace", &calls);
  ASSERT_EQ(s.status(), ACE_OK);
  const auto r = s.ExtractAll(dest.string() + "/");
  for (const char* bad : {"link\\escape.txt", "link\\sub\\deeper.txt", "/abs.txt", "\\abs2.txt",
                          "C:\\drive.txt", "..\\up.txt", "ok\\..\\..\\up2.txt"}) {
    EXPECT_EQ(r.at(bad), ACE_ERR_UNSAFE_NAME) << bad;
  }
  EXPECT_EQ(r.at("pointer"), ACE_OK);
  EXPECT_EQ(r.at("good\\file.txt"), ACE_OK);
  EXPECT_EQ(r.at("<end>"), ACE_ERR_END);
  // Outside: only the victim, unchanged.
  EXPECT_EQ(Md5OfTree(outside).size(), 1u);
  EXPECT_EQ(ReadFile(outside / "victim"), "untouched");
  EXPECT_FALSE(fs::exists(outer.Path() / "up.txt"));
  EXPECT_FALSE(fs::exists(outer.Path() / "up2.txt"));
  EXPECT_FALSE(fs::is_symlink(dest / "pointer"));
  EXPECT_EQ(ReadFile(dest / "pointer"), "replaces the link, not the file it points to");
  EXPECT_EQ(ReadFile(dest / "good/file.txt"), "fine");
}

TEST(UnsafeNames, RefusedEntryOfASolidArchiveIsStillDecodedForTheOthers) {
  // zdir.ace is solid: rename one of its early files to climb out (same length,
  // header checksum redone), and every later file must still come out right.
  std::string a = ReadFile(kCorpus / "v1/zdir.ace");
  auto u16 = [&a](std::size_t at) { return std::size_t(std::uint8_t(a[at]) | std::uint8_t(a[at + 1]) << 8); };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::size_t pos = 4 + u16(2);
  std::string renamed;
  while (pos < a.size()) {
    const std::size_t headSize = u16(pos + 2);
    const std::size_t pack = u32(pos + 7);
    const bool directory = u32(pos + 19) & 0x10;
    if (!directory && pack > 0 && renamed.empty()) {
      const std::size_t nameSize = u16(pos + 33);
      ASSERT_GE(nameSize, 4u);
      renamed = a.substr(pos + 35, nameSize);
      a.replace(pos + 35, 3, "..\\");
      const std::string block = Block(a.substr(pos + 4, headSize));
      a.replace(pos, 4, block.substr(0, 4));
    }
    pos += 4 + headSize + pack;
  }
  ASSERT_FALSE(renamed.empty());
  TempFolder src, dest;
  WriteFile(src.Path() / "z.ace", a);
  Calls calls;
  Session s(src.Path() / "z.ace", &calls);
  ASSERT_EQ(s.status(), ACE_OK);
  int refused = 0;
  for (const auto& [name, code] : s.ExtractAll(dest.Dir())) {
    if (name == "<end>") {
      EXPECT_EQ(code, ACE_ERR_END);
    } else if (name.rfind("..\\", 0) == 0) {
      EXPECT_EQ(code, ACE_ERR_UNSAFE_NAME);
      ++refused;
    } else {
      EXPECT_EQ(code, ACE_OK) << name;
    }
  }
  EXPECT_EQ(refused, 1);
  auto manifest = ReadManifest(kCorpus / "v1/zdir.ace.md5");
  std::replace(renamed.begin(), renamed.end(), '\\', '/');
  ASSERT_EQ(manifest.erase(renamed), 1u) << renamed;
  EXPECT_EQ(Written(dest.Path()), manifest);
}

// --- Names stored in an OEM code page ---

TEST(OemNames, BecomeUtf8InTheHeaderAndOnDisk) {
  struct Row {
    const char* codePage;
    std::string stored, utf8;
  };
  const Row rows[] = {
      {nullptr, "M\x81ller.txt", "Müller.txt"},                   // code page 850 by default
      {nullptr, "Stra\xE1" "e\\caf\x82.txt", "Straße\\café.txt"},  // the separator stays one
      {nullptr, "\xC9\xCD\xBB.nfo", "╔═╗.nfo"},
      {nullptr, "Müller.txt", "Müller.txt"},                       // UTF-8 already
      {nullptr, "\xC3\xA9\x81.txt", "├®ü.txt"},                   // not UTF-8 as a whole: all of it is 850
      {"866", "\x8F\xE0\xA8\xA2\xA5\xE2.txt", "Привет.txt"},
      {"CP1252", "\x81\xC4.txt", "\xEF\xBF\xBDÄ.txt"},             // a byte the page lacks: U+FFFD
  };
  for (const Row& row : rows) {
    TempFolder src, dest;
    WriteFile(src.Path() / "names.ace", BuildArchive({{.name = row.stored, .data = row.utf8}}));
    Calls calls;
    Session s(src.Path() / "names.ace", &calls, row.codePage);
    ASSERT_EQ(s.status(), ACE_OK) << row.utf8;
    ASSERT_EQ(s.Next(), ACE_OK) << row.utf8;
    EXPECT_EQ(std::string(s.header.EntryName), row.utf8);
    EXPECT_EQ(s.Extract(dest.Dir()), ACE_OK) << row.utf8;
    std::string path = row.utf8;
    std::replace(path.begin(), path.end(), '\\', '/');
    EXPECT_EQ(Written(dest.Path()), (std::map<std::string, std::string>{{path, Md5Hex(row.utf8)}}));
  }
}

TEST(OemNames, AConvertedNamePast259BytesIsCutWholeInTheHeaderAndWrittenWhole) {
  const std::string stored = "a" + std::string(100, '\x81') + "\\" + std::string(100, '\x81');
  std::string ue;
  for (int i = 0; i < 100; ++i) ue += "ü";
  TempFolder src, dest;
  WriteFile(src.Path() / "long.ace", BuildArchive({{.name = stored, .data = "long"}}));
  Calls calls;
  Session s(src.Path() / "long.ace", &calls);
  ASSERT_EQ(s.Next(), ACE_OK);
  // 259 bytes would end inside a "ü".
  EXPECT_EQ(std::string(s.header.EntryName), ("a" + ue + "\\" + ue).substr(0, 258));
  EXPECT_EQ(s.Extract(dest.Dir()), ACE_OK);
  EXPECT_EQ(ReadFile(dest.Path() / ("a" + ue) / ue), "long");
}

TEST(OemNames, ACodePageTheLibraryCannotUseFailsTheOpen) {
  for (const char* codePage : {"999", "no-such-page", "UTF-16"}) {
    Calls calls;
    EXPECT_EQ(Session(kCorpus / "v1/onefile.ace", &calls, codePage).status(), ACE_ERR_CONSTANT) << codePage;
  }
}

// --- Damaged or foreign input ---

TEST(Input, OpenCodes) {
  TempFolder dir;
  auto openStatus = [](const fs::path& p) {
    Calls calls;
    Session s(p, &calls);
    return s.status();
  };
  EXPECT_EQ(openStatus(dir.Path() / "none.ace"), ACE_ERR_FILES);
  EXPECT_EQ(openStatus(dir.Path()), ACE_ERR_READ);  // a folder cannot be read as a volume
  WriteFile(dir.Path() / "text.ace", std::string(4000, 'x'));
  EXPECT_EQ(openStatus(dir.Path() / "text.ace"), ACE_ERR_NOT_ACE);
  WriteFile(dir.Path() / "empty.ace", "");
  EXPECT_EQ(openStatus(dir.Path() / "empty.ace"), ACE_ERR_NOT_ACE);
  std::string broken = ReadFile(kCorpus / "v1/onefile.ace");
  broken[20] ^= 0x55;  // inside the main header: its CRC no longer matches
  WriteFile(dir.Path() / "broken.ace", broken);
  EXPECT_EQ(openStatus(dir.Path() / "broken.ace"), ACE_ERR_CRC);
  // A self-extracting stub before the archive is passed over.
  WriteFile(dir.Path() / "sfx.exe", std::string(5000, 'M') + ReadFile(kCorpus / "v1/onefile.ace"));
  Calls calls;
  Session s(dir.Path() / "sfx.exe", &calls);
  ASSERT_EQ(s.status(), ACE_OK);
  ASSERT_EQ(s.Next(), ACE_OK);
  EXPECT_EQ(s.Extract(dir.Dir()), ACE_OK);
  EXPECT_EQ(Md5Hex(ReadFile(dir.Path() / "CHANGES.LOG")),
            ReadManifest(kCorpus / "v1/onefile.ace.md5").at("CHANGES.LOG"));
}

TEST(Input, DamagedHeadersAndDataEndWithCodes) {
  TempFolder dir;
  const std::string good = ReadFile(kCorpus / "v1/onefile.ace");
  std::string badHeader = good;
  badHeader[53 + 20] ^= 0x01;  // inside the file header
  WriteFile(dir.Path() / "h.ace", badHeader);
  std::string truncated = good.substr(0, 5000);
  WriteFile(dir.Path() / "t.ace", truncated);
  std::string badData = good;
  badData[3000] ^= 0x10;
  WriteFile(dir.Path() / "d.ace", badData);
  Calls calls;
  {
    Session s(dir.Path() / "h.ace", &calls);
    ASSERT_EQ(s.status(), ACE_OK);
    EXPECT_EQ(s.Next(), ACE_ERR_CRC);
  }
  {
    Session s(dir.Path() / "t.ace", &calls);
    ASSERT_EQ(s.status(), ACE_OK);
    EXPECT_EQ(s.Next(), ACE_ERR_READ);
  }
  {
    TempFolder dest;
    Session s(dir.Path() / "d.ace", &calls);
    ASSERT_EQ(s.Next(), ACE_OK);
    EXPECT_EQ(s.Extract(dest.Dir()), ACE_ERR_CRC);
    EXPECT_TRUE(fs::is_empty(dest.Path()));
  }
}

TEST(Input, StoredCrcMismatchUnknownMethodAndEncryptedFlag) {
  TempFolder dir, dest;
  WriteFile(dest.Path() / "bad.txt", "old");
  const std::string archive = BuildArchive({
      {.name = "bad.txt", .data = "payload", .crcOverride = 0x12345678, .useCrcOverride = true},
      {.name = "method.bin", .data = "xxxxxxxx", .method = 9},
      {.name = "secret.bin", .data = "12345678", .extraFlags = 0x4000},
      {.name = "after.txt", .data = "still extracted"},
      {.name = "empty.txt", .data = ""},
  });
  WriteFile(dir.Path() / "a.ace", archive);
  Calls calls;
  Session s(dir.Path() / "a.ace", &calls);
  const auto r = s.ExtractAll(dest.Dir());
  EXPECT_EQ(r.at("bad.txt"), ACE_ERR_CRC);
  EXPECT_EQ(ReadFile(dest.Path() / "bad.txt"), "old");
  EXPECT_EQ(r.at("method.bin"), ACE_ERR_UNKNOWN_METHOD);
  EXPECT_EQ(r.at("secret.bin"), ACE_ERR_ENCRYPTED);
  EXPECT_EQ(r.at("after.txt"), ACE_OK);
  EXPECT_EQ(r.at("empty.txt"), ACE_OK);
  EXPECT_EQ(ReadFile(dest.Path() / "after.txt"), "still extracted");
  EXPECT_TRUE(fs::is_regular_file(dest.Path() / "empty.txt"));
  EXPECT_EQ(Md5OfTree(dest.Path()).size(), 3u);
}

TEST(Input, HandleAndConstantErrors) {
  TACEHeaderData header;
  EXPECT_EQ(ACEReadHeader(nullptr, &header), ACE_ERR_HANDLE);
  EXPECT_EQ(ACEProcessFile(nullptr, ACE_EXTRACT, "/tmp/"), ACE_ERR_HANDLE);
  EXPECT_EQ(ACECloseArchive(nullptr), ACE_OK);
  Calls calls;
  Session s(kCorpus / "v1/onefile.ace", &calls);
  EXPECT_EQ(ACEProcessFile(s.handle(), ACE_TEST, ""), ACE_ERR_HANDLE);  // no entry read yet
  ASSERT_EQ(s.Next(), ACE_OK);
  EXPECT_EQ(ACEProcessFile(s.handle(), 7, ""), ACE_ERR_CONSTANT);
  EXPECT_EQ(ACEProcessFile(s.handle(), ACE_TEST, ""), ACE_OK);
  EXPECT_EQ(ACEProcessFile(s.handle(), ACE_TEST, ""), ACE_ERR_HANDLE);  // already handled
  EXPECT_EQ(s.Next(), ACE_ERR_END);
  EXPECT_EQ(s.Next(), ACE_ERR_END);
}

}  // namespace

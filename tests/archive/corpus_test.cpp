// Every archive of the corpus through the four library calls, checked against its
// manifests, and the corpus's broken archives checked for a clean failure.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "archive.h"
#include "test_support.h"
#include "unace.h"

namespace {

namespace fs = std::filesystem;
using namespace test_support;

struct Recorder {
  std::vector<std::pair<std::string, int>> volumes;
  std::int64_t pieceSum = 0;
  int pieces = 0;
};

int RecordVolume(void* ctx, const char* path, int mode) {
  static_cast<Recorder*>(ctx)->volumes.emplace_back(path, mode);
  return mode == ACE_VOLUME_NEXT ? 1 : 0;
}

int RecordPiece(void* ctx, const std::uint8_t*, std::int32_t count) {
  auto* r = static_cast<Recorder*>(ctx);
  r->pieceSum += count;
  ++r->pieces;
  return 1;
}

// Opens an archive with the recorder behind both callbacks; `status` is the open's.
TACEHandle OpenRecording(const std::string& path, Recorder& rec, int& status) {
  TACEOpenArchiveData open;
  open.ArchivePath = path.c_str();
  open.VolumeCallback = RecordVolume;
  open.DataCallback = RecordPiece;
  open.CallbackContext = &rec;
  TACEHandle h = ACEOpenArchive(&open);
  status = open.Status;
  return h;
}

std::vector<fs::path> Manifests() {
  std::vector<fs::path> out;
  for (const char* group : {"v1", "v2", "modes"}) {
    for (const auto& e : fs::directory_iterator(kCorpus / group)) {
      if (e.path().extension() == ".md5") out.push_back(e.path());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

class CorpusArchive : public ::testing::TestWithParam<fs::path> {};

TEST_P(CorpusArchive, ExtractsToItsManifest) {
  const fs::path manifest = GetParam();
  const fs::path archive = fs::path(manifest).replace_extension("");
  TempFolder dir;
  Recorder rec;
  int status = -1;
  TACEHandle h = OpenRecording(archive.string(), rec, status);
  ASSERT_EQ(status, ACE_OK);
  TACEHeaderData header;
  int code;
  int entries = 0;
  while ((code = ACEReadHeader(h, &header)) == ACE_OK) {
    ++entries;
    rec.pieceSum = 0;
    rec.pieces = 0;
    EXPECT_EQ(ACEProcessFile(h, ACE_EXTRACT, dir.Dir().c_str()), ACE_OK) << header.EntryName;
    // The pieces of one entry add up to its size; a non-empty entry reports at least once.
    EXPECT_EQ(rec.pieceSum, header.EntrySize) << header.EntryName;
    if (header.EntrySize > 0) {
      EXPECT_GE(rec.pieces, 1) << header.EntryName;
    } else {
      EXPECT_EQ(rec.pieces, 0) << header.EntryName;
    }
  }
  EXPECT_EQ(code, ACE_ERR_END);
  ACECloseArchive(h);
  EXPECT_GT(entries, 0);

  std::map<std::string, std::string> written;
  for (const auto& [name, md5] : Md5OfTree(dir.Path())) written[name] = md5;
  EXPECT_EQ(written, ReadManifest(manifest));

  fs::path dirs = archive;
  dirs += ".dirs";
  if (fs::exists(dirs)) {
    std::ifstream in(dirs);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty()) {
        EXPECT_TRUE(fs::is_directory(dir.Path() / line)) << line;
      }
    }
  }
  for (const auto& [path, mode] : rec.volumes) EXPECT_EQ(mode, ACE_VOLUME_NEXT) << path;
}

TEST_P(CorpusArchive, TestModeChecksEveryEntryAndWritesNothing) {
  const fs::path archive = fs::path(GetParam()).replace_extension("");
  TempFolder dir;
  ace::Archive a({});
  ASSERT_EQ(a.Open(archive.string()), ace::Status::Ok);
  ace::Entry e;
  int checked = 0;
  while (a.ReadHeader(e) == ace::Status::Ok) {
    EXPECT_EQ(a.Process(ace::Operation::Test, dir.Dir()), ace::Status::Ok) << e.name;
    ++checked;
  }
  EXPECT_GT(checked, 0);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

std::string ParamName(const ::testing::TestParamInfo<fs::path>& info) {
  std::string n = info.param.parent_path().filename().string() + "_" + info.param.stem().stem().string();
  for (char& c : n) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusArchive, ::testing::ValuesIn(Manifests()), ParamName);

TEST(CorpusSets, VolumesAreAnnouncedInOrder) {
  for (const char* set : {"v1/multivolume", "v2/multivol2"}) {
    TempFolder dir;
    Recorder rec;
    int status = -1;
    TACEHandle h = OpenRecording((kCorpus / (std::string(set) + ".ace")).string(), rec, status);
    ASSERT_EQ(status, ACE_OK);
    TACEHeaderData header;
    std::set<std::string> volumesOfEntries;
    while (ACEReadHeader(h, &header) == ACE_OK) {
      volumesOfEntries.insert(header.VolumeName);
      ASSERT_EQ(ACEProcessFile(h, ACE_TEST, dir.Dir().c_str()), ACE_OK);
    }
    ACECloseArchive(h);
    std::vector<std::pair<std::string, int>> expected;
    expected.emplace_back((kCorpus / (std::string(set) + ".c00")).string(), ACE_VOLUME_NEXT);
    if (std::string(set) == "v1/multivolume") {
      expected.emplace_back((kCorpus / (std::string(set) + ".c01")).string(), ACE_VOLUME_NEXT);
    }
    EXPECT_EQ(rec.volumes, expected) << set;
    // Every volume holds the start of at least one entry.
    EXPECT_EQ(volumesOfEntries.size(), expected.size() + 1) << set;
  }
}

TEST(CorpusSets, SpanningEntryIsOneEntryWithTheWholeFacts) {
  ace::Archive a({});
  ASSERT_EQ(a.Open((kCorpus / "v1/multivolume.ace").string()), ace::Status::Ok);
  ace::Entry e;
  bool seen = false;
  while (a.ReadHeader(e) == ace::Status::Ok) {
    if (e.name == "aclocal\\libtool.m4") {
      seen = true;
      EXPECT_EQ(e.size, 306297u);
      EXPECT_EQ(e.packedSize, 58904u);
      EXPECT_EQ(e.crc, 0xBDBB0C4Bu);
      EXPECT_EQ(e.volumePath, (kCorpus / "v1/multivolume.ace").string());
    }
  }
  EXPECT_TRUE(seen);
}

TEST(CorpusComments, MainAndFileCommentsDecode) {
  ace::Archive a({});
  ASSERT_EQ(a.Open((kCorpus / "v1/ALCHT.ACE").string()), ace::Status::Ok);
  EXPECT_EQ(a.mainHeader().comment, "main comment");
  ace::Entry e;
  ASSERT_EQ(a.ReadHeader(e), ace::Status::Ok);
  EXPECT_EQ(e.name, "slots.crd");
  EXPECT_EQ(e.comment, "file comment");
}

// Which modes of the blocked method each part of the corpus exercises.
std::array<std::uint64_t, 8> ModeBytes(const std::vector<fs::path>& archives) {
  std::array<std::uint64_t, 8> bytes{};
  for (const auto& p : archives) {
    ace::ArchiveOptions o;
    o.modeBytes = &bytes;
    ace::Archive a(o);
    EXPECT_EQ(a.Open(p.string()), ace::Status::Ok);
    ace::Entry e;
    while (a.ReadHeader(e) == ace::Status::Ok) EXPECT_EQ(a.Process(ace::Operation::Test, ""), ace::Status::Ok);
  }
  return bytes;
}

TEST(CorpusModes, ModesFolderExercisesEveryMode) {
  std::vector<fs::path> modes;
  for (const auto& e : fs::directory_iterator(kCorpus / "modes")) {
    if (e.path().extension() == ".ace") modes.push_back(e.path());
  }
  const auto bytes = ModeBytes(modes);
  for (int m = 0; m < 8; ++m) EXPECT_GT(bytes[m], 0u) << "mode " << m;
  const auto real = ModeBytes({kCorpus / "v2/dir2.ace", kCorpus / "v2/multivol2.ace"});
  std::ostringstream s;
  for (int m = 0; m < 8; ++m) s << " mode" << m << "=" << real[m];
  RecordProperty("v2_mode_bytes", s.str());
  std::printf("v2 archives, bytes per mode:%s\n", s.str().c_str());
  EXPECT_GT(real[0], 0u);
  EXPECT_GT(real[1], 0u);  // multivol2's DELTA section
  EXPECT_GT(real[2], 0u);  // EXE sections
  EXPECT_GT(real[4], 0u);  // dir2's 16-bit SOUND
}

// --- The corpus's hostile archives ---

TEST(CorpusHostile, EncryptedEntryIsReportedAndNotWritten) {
  TempFolder dir;
  TACEOpenArchiveData open;
  const std::string path = (kCorpus / "v1/passwd.ace").string();
  open.ArchivePath = path.c_str();
  TACEHandle h = ACEOpenArchive(&open);
  ASSERT_EQ(open.Status, ACE_OK);
  TACEHeaderData header;
  ASSERT_EQ(ACEReadHeader(h, &header), ACE_OK);
  EXPECT_TRUE(header.Encrypted);
  EXPECT_EQ(ACEProcessFile(h, ACE_EXTRACT, dir.Dir().c_str()), ACE_ERR_ENCRYPTED);
  ACECloseArchive(h);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// Runs the whole sequence on a hostile archive; returns the codes met.
std::vector<int> ExtractAll(const fs::path& archive, const std::string& dest) {
  std::vector<int> codes;
  TACEOpenArchiveData open;
  const std::string path = archive.string();
  open.ArchivePath = path.c_str();
  TACEHandle h = ACEOpenArchive(&open);
  codes.push_back(open.Status);
  if (open.Status == ACE_OK) {
    TACEHeaderData header;
    int code;
    while ((code = ACEReadHeader(h, &header)) == ACE_OK) {
      codes.push_back(ACEProcessFile(h, ACE_EXTRACT, dest.c_str()));
    }
    codes.push_back(code);
  }
  ACECloseArchive(h);
  return codes;
}

TEST(CorpusHostile, TraversalArchivesWriteNothingOutside) {
  const fs::path target = "/tmp/unace-dir-traversal";
  ASSERT_FALSE(fs::exists(target)) << "left over from elsewhere; remove it first";
  for (const char* name : {"v1/dirtraversal1.ace", "v1/dirtraversal2.ace"}) {
    TempFolder outer;
    const fs::path dest = outer.Path() / "a" / "b" / "c" / "d" / "e" / "f" / "g" / "h";
    fs::create_directories(dest);
    const auto codes = ExtractAll(kCorpus / name, dest.string() + "/");
    ASSERT_EQ(codes.size(), 3u) << name;
    EXPECT_EQ(codes[0], ACE_OK);
    EXPECT_EQ(codes[1], ACE_ERR_UNSAFE_NAME) << name;
    EXPECT_EQ(codes[2], ACE_ERR_END);
    EXPECT_FALSE(fs::exists(target)) << name;
    EXPECT_TRUE(Md5OfTree(outer.Path()).empty()) << name;
    EXPECT_TRUE(fs::is_empty(dest));
  }
}

TEST(CorpusHostile, OutOfBoundsArchiveEndsWithACode) {
  TempFolder outer;
  const fs::path dest = outer.Path() / "dest";
  fs::create_directories(dest);
  const auto codes = ExtractAll(kCorpus / "v1/out_of_bounds.ace", dest.string() + "/");
  bool failed = false;
  for (int c : codes) {
    if (c != ACE_OK && c != ACE_ERR_END) failed = true;
  }
  EXPECT_TRUE(failed);
  EXPECT_TRUE(Md5OfTree(outer.Path()).empty());
}

}  // namespace

TEST(Corpus, IsReachable) { EXPECT_TRUE(fs::exists(kCorpus / "README.md")) << kCorpus; }

// mkrelease end to end on real folders: the release folder it writes (install.ini
// read back by the installer's own reader, the archive set unpacked by our archive
// library, the sheet decoded by the installer's JPEG decoder), and the refusals,
// which must leave neither a half-written release nor an old one damaged.
#include "jpeg_sheet.h"
#include "release_builder.h"
#include "test_release.h"
#include "test_support.h"
#include "settings.h"
#include "sheet.h"
#include "jpeg_writer.h"
#include "unace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using mkrelease::BuildOptions;
using mkrelease::BuildRelease;
using mkrelease::ReleaseDescription;
using mkrelease::ReleaseError;
using ::testing::HasSubstr;

using namespace test_support;

namespace {

// The built installer as a release carries it: without its debug information.
std::string StrippedInstaller(const fs::path& scratch) {
  const fs::path copy = scratch / "install.stripped";
  const std::string command = "objcopy --strip-debug '" + std::string(INSTALLER_FILE) + "' '" + copy.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadFile(copy);
}

// A payload with nested and empty folders, text, a noisy binary that spans volumes
// and an empty file whose name code page 850 carries.
void MakePayload(const fs::path& root) {
  WriteFile(root / "readme.txt", "Read me first.\n");
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "Line " + std::to_string(i) + " of the long guide.\n";
  WriteFile(root / "docs" / "guide" / "long.txt", text);
  WriteFile(root / "bin" / "data.bin", RandomBytes(300 * 1024, 7));
  WriteFile(root / "zéro.txt", "");
  fs::create_directories(root / "empty" / "inner");
}

// Relative path -> content, or "<folder>" for folders.
std::map<std::string, std::string> TreeOf(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    tree[rel] = e.is_directory() ? std::string("<folder>") : ReadFile(e.path());
  }
  return tree;
}

struct Extraction {
  int status = -1;
  int volumeChanges = 0;
  int missingVolumes = 0;
  std::vector<std::string> names;
};

int OnVolume(void* context, const char*, int mode) {
  auto* x = static_cast<Extraction*>(context);
  if (mode == ACE_VOLUME_NEXT) {
    ++x->volumeChanges;
    return 1;
  }
  ++x->missingVolumes;
  return 0;
}

int OnData(void*, const std::uint8_t*, std::int32_t) { return 1; }

// Unpacks the whole set through the archive library, as the installer does.
Extraction ExtractAll(const fs::path& firstVolume, const fs::path& destination) {
  Extraction x;
  fs::create_directories(destination);
  const std::string archive = firstVolume.string();
  const std::string dest = destination.string() + "/";
  TACEOpenArchiveData open;
  open.ArchivePath = archive.c_str();
  open.VolumeCallback = OnVolume;
  open.DataCallback = OnData;
  open.CallbackContext = &x;
  TACEHandle handle = ACEOpenArchive(&open);
  if (open.Status != 0) {
    x.status = open.Status;
    ACECloseArchive(handle);
    return x;
  }
  TACEHeaderData header;
  int code;
  while ((code = ACEReadHeader(handle, &header)) == 0) {
    x.names.push_back(header.EntryName);
    const int result = ACEProcessFile(handle, ACE_EXTRACT, dest.c_str());
    if (result != 0) {
      x.status = result;
      ACECloseArchive(handle);
      return x;
    }
  }
  x.status = code == ACE_ERR_END ? 0 : code;
  ACECloseArchive(handle);
  return x;
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A description of a small release whose inputs lie in `inputs`.
ReleaseDescription SmallDescription(const fs::path& inputs, const fs::path& installer) {
  MakePayload(inputs / "payload");
  mkrelease::fixture::WriteTestPictures(inputs / "art");
  WriteFile(inputs / "small.nfo", "\xDB\xDB small \xB0\xB1\xB2\r\n");
  ReleaseDescription d;
  d.title = "test";
  d.payload = inputs / "payload";
  d.volumeSize = 64 * 1024;
  d.nfo = inputs / "small.nfo";
  d.pictures = inputs / "art";
  d.installer = installer;
  return d;
}

std::string BuildError(const ReleaseDescription& d, const fs::path& out, bool bundle = false,
                       std::function<bool()> shouldStop = {}) {
  try {
    BuildOptions options;
    options.bundle = bundle;
    options.shouldStop = std::move(shouldStop);
    BuildRelease(d, out, options);
  } catch (const ReleaseError& e) {
    return e.what();
  }
  return "(built)";
}

// No staging folder of mkrelease is left in `parent`.
void ExpectNoStaging(const fs::path& parent) {
  for (const auto& name : Listing(parent)) EXPECT_THAT(name, ::testing::Not(HasSubstr(".mkrelease-"))) << parent;
}

TEST(Release, FolderInstallIniArchiveAndSheet) {
  TempFolder tmp;
  ReleaseDescription d = SmallDescription(tmp.Path() / "in", INSTALLER_FILE);
  d.execute = "docs/guide/long.txt";
  d.defaultDir = "Test Game";
  WriteFile(tmp.Path() / "in" / "tune.mid", "MThd tune bytes");
  d.tune = tmp.Path() / "in" / "tune.mid";
  WriteFile(tmp.Path() / "in" / "serial.txt", "serial 1");
  d.regfile1 = tmp.Path() / "in" / "serial.txt";
  WriteFile(tmp.Path() / "in" / "extra" / "key.txt", "key 2");
  d.regfile2 = tmp.Path() / "in" / "extra" / "key.txt";

  const fs::path out = tmp.Path() / "release";
  const auto summary = BuildRelease(d, out, BuildOptions{});

  // The set was really cut: 300 KiB of noise at 64 KiB per volume.
  ASSERT_GE(summary.volumes.size(), 4u);
  EXPECT_EQ(summary.files, 4);
  EXPECT_EQ(summary.folders, 5);  // bin, docs, docs/guide, empty, empty/inner
  std::vector<std::string> expected = {"install", "install.dat", "install.ini", "key.txt", "serial.txt", "small.nfo", "tune.mid"};
  for (std::size_t k = 0; k < summary.volumes.size(); ++k) {
    const std::string want = k == 0 ? "test.ace" : "test.c" + std::string(k <= 10 ? "0" : "") + std::to_string(k - 1);
    EXPECT_EQ(summary.volumes[k], want);
    expected.push_back(want);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listing(out), expected);
  ExpectNoStaging(tmp.Path());

  // install.ini as the installer reads it.
  TSettings settings;
  const std::string exeDir = out.string() + "/";
  ReadSettings(exeDir, settings);
  EXPECT_EQ(settings.Source, exeDir + "test.ace");
  EXPECT_EQ(settings.NfoFile, exeDir + "small.nfo");
  EXPECT_EQ(settings.MidFile, "tune.mid");
  EXPECT_EQ(settings.DefaultDir, "Test Game");
  EXPECT_EQ(settings.RegFile1, "serial.txt");
  EXPECT_EQ(settings.RegFile2, "key.txt");
  EXPECT_EQ(settings.Execute, "docs/guide/long.txt");
  EXPECT_EQ(settings.NumFiles, static_cast<std::int32_t>(summary.volumes.size()));

  // The copies are exact (the installer less its debug information), and the
  // installer can be run.
  EXPECT_EQ(ReadFile(out / "install"), StrippedInstaller(tmp.Path()));
  std::printf("installer: %.2f MiB built, %.2f MiB in the release\n",
              static_cast<double>(fs::file_size(INSTALLER_FILE)) / (1 << 20),
              static_cast<double>(fs::file_size(out / "install")) / (1 << 20));
  EXPECT_TRUE((fs::status(out / "install").permissions() & fs::perms::owner_exec) != fs::perms::none);
  EXPECT_EQ(ReadFile(out / "small.nfo"), ReadFile(d.nfo));
  EXPECT_EQ(ReadFile(out / "tune.mid"), "MThd tune bytes");
  EXPECT_EQ(ReadFile(out / "key.txt"), "key 2");

  // The archive set unpacks to exactly the payload, folders included.
  const fs::path dest = tmp.Path() / "unpacked";
  const Extraction x = ExtractAll(out / "test.ace", dest);
  EXPECT_EQ(x.status, 0);
  EXPECT_EQ(x.volumeChanges, static_cast<int>(summary.volumes.size()) - 1);
  EXPECT_EQ(x.missingVolumes, 0);
  EXPECT_EQ(TreeOf(dest), TreeOf(d.payload));

  // The sheet holds the six pictures at their places.
  const std::string sheetBytes = ReadFile(out / "install.dat");
  const TRgbImage sheet = DecodeJpeg(std::span(reinterpret_cast<const std::uint8_t*>(sheetBytes.data()), sheetBytes.size()));
  ASSERT_EQ(sheet.Width, 471);
  ASSERT_EQ(sheet.Height, 1114);
  for (int i = 0; i < 6; ++i) {
    const auto& region = mksheet::kRegions[static_cast<std::size_t>(i)];
    const QColor want = mkrelease::fixture::PictureColour(i);
    // Sample well inside the region, away from the edges where JPEG blurs.
    for (int dy : {6, region.height / 2, region.height - 7}) {
      for (int x : {6, region.width / 2, region.width - 7}) {
        const std::size_t at = (static_cast<std::size_t>(region.top + dy) * 471 + static_cast<std::size_t>(x)) * 3;
        EXPECT_NEAR(sheet.Rgb[at], want.red(), 16) << region.name << " at " << x << "," << dy;
        EXPECT_NEAR(sheet.Rgb[at + 1], want.green(), 16) << region.name;
        EXPECT_NEAR(sheet.Rgb[at + 2], want.blue(), 16) << region.name;
      }
    }
  }
}

TEST(Release, ReadySheetIsCopiedAndCheckedAsJpeg) {
  TempFolder tmp;
  ReleaseDescription d = SmallDescription(tmp.Path() / "in", tmp.Path() / "in" / "small.nfo");
  d.pictures.reset();
  // A real sheet, composed and encoded the way mksheet does it.
  QImage big(471, 1114, QImage::Format_RGB32);
  big.fill(QColor(10, 20, 30));
  std::vector<std::uint8_t> jpeg;
  std::string error;
  ASSERT_TRUE(mksheet::EncodeJpeg(big, 90, jpeg, error)) << error;
  WriteFile(tmp.Path() / "in" / "sheet.jpg", std::string(jpeg.begin(), jpeg.end()));
  d.sheet = tmp.Path() / "in" / "sheet.jpg";
  BuildRelease(d, tmp.Path() / "ok", BuildOptions{});
  EXPECT_EQ(ReadFile(tmp.Path() / "ok" / "install.dat"), std::string(jpeg.begin(), jpeg.end()));

  QImage small(471, 1000, QImage::Format_RGB32);
  small.fill(Qt::white);
  jpeg.clear();
  ASSERT_TRUE(mksheet::EncodeJpeg(small, 90, jpeg, error)) << error;
  WriteFile(tmp.Path() / "in" / "small.jpg", std::string(jpeg.begin(), jpeg.end()));
  d.sheet = tmp.Path() / "in" / "small.jpg";
  EXPECT_THAT(BuildError(d, tmp.Path() / "bad"), HasSubstr("is 471x1000 pixels; it must be at least 471x1114"));

  ASSERT_TRUE(small.save(QString::fromStdString((tmp.Path() / "in" / "sheet.png").string()), "PNG"));
  d.sheet = tmp.Path() / "in" / "sheet.png";
  EXPECT_THAT(BuildError(d, tmp.Path() / "bad"), HasSubstr("is not a JPEG picture"));
  EXPECT_FALSE(fs::exists(tmp.Path() / "bad"));
}

// Each bad input: its message, and nothing left behind.
struct BadInput {
  const char* name;
  std::function<void(ReleaseDescription&, const fs::path& inputs)> spoil;
  const char* message;
  bool bundle = false;
};

class Refusal : public ::testing::TestWithParam<BadInput> {};

TEST_P(Refusal, SaysWhatToFixAndLeavesNothing) {
  TempFolder tmp;
  const fs::path inputs = tmp.Path() / "in";
  ReleaseDescription d = SmallDescription(inputs, inputs / "small.nfo");  // any file serves as installer here
  GetParam().spoil(d, inputs);
  const fs::path out = tmp.Path() / "out";
  EXPECT_THAT(BuildError(d, out, GetParam().bundle), HasSubstr(GetParam().message));
  EXPECT_FALSE(fs::exists(out));
  ExpectNoStaging(tmp.Path());
}

QImage Filled(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::gray);
  return image;
}

INSTANTIATE_TEST_SUITE_P(
    BadInputs, Refusal,
    ::testing::Values(
        BadInput{"MissingNfo", [](auto& d, auto&) { d.nfo = d.nfo.parent_path() / "gone.nfo"; }, "gone.nfo' does not exist"},
        BadInput{"MissingTune", [](auto& d, auto& in) { d.tune = in / "tune.mid"; }, "the tune '"},
        BadInput{"MissingInstaller", [](auto& d, auto& in) { d.installer = in / "nothing"; }, "the installer '"},
        BadInput{"WrongPictureSize",
                 [](auto&, auto& in) { Filled(470, 258).save(QString::fromStdString((in / "art" / "screen_features.png").string())); },
                 "is 470x258 pixels; screen_features must be 471x258"},
        BadInput{"WrongBarSize",
                 [](auto&, auto& in) { Filled(378, 35).save(QString::fromStdString((in / "art" / "progbar2.png").string())); },
                 "progbar2 must be 378x36"},
        BadInput{"MissingPicture", [](auto&, auto& in) { fs::remove(in / "art" / "progbar1.png"); }, "has no progbar1.png"},
        BadInput{"TwoPicturesOfOneName",
                 [](auto&, auto& in) { Filled(471, 258).save(QString::fromStdString((in / "art" / "screen_install.bmp").string())); },
                 "holds 2 pictures named screen_install"},
        BadInput{"PictureNotAPicture", [](auto&, auto& in) { WriteFile(in / "art" / "progbar1.png", "text"); },
                 "cannot read"},
        BadInput{"TitleWithEquals", [](auto& d, auto&) { d.title = "a=b"; }, "holds '='"},
        BadInput{"TitleWithNewline", [](auto& d, auto&) { d.title = "a\nb"; }, "line break"},
        BadInput{"TitleWithFolder", [](auto& d, auto&) { d.title = "sub/demo"; }, "not a plain file name"},
        BadInput{"NfoNamedLikeAVolume",
                 [](auto& d, auto& in) { WriteFile(in / "test.c07", "x"); d.nfo = in / "test.c07"; },
                 "has the name of a volume"},
        BadInput{"NfoNamedInstallIni",
                 [](auto& d, auto& in) { WriteFile(in / "install.ini", "x"); d.nfo = in / "install.ini"; },
                 "name the release folder itself uses"},
        BadInput{"TwoFilesOfOneName",
                 [](auto& d, auto& in) { WriteFile(in / "other" / "small.nfo", "x"); d.regfile1 = in / "other" / "small.nfo"; },
                 "same name as the NFO file name"},
        BadInput{"RegfileNameWithQuote",
                 [](auto& d, auto& in) { WriteFile(in / "'key.txt", "x"); d.regfile2 = in / "'key.txt"; },
                 "quotation mark"},
        BadInput{"DefaultDirWithSlash", [](auto& d, auto&) { d.defaultDir = "a/b"; }, "not a plain folder name"},
        BadInput{"DefaultDirWithNewline", [](auto& d, auto&) { d.defaultDir = "a\nb"; }, "line break"},
        BadInput{"ExecuteNotInPayload", [](auto& d, auto&) { d.execute = "docs/missing.txt"; },
                 "'docs/missing.txt' is not a file of the payload"},
        BadInput{"ExecuteAbsolute", [](auto& d, auto&) { d.execute = "/etc/passwd"; }, "is absolute"},
        BadInput{"ExecuteEscapes", [](auto& d, auto&) { d.execute = "../small.nfo"; }, "uses '..'"},
        BadInput{"ExecuteAFolder", [](auto& d, auto&) { d.execute = "docs"; }, "is not a file of the payload"},
        BadInput{"PayloadNameWithNewline", [](auto& d, auto&) { WriteFile(d.payload / "bad\nname.txt", "x"); },
                 "the payload name holds a line break"},
        BadInput{"PayloadNameOutsideCp850", [](auto& d, auto&) { WriteFile(d.payload / "docs" / "日本.txt", "x"); },
                 "the payload entry name \"docs/日本.txt\": character \"日\" (U+65E5) has no code page 850 form; rename '"},
        BadInput{"PayloadNameNotUtf8", [](auto& d, auto&) { WriteFile(d.payload / "docs" / "caf\xE9.txt", "x"); },
                 "is not valid UTF-8"},
        BadInput{"PayloadNameWithColon", [](auto& d, auto&) { WriteFile(d.payload / "a:b", "x"); }, "character ':'"},
        BadInput{"PayloadNameWithBackslash", [](auto& d, auto&) { WriteFile(d.payload / "a\\b", "x"); },
                 "character '\\'"},
        BadInput{"PayloadNameTooLong",
                 [](auto& d, auto&) {
                   fs::path p = d.payload;
                   for (int i = 0; i < 3; ++i) p /= std::string(90, 'd');
                   WriteFile(p / "f.txt", "x");
                 },
                 "longer than 259 bytes"},
        BadInput{"PayloadSymlink", [](auto& d, auto&) { fs::create_symlink("/etc/passwd", d.payload / "link"); },
                 "symbolic link"},
        BadInput{"PayloadFifo", [](auto& d, auto&) { ASSERT_EQ(mkfifo((d.payload / "pipe").c_str(), 0600), 0); },
                 "neither a file nor a folder"},
        BadInput{"EmptyPayload",
                 [](auto& d, auto& in) { fs::create_directories(in / "hollow" / "a" / "b"); d.payload = in / "hollow"; },
                 "holds no files"},
        BadInput{"MissingPayload", [](auto& d, auto& in) { d.payload = in / "nowhere"; }, "payload folder"},
        BadInput{"VolumeTooSmall", [](auto& d, auto&) { d.volumeSize = 100; }, "too small"},
        // Late failures, after the staging folder holds an archive set.
        BadInput{"MoreThan256Volumes", [](auto& d, auto&) { d.volumeSize = 4096; WriteFile(d.payload / "big.bin", RandomBytes(1200 * 1024, 3)); },
                 "256"},
        BadInput{"BundleOfANonProgram", [](auto&, auto&) {}, "is not an ELF executable", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Release, OutputFolderRules) {
  TempFolder tmp;
  const fs::path inputs = tmp.Path() / "in";
  ReleaseDescription d = SmallDescription(inputs, inputs / "small.nfo");

  // A folder that is not a release is never replaced.
  WriteFile(tmp.Path() / "home" / "letter.txt", "keep me");
  EXPECT_THAT(BuildError(d, tmp.Path() / "home"), HasSubstr("is not a release folder"));
  EXPECT_EQ(ReadFile(tmp.Path() / "home" / "letter.txt"), "keep me");
  // Nor is a file.
  WriteFile(tmp.Path() / "plain", "file");
  EXPECT_THAT(BuildError(d, tmp.Path() / "plain"), HasSubstr("is not a folder"));
  EXPECT_EQ(ReadFile(tmp.Path() / "plain"), "file");
  // An output folder holding an input, or lying in the payload, is refused.
  EXPECT_THAT(BuildError(d, tmp.Path()), HasSubstr("holds the payload"));
  EXPECT_THAT(BuildError(d, d.payload / "docs" / "rel"), HasSubstr("lies inside the payload"));
  EXPECT_FALSE(fs::exists(d.payload / "docs" / "rel"));
  // An empty folder is fine.
  fs::create_directories(tmp.Path() / "vacant");
  EXPECT_EQ(BuildError(d, tmp.Path() / "vacant"), "(built)");
  EXPECT_TRUE(fs::exists(tmp.Path() / "vacant" / "install.ini"));
  ExpectNoStaging(tmp.Path());
}

TEST(Release, ExistingReleaseSurvivesFailureAndIsReplacedOnSuccess) {
  TempFolder tmp;
  const fs::path inputs = tmp.Path() / "in";
  ReleaseDescription d = SmallDescription(inputs, inputs / "small.nfo");
  const fs::path out = tmp.Path() / "release";
  ASSERT_EQ(BuildError(d, out), "(built)");
  WriteFile(out / "left-over.txt", "from before");
  const auto before = TreeOf(out);

  // An early refusal and a late one (after the new archive set was written).
  ReleaseDescription bad = d;
  bad.nfo = inputs / "missing.nfo";
  EXPECT_THAT(BuildError(bad, out), HasSubstr("does not exist"));
  EXPECT_EQ(TreeOf(out), before);
  EXPECT_THAT(BuildError(d, out, /*bundle=*/true), HasSubstr("not an ELF executable"));
  EXPECT_EQ(TreeOf(out), before);
  // A stop (a signal, in the program) while packing, and one at the last moment
  // before the new release would take the old one's place.
  // (How often the writer asks while it waits for its threads depends on timing, so
  // the last moment is known by the staged install.ini, which is written last.)
  const auto staged = [&] {
    for (const auto& e : fs::directory_iterator(tmp.Path()))
      if (e.path().filename().string().find(".mkrelease-") != std::string::npos && fs::exists(e.path() / "install.ini"))
        return true;
    return false;
  };
  int asked = 0;
  EXPECT_THAT(BuildError(d, out, false, [&] { return ++asked > 2; }), HasSubstr("stopped"));
  EXPECT_TRUE(TreeOf(out) == before) << "the old release stays as it was";
  EXPECT_THAT(BuildError(d, out, false, staged), HasSubstr("stopped"));
  EXPECT_TRUE(TreeOf(out) == before) << "the old release stays as it was";
  ExpectNoStaging(tmp.Path());

  // A good run replaces the whole folder.
  WriteFile(d.payload / "new.txt", "new file");
  ASSERT_EQ(BuildError(d, out), "(built)");
  EXPECT_FALSE(fs::exists(out / "left-over.txt"));
  const Extraction x = ExtractAll(out / "test.ace", tmp.Path() / "unpacked");
  EXPECT_EQ(x.status, 0);
  EXPECT_EQ(ReadFile(tmp.Path() / "unpacked" / "new.txt"), "new file");
  ExpectNoStaging(tmp.Path());
}

TEST(Release, StagingLeftByAKilledRunIsRemoved) {
  TempFolder tmp;
  const fs::path inputs = tmp.Path() / "in";
  ReleaseDescription d = SmallDescription(inputs, inputs / "small.nfo");
  // A process that has ended, and one that runs (this one).
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const fs::path dead = tmp.Path() / (".out.mkrelease-" + std::to_string(child) + "-abcdef");
  const fs::path live = tmp.Path() / (".out.mkrelease-" + std::to_string(getpid()) + "-ghijkl");
  const fs::path other = tmp.Path() / (".other.mkrelease-" + std::to_string(child) + "-mnopqr");
  for (const auto& p : {dead, live, other}) WriteFile(p / "test.ace", "half");
  ASSERT_EQ(BuildError(d, tmp.Path() / "out"), "(built)");
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(live / "test.ace"));   // a build still running is left alone
  EXPECT_TRUE(fs::exists(other / "test.ace"));  // it belongs to another output folder
}

TEST(Release, SingleVolumeAndStoredLevel) {
  TempFolder tmp;
  const fs::path inputs = tmp.Path() / "in";
  ReleaseDescription d = SmallDescription(inputs, inputs / "small.nfo");
  d.volumeSize = 0;
  d.level = 0;
  const auto summary = BuildRelease(d, tmp.Path() / "one", BuildOptions{});
  EXPECT_EQ(summary.volumes, std::vector<std::string>{"test.ace"});
  TSettings settings;
  ReadSettings((tmp.Path() / "one").string() + "/", settings);
  EXPECT_EQ(settings.NumFiles, 1);
  EXPECT_EQ(ExtractAll(tmp.Path() / "one" / "test.ace", tmp.Path() / "x").status, 0);
  EXPECT_EQ(TreeOf(tmp.Path() / "x"), TreeOf(d.payload));
}

TEST(Release, FixtureBuildsAReleaseForOtherTests) {
  TempFolder tmp;
  MakePayload(tmp.Path() / "payload");
  mkrelease::fixture::TestReleaseOptions options;
  options.volumeSize = 100 * 1024;
  options.execute = "readme.txt";
  options.withRegFile = true;
  options.withTune = true;
  const auto summary = mkrelease::fixture::MakeTestRelease(tmp.Path() / "payload", tmp.Path() / "rel", INSTALLER_FILE, options);
  EXPECT_GE(summary.volumes.size(), 3u);
  TSettings settings;
  ReadSettings((tmp.Path() / "rel").string() + "/", settings);
  EXPECT_EQ(settings.NumFiles, static_cast<std::int32_t>(summary.volumes.size()));
  EXPECT_EQ(settings.Execute, "readme.txt");
  EXPECT_EQ(settings.RegFile1, "register.txt");
  EXPECT_TRUE(fs::is_regular_file(tmp.Path() / "rel" / "register.txt"));
  EXPECT_EQ(ExtractAll(tmp.Path() / "rel" / "test.ace", tmp.Path() / "x").status, 0);
  EXPECT_EQ(TreeOf(tmp.Path() / "x"), TreeOf(tmp.Path() / "payload"));
}

TEST(CommandLine, UsageRefusalAndSuccess) {
  TempFolder tmp;
  std::ostringstream out, err;
  EXPECT_EQ(mkrelease::RunMkrelease({}, INSTALLER_FILE, out, err), 2);
  EXPECT_THAT(err.str(), HasSubstr("usage: mkrelease DESCRIPTION OUTDIR [--bundle]"));
  err.str("");
  EXPECT_EQ(mkrelease::RunMkrelease({"a", "b", "--fast"}, INSTALLER_FILE, out, err), 2);
  EXPECT_THAT(err.str(), HasSubstr("unknown option --fast"));

  MakePayload(tmp.Path() / "payload");
  mkrelease::fixture::WriteTestPictures(tmp.Path() / "art");
  WriteFile(tmp.Path() / "x.nfo", "nfo");
  WriteFile(tmp.Path() / "rel.ini",
             "[release]\ntitle = cli\npayload = payload\nvolume_size = 128K\nnfo = x.nfo\npictures = art\n");
  err.str("");
  EXPECT_EQ(mkrelease::RunMkrelease({(tmp.Path() / "rel.ini").string(), (tmp.Path() / "out").string()}, INSTALLER_FILE,
                                    out, err),
            0)
      << err.str();
  EXPECT_THAT(out.str(), HasSubstr("volumes"));
  EXPECT_TRUE(fs::is_regular_file(tmp.Path() / "out" / "cli.ace"));
  EXPECT_EQ(ReadFile(tmp.Path() / "out" / "install"), StrippedInstaller(tmp.Path()));  // the default installer

  WriteFile(tmp.Path() / "bad.ini", "[release]\ntitle = cli\npayload = payload\nnfo = x.nfo\npictures = art\nfoo = 1\n");
  EXPECT_EQ(mkrelease::RunMkrelease({(tmp.Path() / "bad.ini").string(), (tmp.Path() / "out2").string()}, INSTALLER_FILE,
                                    out, err),
            1);
  EXPECT_THAT(err.str(), HasSubstr("mkrelease: "));
  EXPECT_THAT(err.str(), HasSubstr("unknown key 'foo'"));
  EXPECT_FALSE(fs::exists(tmp.Path() / "out2"));
}

// -j sets the threads that compress; the archive set is the same for any number
// (SOURCE_DATE_EPOCH fixes the time stamp in its main headers).
TEST(CommandLine, ThreadsLeaveTheArchiveAsItIs) {
  TempFolder tmp;
  MakePayload(tmp.Path() / "payload");
  mkrelease::fixture::WriteTestPictures(tmp.Path() / "art");
  WriteFile(tmp.Path() / "x.nfo", "nfo");
  WriteFile(tmp.Path() / "rel.ini",
             "[release]\ntitle = cli\npayload = payload\nvolume_size = 128K\nnfo = x.nfo\npictures = art\n");
  const std::string ini = (tmp.Path() / "rel.ini").string();
  std::ostringstream out, err;
  for (const char* bad : {"0", "x", "2000"}) {
    EXPECT_EQ(mkrelease::RunMkrelease({ini, (tmp.Path() / "bad").string(), "-j", bad}, INSTALLER_FILE, out, err), 2);
    EXPECT_THAT(err.str(), HasSubstr("-j wants a number of threads"));
  }
  EXPECT_FALSE(fs::exists(tmp.Path() / "bad"));
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  for (const char* threads : {"1", "3"})
    EXPECT_EQ(mkrelease::RunMkrelease({ini, (tmp.Path() / ("j" + std::string(threads))).string(), "-j", threads},
                                      INSTALLER_FILE, out, err),
              0)
        << err.str();
  ::unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_TRUE(fs::exists(tmp.Path() / "j1" / "cli.c00"));
  for (const char* volume : {"cli.ace", "cli.c00"})
    EXPECT_EQ(ReadFile(tmp.Path() / "j1" / volume), ReadFile(tmp.Path() / "j3" / volume)) << volume;
}

}  // namespace

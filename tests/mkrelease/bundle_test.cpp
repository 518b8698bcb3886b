// The bundle step on the real installer: with LD_LIBRARY_PATH removed, the dynamic
// loader (ldd) must find every library that is not part of the base system inside
// the release folder, for the installer, for every bundled library and for the Qt
// platform plugins.
#include "bundle.h"
#include "release_builder.h"
#include "release_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "mkrelease-bundle-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The libraries an ELF file names itself (DT_NEEDED), as patchelf reports them.
std::set<std::string> DirectNeeds(const fs::path& elf) {
  std::set<std::string> out;
  const std::string command = "patchelf --print-needed '" + elf.string() + "' 2>/dev/null";
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
      std::string name(line);
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
      if (!name.empty()) out.insert(name);
    }
    ::pclose(pipe);
  }
  return out;
}

bool Inside(const fs::path& file, const fs::path& folder) {
  const std::string f = fs::weakly_canonical(file).string();
  const std::string d = fs::weakly_canonical(folder).string() + "/";
  return f.compare(0, d.size(), d) == 0;
}

TEST(Bundle, BaseLibraryList) {
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libc.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libstdc++.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libX11.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libGLX.so.0"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libpulsecommon-16.1.so"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("/lib/x86_64-linux-gnu/libm.so.6"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libQt6Core.so.6"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libSDL2-2.0.so.0"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libSDL2_mixer-2.0.so.0"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libfluidsynth.so.3"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libjpeg.so.62"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libxcb-icccm.so.4"));  // not libxcb itself
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libxkbcommon-x11.so.0"));
}

TEST(Bundle, LddAnswersAreRead) {
  const auto libs = mkrelease::ResolveLibraries(INSTALLER_FILE);
  bool sawLibc = false;
  for (const auto& lib : libs) {
    ASSERT_TRUE(lib.path) << lib.name << " did not resolve on the build machine";
    EXPECT_TRUE(fs::exists(*lib.path)) << *lib.path;
    sawLibc = sawLibc || lib.name == "libc.so.6";
  }
  EXPECT_TRUE(sawLibc);
  EXPECT_THROW(mkrelease::ResolveLibraries("/nonexistent/program"), mkrelease::ReleaseError);
}

TEST(Bundle, EveryLibraryResolvesInsideTheFolder) {
  TempDir tmp;
  const fs::path release = tmp.path() / "release";
  fs::create_directories(release);
  fs::copy_file(INSTALLER_FILE, release / "install");
  const auto added = mkrelease::BundleRuntime(release);

  EXPECT_TRUE(fs::is_regular_file(release / "platforms" / "libqxcb.so"));
  EXPECT_TRUE(fs::is_regular_file(release / "qt.conf"));
  EXPECT_NE(std::find(added.begin(), added.end(), "platforms/libqxcb.so"), added.end());

  std::vector<fs::path> elves = {release / "install"};
  for (const char* sub : {"lib", "platforms", "xcbglintegrations"}) {
    if (!fs::is_directory(release / sub)) continue;
    for (const auto& e : fs::directory_iterator(release / sub)) elves.push_back(e.path());
  }
  ASSERT_GT(elves.size(), 10u);  // Qt alone brings more than that

  // Every library that a bundled file names itself must resolve inside the folder,
  // unless it is part of the base system. (What the system's own base libraries pull
  // in, for example the sound server's client and its codecs, comes with them from
  // the system, so only the direct needs of the folder's files are checked here.)
  ASSERT_TRUE(DirectNeeds(release / "install").count("libQt6Widgets.so.6")) << "patchelf lists the needs";
  std::set<std::string> insideNames;
  for (const auto& elf : elves) {
    const std::set<std::string> direct = DirectNeeds(elf);
    for (const auto& lib : mkrelease::ResolveLibraries(elf)) {
      ASSERT_TRUE(lib.path) << elf << " needs " << lib.name << ", which does not resolve";
      if (mkrelease::IsBaseLibrary(lib.name)) {
        EXPECT_FALSE(Inside(*lib.path, release)) << lib.name << " is base and must come from the system";
        continue;
      }
      if (Inside(*lib.path, release)) insideNames.insert(lib.name);
      else if (direct.count(lib.name))
        ADD_FAILURE() << elf.filename() << " finds " << lib.name << " at " << *lib.path;
    }
  }
  // The ones that matter most, named: Qt with its X11 plugin always, and the JPEG
  // decoder and the sound libraries whenever the installer links them.
  for (const char* name : {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libQt6XcbQpa.so.6",
                           "libxkbcommon-x11.so.0"}) {
    EXPECT_TRUE(insideNames.count(name)) << name << " is not found inside the release folder";
  }
  std::set<std::string> linked;
  for (const auto& lib : mkrelease::ResolveLibraries(INSTALLER_FILE)) linked.insert(lib.name);
  for (const char* name : {"libjpeg.so.62", "libSDL2-2.0.so.0", "libSDL2_mixer-2.0.so.0", "libfluidsynth.so.3"}) {
    if (linked.count(name)) {
      EXPECT_TRUE(insideNames.count(name)) << name << " is not found inside the release folder";
    }
  }
  std::ifstream conf(release / "qt.conf");
  std::string text((std::istreambuf_iterator<char>(conf)), std::istreambuf_iterator<char>());
  EXPECT_THAT(text, HasSubstr("Plugins = ."));
}

TEST(Bundle, RefusesAFolderWithoutAProgram) {
  TempDir tmp;
  std::ofstream(tmp.path() / "install") << "#!/bin/sh\n";
  try {
    mkrelease::BundleRuntime(tmp.path());
    ADD_FAILURE() << "a script was bundled";
  } catch (const mkrelease::ReleaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("is not an ELF executable"));
  }
  EXPECT_FALSE(fs::exists(tmp.path() / "lib"));
}

}  // namespace

namespace {

// Starts the bundled installer where it cannot open a window (no display), so Qt
// loads its platform plugin and gives up at once; the loader's and Qt's own reports
// show where each piece came from.
TEST(Bundle, TheLoaderAndQtTakeThePiecesFromTheFolder) {
  TempDir tmp;
  const fs::path release = tmp.path() / "release";
  fs::create_directories(release);
  fs::copy_file(INSTALLER_FILE, release / "install");
  mkrelease::BundleRuntime(release);

  const std::string command = "cd / && env -u LD_LIBRARY_PATH -u LD_PRELOAD -u DISPLAY -u WAYLAND_DISPLAY "
                              "QT_QPA_PLATFORM=xcb QT_DEBUG_PLUGINS=1 LD_DEBUG=libs ASAN_OPTIONS=detect_leaks=0 '" +
                              (release / "install").string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_NE(status, 0) << "the installer started without a display";

  const std::string inside = fs::weakly_canonical(release).string();
  auto has = [&](const std::string& text) { return output.find(text) != std::string::npos; };
  // The loader initialises Qt from the folder ...
  EXPECT_TRUE(has("calling init: " + inside + "/lib/libQt6Core.so.6")) << "Qt's core library came from elsewhere";
  EXPECT_TRUE(has("calling init: " + inside + "/lib/libQt6Widgets.so.6")) << "Qt Widgets came from elsewhere";
  EXPECT_FALSE(has("calling init: /lib/x86_64-linux-gnu/libQt6")) << "a Qt library came from the system";
  EXPECT_FALSE(has("calling init: /usr/lib/x86_64-linux-gnu/libQt6")) << "a Qt library came from the system";
  // ... and Qt loads the X11 plugin from the folder, with its libraries from lib/.
  EXPECT_TRUE(has("\"" + inside + "/platforms/libqxcb.so\" loaded library")) << "the plugin came from elsewhere";
  EXPECT_TRUE(has("calling init: " + inside + "/platforms/../lib/libQt6XcbQpa.so.6")) << "the plugin's Qt library came from elsewhere";
  EXPECT_FALSE(has("/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms")) << "Qt searched the system's plugins";
}

}  // namespace

namespace {

TEST(Bundle, ThroughTheWholeBuild) {
  TempDir tmp;
  fs::create_directories(tmp.path() / "payload" / "docs");
  std::ofstream(tmp.path() / "payload" / "docs" / "readme.txt") << "bundled release\n";
  const fs::path inputs = tmp.path() / "in";
  mkrelease::fixture::WriteTestPictures(inputs / "art");
  std::ofstream(inputs / "b.nfo") << "nfo\r\n";
  mkrelease::ReleaseDescription d;
  d.title = "bundled";
  d.payload = tmp.path() / "payload";
  d.nfo = inputs / "b.nfo";
  d.pictures = inputs / "art";
  d.installer = INSTALLER_FILE;
  mkrelease::BuildOptions options;
  options.bundle = true;
  const auto summary = mkrelease::BuildRelease(d, tmp.path() / "rel", options);
  EXPECT_NE(std::find(summary.bundled.begin(), summary.bundled.end(), "lib/libQt6Core.so.6"), summary.bundled.end());
  for (const auto& name : summary.bundled) EXPECT_TRUE(fs::exists(tmp.path() / "rel" / name)) << name;
  EXPECT_TRUE(fs::is_regular_file(tmp.path() / "rel" / "install.ini"));
  EXPECT_TRUE(fs::is_regular_file(tmp.path() / "rel" / "bundled.ace"));
  for (const auto& lib : mkrelease::ResolveLibraries(tmp.path() / "rel" / "install")) {
    ASSERT_TRUE(lib.path) << lib.name;
    if (!mkrelease::IsBaseLibrary(lib.name)) {
      EXPECT_TRUE(Inside(*lib.path, tmp.path() / "rel")) << lib.name;
    }
  }
  for (const auto& e : fs::directory_iterator(tmp.path())) {
    EXPECT_EQ(e.path().filename().string().find(".mkrelease-"), std::string::npos) << e.path();
  }
}

}  // namespace

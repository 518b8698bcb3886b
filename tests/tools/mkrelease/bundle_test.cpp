// The bundle step on the real installer: with LD_LIBRARY_PATH removed, the dynamic
// loader (ldd) must find every library that is not part of the base system inside
// the release folder, for the installer, for every bundled library and for the Qt
// platform plugins; ICU's cut data must answer as the whole set does; and the
// bundled demo release must come up and play its tune where the system's Qt, SDL,
// FluidSynth, libjpeg, ICU and sound fonts are hidden.
#include "bundle.h"
#include "release_builder.h"
#include "test_release.h"
#include "test_support.h"
#include "x_session.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using ::testing::HasSubstr;
extern char** environ;

using namespace test_support;

namespace {

// What a command prints on stdout.
std::string Output(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    ::pclose(pipe);
  }
  return output;
}

// The libraries an ELF file names itself (DT_NEEDED), as patchelf reports them.
std::set<std::string> NamedNeeds(const fs::path& elf) {
  std::istringstream lines(Output("patchelf --print-needed '" + elf.string() + "' 2>/dev/null"));
  std::set<std::string> out;
  for (std::string name; std::getline(lines, name);) {
    if (!name.empty()) out.insert(name);
  }
  return out;
}

bool Inside(const fs::path& file, const fs::path& folder) {
  const std::string f = fs::weakly_canonical(file).string();
  const std::string d = fs::weakly_canonical(folder).string() + "/";
  return f.compare(0, d.size(), d) == 0;
}

// The ELF files of a bundled folder: the installer, lib/, and the plugins.
std::vector<fs::path> ElvesOf(const fs::path& release) {
  std::vector<fs::path> elves = {release / "install"};
  for (const char* sub : {"lib", "platforms", "xcbglintegrations"}) {
    if (!fs::is_directory(release / sub)) continue;
    for (const auto& e : fs::directory_iterator(release / sub)) elves.push_back(e.path());
  }
  return elves;
}

// Bytes a folder takes on disk (allocated blocks) and its files' sizes.
struct Footprint {
  std::uintmax_t disk = 0, bytes = 0;
};
Footprint FootprintOf(const fs::path& path) {
  Footprint f;
  auto add = [&](const fs::path& p) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) return;
    f.disk += static_cast<std::uintmax_t>(st.st_blocks) * 512;
    if (S_ISREG(st.st_mode)) f.bytes += static_cast<std::uintmax_t>(st.st_size);
  };
  add(path);
  if (fs::is_directory(path)) {
    for (const auto& e : fs::recursive_directory_iterator(path)) add(e.path());
  }
  return f;
}

// The version in the name of the folder's ICU libraries ("72" for libicuuc.so.72).
std::string IcuVersion(const fs::path& release) {
  for (const auto& e : fs::directory_iterator(release / "lib")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("libicuuc.so.", 0) == 0) return name.substr(12);
  }
  return {};
}

double MiB(std::uintmax_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// One folder bundled from the built installer, shared by the tests that only read it.
const fs::path& BundledFolder() {
  static TempFolder tmp;
  static const fs::path release = [] {
    const fs::path folder = tmp.Path() / "release";
    fs::create_directories(folder);
    fs::copy_file(INSTALLER_FILE, folder / "install");
    mkrelease::BundleRuntime(folder);
    return folder;
  }();
  return release;
}

TEST(Bundle, BaseLibraryList) {
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libc.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libstdc++.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libX11.so.6"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libGLX.so.0"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libpulsecommon-16.1.so"));
  EXPECT_TRUE(mkrelease::IsBaseLibrary("libsndfile.so.1"));  // the PulseAudio client needs it
  EXPECT_TRUE(mkrelease::IsBaseLibrary("/lib/x86_64-linux-gnu/libm.so.6"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libQt6Core.so.6"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libSDL2-2.0.so.0"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libSDL2_mixer-2.0.so.0"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libfluidsynth.so.3"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libjpeg.so.62"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libicudata.so.72"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libxcb-icccm.so.4"));  // not libxcb itself
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libxkbcommon-x11.so.0"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libXss.so.1"));
  EXPECT_FALSE(mkrelease::IsBaseLibrary("libdb-5.3.so"));
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
  const auto needs = mkrelease::DirectNeeds(INSTALLER_FILE);
  EXPECT_EQ(std::set<std::string>(needs.begin(), needs.end()), NamedNeeds(INSTALLER_FILE));
}

TEST(Bundle, EveryLibraryResolvesInsideTheFolder) {
  const fs::path& release = BundledFolder();
  EXPECT_TRUE(fs::is_regular_file(release / "platforms" / "libqxcb.so"));
  EXPECT_TRUE(fs::is_regular_file(release / "qt.conf"));
  EXPECT_FALSE(fs::exists(release / "sf2")) << "no sound font without a MIDI tune";
  const std::vector<fs::path> elves = ElvesOf(release);
  ASSERT_GT(elves.size(), 10u);  // Qt alone brings more than that

  // Every library that a bundled file names itself must resolve inside the folder,
  // unless it is part of the base system. (What the system's own base libraries pull
  // in, for example the sound server's client and its codecs, comes with them from
  // the system, so only the direct needs of the folder's files are checked here.)
  ASSERT_TRUE(NamedNeeds(release / "install").count("libQt6Widgets.so.6")) << "patchelf lists the needs";
  std::set<std::string> insideNames, named;
  for (const auto& elf : elves) {
    const std::set<std::string> direct = NamedNeeds(elf);
    named.insert(direct.begin(), direct.end());
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
  // Nothing is carried that no file of the folder names: what only a base library
  // needs (libsndfile's encoders, for one) stays with the system.
  for (const auto& e : fs::directory_iterator(release / "lib")) {
    EXPECT_TRUE(named.count(e.path().filename().string())) << e.path().filename() << " is bundled but not needed";
  }
  // The ones that matter most, named: Qt with its X11 plugin always, and the JPEG
  // decoder and the sound libraries whenever the installer links them.
  for (const char* name : {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libQt6XcbQpa.so.6",
                           "libxkbcommon-x11.so.0", "libxcb-icccm.so.4"}) {
    EXPECT_TRUE(insideNames.count(name)) << name << " is not found inside the release folder";
  }
  std::set<std::string> linked;
  for (const auto& lib : mkrelease::ResolveLibraries(INSTALLER_FILE)) linked.insert(lib.name);
  for (const char* name : {"libjpeg.so.62", "libSDL2-2.0.so.0", "libSDL2_mixer-2.0.so.0", "libfluidsynth.so.3", "libXss.so.1"}) {
    if (linked.count(name)) {
      EXPECT_TRUE(insideNames.count(name)) << name << " is not found inside the release folder";
    }
  }
  std::ifstream conf(release / "qt.conf");
  std::string text((std::istreambuf_iterator<char>(conf)), std::istreambuf_iterator<char>());
  EXPECT_THAT(text, HasSubstr("Plugins = ."));
}

TEST(Bundle, RefusesAFolderWithoutAProgram) {
  TempFolder tmp;
  std::ofstream(tmp.Path() / "install") << "#!/bin/sh\n";
  try {
    mkrelease::BundleRuntime(tmp.Path());
    ADD_FAILURE() << "a script was bundled";
  } catch (const mkrelease::ReleaseError& e) {
    EXPECT_THAT(e.what(), HasSubstr("is not an ELF executable"));
  }
  EXPECT_FALSE(fs::exists(tmp.Path() / "lib"));
}

// Starts the bundled installer where it cannot open a window (no display), so Qt
// loads its platform plugin and gives up at once; the loader's and Qt's own reports
// show where each piece came from.
TEST(Bundle, TheLoaderAndQtTakeThePiecesFromTheFolder) {
  const fs::path& release = BundledFolder();
  const std::string output = Output("cd / && env -u LD_LIBRARY_PATH -u LD_PRELOAD -u DISPLAY -u WAYLAND_DISPLAY "
                                    "QT_QPA_PLATFORM=xcb QT_DEBUG_PLUGINS=1 LD_DEBUG=libs ASAN_OPTIONS=detect_leaks=0 '" +
                                    (release / "install").string() + "' 2>&1");
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

// ICU's data in the folder is cut, and answers every kind of question Qt Core asks
// ICU exactly as the system's whole data set does.
TEST(Bundle, CutIcuDataAnswersAsTheWholeSet) {
  const fs::path& release = BundledFolder();
  const std::string version = IcuVersion(release);
  ASSERT_FALSE(version.empty()) << "no ICU in the folder";
  const std::string data = "libicudata.so." + version;
  std::optional<fs::path> fromUc, systemData;
  for (const auto& lib : mkrelease::ResolveLibraries(release / "lib" / ("libicuuc.so." + version))) {
    if (lib.name == data) fromUc = lib.path;
  }
  for (const auto& lib : mkrelease::ResolveLibraries(INSTALLER_FILE)) {
    if (lib.name == data && lib.path) systemData = fs::canonical(*lib.path);
  }
  ASSERT_TRUE(fromUc && systemData) << "ICU's data library does not resolve";
  EXPECT_TRUE(Inside(*fromUc, release)) << "the bundled ICU takes its data from " << *fromUc;
  const auto cut = fs::file_size(release / "lib" / data);
  const auto whole = fs::file_size(*systemData);
  std::printf("ICU data: %.1f MiB whole, %.1f MiB cut\n", MiB(whole), MiB(cut));
  EXPECT_LT(cut, whole);

  const std::string probe = std::string("'") + ICU_PROBE_FILE + "' " + version;
  const std::string fromSystem = Output(probe);
  const std::string fromFolder = Output(probe + " '" + (release / "lib").string() + "'");
  const auto firstLine = [](const std::string& s) { return s.substr(0, s.find('\n')); };
  const auto rest = [](const std::string& s) { return s.substr(std::min(s.size(), s.find('\n') + 1)); };
  const auto dataFile = [&](const std::string& s) {
    const std::string line = firstLine(s);
    return line.rfind("data: ", 0) == 0 ? fs::weakly_canonical(line.substr(6)) : fs::path();
  };
  EXPECT_EQ(dataFile(fromSystem), *systemData);
  EXPECT_EQ(dataFile(fromFolder), fs::weakly_canonical(release / "lib" / data));
  EXPECT_THAT(fromSystem, ::testing::Not(HasSubstr("FAILED")));
  EXPECT_GT(std::count(fromSystem.begin(), fromSystem.end(), '\n'), 40);
  EXPECT_EQ(rest(fromFolder), rest(fromSystem));
}

// ---------------------------------------------------------------------------
// The bundled demo release, made once by mkrelease's whole build.

class BundledDemo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tmp_ = new TempFolder;
    release_ = tmp_->Path() / "harbour";
    try {
      mkrelease::BuildOptions options;
      options.bundle = true;
      summary_ = mkrelease::BuildRelease(mkrelease::ReadDescription(DEMO_DESCRIPTION_FILE), release_, options);
    } catch (const mkrelease::ReleaseError& e) {
      problem_ = e.what();
    }
  }
  static void TearDownTestSuite() {
    delete tmp_;
    tmp_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(problem_.empty()) << problem_; }

  static TempFolder* tmp_;
  static fs::path release_;
  static mkrelease::ReleaseSummary summary_;
  static std::string problem_;
};
TempFolder* BundledDemo::tmp_ = nullptr;
fs::path BundledDemo::release_;
mkrelease::ReleaseSummary BundledDemo::summary_;
std::string BundledDemo::problem_;

TEST_F(BundledDemo, CarriesItsLibrariesTheSoundFontAndAStrippedInstaller) {
  for (const auto& name : summary_.bundled) EXPECT_TRUE(fs::exists(release_ / name)) << name;
  EXPECT_NE(std::find(summary_.bundled.begin(), summary_.bundled.end(), "lib/libQt6Core.so.6"), summary_.bundled.end());
  EXPECT_TRUE(fs::is_regular_file(release_ / "install.ini"));
  EXPECT_TRUE(fs::is_regular_file(release_ / "harbour.ace"));
  const std::set<std::string> direct = NamedNeeds(release_ / "install");
  for (const auto& lib : mkrelease::ResolveLibraries(release_ / "install")) {
    ASSERT_TRUE(lib.path) << lib.name;
    if (direct.count(lib.name) && !mkrelease::IsBaseLibrary(lib.name)) {
      EXPECT_TRUE(Inside(*lib.path, release_)) << lib.name;
    }
  }
  for (const auto& e : fs::directory_iterator(release_.parent_path())) {
    EXPECT_EQ(e.path().filename().string().find(".mkrelease-"), std::string::npos) << e.path();
  }
  // The tune is MIDI: the small General MIDI font comes along, with its licence.
  EXPECT_EQ(ReadFile(release_ / mkrelease::kBundledSoundFont), ReadFile(mkrelease::kSystemSoundFont));
  EXPECT_THAT(ReadFile(release_ / "sf2" / "TimGM6mb.copyright"), HasSubstr("GPL-2"));
  // The bundled libraries' licences, as their Debian packages state them.
  for (const auto& [package, licence] : {std::pair{"libqt6core6", "LGPL-3"}, std::pair{"libsdl2-mixer-2.0-0", "zlib"},
                                         std::pair{"libfluidsynth3", "LGPL-2.1"}, std::pair{"libjpeg62-turbo", "BSD"}}) {
    const fs::path copyright = release_ / "licences" / (std::string(package) + ".copyright");
    ASSERT_TRUE(fs::is_regular_file(copyright)) << package;
    EXPECT_THAT(ReadFile(copyright), HasSubstr(licence)) << package;
  }
  // The installer is the built one less its debug information.
  EXPECT_THAT(Output("objdump -h '" + std::string(INSTALLER_FILE) + "'"), HasSubstr(".debug_info"));
  const std::string sections = Output("objdump -h '" + (release_ / "install").string() + "'");
  EXPECT_THAT(sections, HasSubstr(".text"));
  EXPECT_THAT(sections, ::testing::Not(HasSubstr(".debug_")));

  const Footprint all = FootprintOf(release_), lib = FootprintOf(release_ / "lib"), font = FootprintOf(release_ / "sf2");
  std::uintmax_t volumes = 0;
  for (const auto& v : summary_.volumes) volumes += fs::file_size(release_ / v);
  std::printf("bundled demo release: %.1f MiB on disk (%.1f MiB of files; target: at most 80)\n", MiB(all.disk), MiB(all.bytes));
  std::printf("  installer %.2f MiB (built: %.2f MiB), lib/ %.1f MiB, sound font %.1f MiB, %zu volumes %.1f MiB\n",
              MiB(fs::file_size(release_ / "install")), MiB(fs::file_size(INSTALLER_FILE)), MiB(lib.bytes),
              MiB(font.bytes), summary_.volumes.size(), MiB(volumes));
}

// Starts `program` in a private mount namespace in which each of `files` is covered
// by an empty file and each of `folders` by an empty folder, with `env` as its whole
// environment and its output going to `log`. Returns the child, or -1 with `why`
// set ("unshare: ..." when the machine allows no private mount namespace).
pid_t StartHidden(const fs::path& program, const std::vector<std::string>& env, const std::vector<std::string>& files,
                  const std::vector<std::string>& folders, const fs::path& scratch, const fs::path& log,
                  std::string& why) {
  const std::string emptyFile = (scratch / "empty-file").string(), emptyFolder = (scratch / "empty-folder").string();
  std::ofstream(emptyFile).close();
  fs::create_directories(emptyFolder);
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), nullptr};
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    why = "no pipe";
    return -1;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only system calls from here on: write what failed to the pipe and leave.
    auto fail = [&](const char* step, const std::string& what) {
      const std::string text = std::string(step) + " " + what + ": " + std::strerror(errno);
      (void)!::write(report[1], text.data(), text.size());
      ::_exit(126);
    };
    if (::unshare(CLONE_NEWNS) != 0) fail("unshare", "-m");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) fail("mount", "--make-rprivate /");
    for (const std::string& f : files) {
      if (::mount(emptyFile.c_str(), f.c_str(), nullptr, MS_BIND, nullptr) != 0) fail("mount --bind over", f);
    }
    for (const std::string& f : folders) {
      if (::mount(emptyFolder.c_str(), f.c_str(), nullptr, MS_BIND, nullptr) != 0) fail("mount --bind over", f);
    }
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) fail("open", log.string());
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execve(argv[0], argv.data(), envp.data());
    fail("execve", program.string());
  }
  ::close(report[1]);
  char buffer[512];
  const ssize_t n = pid > 0 ? ::read(report[0], buffer, sizeof buffer) : 0;
  ::close(report[0]);
  if (pid < 0 || n > 0) {
    why = pid < 0 ? "fork failed" : std::string(buffer, static_cast<std::size_t>(n));
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

// A 32-bit property of a window; nothing when it is not set.
std::vector<std::uint32_t> Property(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type) {
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::strlen(name), name), nullptr);
  const xcb_atom_t property = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);
  std::vector<std::uint32_t> values;
  if (property == XCB_ATOM_NONE) return values;
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr);
  if (reply != nullptr && reply->format == 32) {
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    values.assign(v, v + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return values;
}

// The top-level windows the window manager holds for process `pid`.
std::vector<xcb_window_t> WindowsOf(xcb_connection_t* c, pid_t pid) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  std::vector<xcb_window_t> mine;
  for (const std::uint32_t w : Property(c, root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW)) {
    const auto owner = Property(c, w, "_NET_WM_PID", XCB_ATOM_CARDINAL);
    if (!owner.empty() && owner[0] == static_cast<std::uint32_t>(pid)) mine.push_back(w);
  }
  return mine;
}

// How many different colours the window shows now, and its size.
std::size_t ColoursOf(xcb_connection_t* c, xcb_window_t window, std::string& size) {
  xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
  if (g == nullptr) return 0;
  size = std::to_string(g->width) + "x" + std::to_string(g->height);
  xcb_get_image_reply_t* image = xcb_get_image_reply(
      c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, g->width, g->height, ~0u), nullptr);
  std::free(g);
  std::set<std::uint32_t> colours;
  if (image != nullptr && image->depth >= 24) {
    const auto* p = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
    const int n = xcb_get_image_data_length(image) / 4;
    for (int i = 0; i < n; ++i) colours.insert(p[i] & 0xFFFFFF);
  }
  std::free(image);
  return colours.size();
}

// 16-bit samples of the disk audio driver's file: how many, and how many are not silent.
std::pair<std::size_t, std::size_t> Samples(const fs::path& file) {
  if (!fs::exists(file)) return {0, 0};  // no sound yet
  const std::string bytes = ReadFile(file);
  std::size_t loud = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto s = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[i]) | (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    loud += s > 64 || s < -64;
  }
  return {bytes.size() / 2, loud};
}

std::string StatusLine(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) {
      line.erase(0, key.size() + 1);
      line.erase(0, line.find_first_not_of(" \t"));
      return line;
    }
  }
  return "?";
}

TEST_F(BundledDemo, ComesUpAndPlaysItsTuneWithTheSystemsLibrariesAndFontsHidden) {
  // What is hidden: the system's copy of every library the bundle carries, every
  // file of Qt, SDL, FluidSynth, libjpeg and ICU beside them, Qt's plugins and the
  // General MIDI sound fonts.
  std::set<std::string> files;
  std::optional<fs::path> systemLibFolder;
  for (const fs::path& elf : {fs::path(INSTALLER_FILE), mkrelease::QtPluginFolder() / "platforms" / "libqxcb.so"}) {
    for (const auto& lib : mkrelease::ResolveLibraries(elf)) {
      if (!lib.path || !fs::exists(release_ / "lib" / lib.name)) continue;
      files.insert(fs::canonical(*lib.path).string());
      if (lib.name == "libQt6Core.so.6") systemLibFolder = fs::canonical(*lib.path).parent_path();
    }
  }
  ASSERT_TRUE(systemLibFolder) << "the built installer does not take Qt from the system";
  for (const auto& e : fs::directory_iterator(*systemLibFolder)) {
    const std::string name = e.path().filename().string();
    for (const char* family : {"libQt6", "libSDL2", "libfluidsynth", "libjpeg", "libicu"}) {
      if (name.rfind(family, 0) == 0 && e.is_regular_file() && !e.is_symlink()) files.insert(e.path().string());
    }
  }
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/share/sounds/sf2", ec)) {
    if (e.is_regular_file() && !e.is_symlink()) files.insert(e.path().string());
  }
  for (const std::string& must : std::vector<std::string>{"libQt6Core.so.6", "libSDL2-2.0.so.0", "libfluidsynth.so.3", "libjpeg.so.62",
                                  "libicudata.so." + IcuVersion(release_), "TimGM6mb.sf2"}) {
    EXPECT_TRUE(std::any_of(files.begin(), files.end(),
                            [&](const std::string& f) { return fs::path(f).filename().string().rfind(must, 0) == 0; }))
        << must << " is not among the hidden files";
  }
  const std::vector<std::string> hiddenFiles(files.begin(), files.end());
  const std::vector<std::string> hiddenFolders = {mkrelease::QtPluginFolder().string()};

  test_support::XSession session;
  if (!session.Start()) GTEST_SKIP() << "no X display for the installer: " << session.Problem();

  TempFolder work;
  const fs::path audio = work.Path() / "audio.raw", log = work.Path() / "install.log";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    bool dropped = false;
    for (const char* d : {"LD_LIBRARY_PATH=", "LD_PRELOAD=", "QT_", "SDL_", "DISPLAY=", "WAYLAND_DISPLAY=", "ASAN_OPTIONS="}) {
      dropped = dropped || var.rfind(d, 0) == 0;
    }
    if (!dropped) env.push_back(var);
  }
  env.insert(env.end(), {"DISPLAY=" + session.Display(), "QT_QPA_PLATFORM=xcb", "SDL_AUDIODRIVER=disk",
                         "SDL_DISKAUDIOFILE=" + audio.string(), "ASAN_OPTIONS=detect_leaks=0"});
  std::string why;
  const pid_t pid = StartHidden(release_ / "install", env, hiddenFiles, hiddenFolders, work.Path(), log, why);
  if (pid < 0 && why.rfind("unshare", 0) == 0) {
    GTEST_SKIP() << "this machine allows no private mount namespace (" << why
                 << "); it needs root, as CI runs it";
  }
  ASSERT_GT(pid, 0) << why;

  xcb_connection_t* c = xcb_connect(session.Display().c_str(), nullptr);
  std::vector<xcb_window_t> windows;
  std::size_t colours = 0;
  std::string size;
  std::pair<std::size_t, std::size_t> samples{0, 0};
  bool alive = true;
  int status = 0;
  // Up to a minute for the window and two seconds of the tune (a sanitizer build is slow).
  for (int i = 0; i < 1200 && alive; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      alive = false;
      break;
    }
    windows = WindowsOf(c, pid);
    if (windows.size() == 1) colours = ColoursOf(c, windows[0], size);
    samples = Samples(audio);
    if (colours >= 16 && samples.first >= 4 * 44100 && samples.second > 4410) break;
    ::usleep(50000);
  }
  const std::string hwm = StatusLine(pid, "VmHWM"), rss = StatusLine(pid, "VmRSS");
  if (alive) {
    ::kill(pid, SIGTERM);
    bool ended = false;
    for (int i = 0; i < 200 && !(ended = ::waitpid(pid, &status, WNOHANG) == pid); ++i) ::usleep(50000);
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
  }
  xcb_disconnect(c);
  const std::string output = ReadFile(log);

  ASSERT_TRUE(alive) << "the bundled installer ended by itself (status " << status << "):\n" << output;
  ASSERT_EQ(windows.size(), 1u) << "the installer should show its main window, and only it (no message box):\n" << output;
  EXPECT_GE(colours, 16u) << "the main window (" << size << ") shows no artwork:\n" << output;
  EXPECT_GE(samples.first, 4u * 44100u) << "SDL's disk driver got less than two seconds of sound:\n" << output;
  EXPECT_GT(samples.second, 4410u) << "the tune is silent: the bundled sound font was not used:\n" << output;
  EXPECT_THAT(output, ::testing::Not(HasSubstr("rror"))) << output;
  std::printf("bundled installer, system libraries and fonts hidden: window %s with %zu colours; "
              "%.1f s of sound, %.0f%% of the samples not silent\n",
              size.c_str(), colours, static_cast<double>(samples.first) / (2 * 44100.0),
              100.0 * static_cast<double>(samples.second) / static_cast<double>(std::max<std::size_t>(1, samples.first)));
  std::printf("resident memory with the MIDI tune playing: VmHWM %s, VmRSS %s (target: at most 70 MB)\n", hwm.c_str(),
              rss.c_str());
}

}  // namespace

#include "bundle.h"

#include "description.h"

#include <QLibraryInfo>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace mkrelease {
namespace {

struct ProgramResult {
  int status = -1;       // exit code, or -1 when it did not exit normally
  std::string output;    // standard output and standard error together
};

// Runs a program found on PATH with the current environment minus the loader's
// own variables, and collects what it prints.
ProgramResult RunProgram(const std::vector<std::string>& argv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string_view v(*e);
    if (v.starts_with("LD_LIBRARY_PATH=") || v.starts_with("LD_PRELOAD=")) continue;
    env.emplace_back(v);
  }
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);

  int fds[2];
  if (pipe(fds) != 0) throw ReleaseError(std::string("cannot make a pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  ProgramResult result;
  if (rc != 0) {
    close(fds[0]);
    result.status = -2;
    result.output = std::strerror(rc);
    return result;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.output.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

void SetRunPath(const fs::path& file, const std::string& runPath) {
  const ProgramResult r = RunProgram({"patchelf", "--set-rpath", runPath, file.string()});
  if (r.status == -2) {
    throw ReleaseError("patchelf cannot be run (" + r.output + "); install the Debian package patchelf");
  }
  if (r.status != 0) throw ReleaseError("patchelf failed on " + file.string() + ": " + r.output);
}

}  // namespace

std::vector<ResolvedLibrary> ResolveLibraries(const fs::path& file) {
  const ProgramResult r = RunProgram({"ldd", file.string()});
  if (r.status == -2) throw ReleaseError("ldd cannot be run (" + r.output + "); install the Debian package libc-bin");
  if (r.status != 0) throw ReleaseError("ldd refuses " + file.string() + ": " + std::string(TrimView(r.output)));
  std::vector<ResolvedLibrary> libraries;
  std::size_t pos = 0;
  while (pos < r.output.size()) {
    std::size_t end = r.output.find('\n', pos);
    if (end == std::string::npos) end = r.output.size();
    const std::string_view line = TrimView(std::string_view(r.output).substr(pos, end - pos));
    pos = end + 1;
    const std::size_t arrow = line.find(" => ");
    if (arrow == std::string_view::npos) continue;  // the vDSO and the loader itself
    ResolvedLibrary lib;
    lib.name = std::string(TrimView(line.substr(0, arrow)));
    std::string_view target = TrimView(line.substr(arrow + 4));
    if (!target.starts_with("not found")) {
      const std::size_t paren = target.rfind(" (");
      if (paren != std::string_view::npos) target = target.substr(0, paren);
      if (!target.empty()) lib.path = fs::path(std::string(target));
    }
    libraries.push_back(std::move(lib));
  }
  return libraries;
}

std::vector<std::string> DirectNeeds(const fs::path& file) {
  const ProgramResult r = RunProgram({"patchelf", "--print-needed", file.string()});
  if (r.status == -2) {
    throw ReleaseError("patchelf cannot be run (" + r.output + "); install the Debian package patchelf");
  }
  if (r.status != 0) throw ReleaseError("patchelf cannot read " + file.string() + ": " + std::string(TrimView(r.output)));
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (pos < r.output.size()) {
    std::size_t end = r.output.find('\n', pos);
    if (end == std::string::npos) end = r.output.size();
    const std::string_view line = TrimView(std::string_view(r.output).substr(pos, end - pos));
    if (!line.empty()) names.emplace_back(line);
    pos = end + 1;
  }
  return names;
}

bool IsBaseLibrary(const std::string& soname) {
  // Library names up to their ".so": the base system of a desktop.
  static const std::set<std::string, std::less<>> base = {
      // C and C++ runtimes
      "libc", "libm", "libdl", "libpthread", "librt", "libresolv", "libutil", "libanl", "libnsl",
      "ld-linux-x86-64", "ld-linux", "ld-linux-aarch64", "libstdc++", "libgcc_s", "libatomic",
      // X11 core client libraries (the X screen saver extension, which SDL links and
      // which desktops often lack, is not among them)
      "libX11", "libX11-xcb", "libxcb", "libXau", "libXdmcp", "libXext", "libXrender", "libXfixes", "libXi",
      "libXrandr", "libXcursor", "libXinerama", "libXxf86vm", "libSM", "libICE",
      // GL drivers and display: they must be the machine's own
      "libGL", "libGLX", "libGLdispatch", "libEGL", "libOpenGL", "libGLESv2", "libgbm", "libdrm",
      "libwayland-client", "libwayland-cursor", "libwayland-egl", "libwayland-server",
      // sound servers; the PulseAudio client library needs libsndfile everywhere
      "libasound", "libpulse", "libpulse-simple", "libasyncns", "libsndfile",
      // system services, fonts, compression, GLib
      "libdbus-1", "libsystemd", "libudev", "libcap", "libgcrypt", "libgpg-error", "liblzma", "libzstd", "liblz4",
      "libbz2", "libz", "libselinux", "libmount", "libblkid", "libuuid", "libffi", "libpcre2-8", "libbsd", "libmd",
      "libexpat", "libfontconfig", "libfreetype", "libpng16", "libbrotlidec", "libbrotlicommon", "libglib-2.0",
      "libgobject-2.0", "libgmodule-2.0", "libgio-2.0", "libgthread-2.0", "libtinfo", "libreadline",
  };
  std::string_view name = soname;
  if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string_view stem = name.substr(0, name.find(".so"));
  if (base.count(stem)) return true;
  // libpulsecommon-16.1.so and the like carry their version in the name.
  return stem.starts_with("libpulsecommon-");
}

bool IsElf(const fs::path& file) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  char magic[4] = {};
  const bool elf = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
  std::fclose(f);
  return elf;
}

bool IsMidiFile(const fs::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".mid" || ext == ".midi" || ext == ".kar" || ext == ".rmi") return true;
  std::ifstream in(file, std::ios::binary);
  char head[12] = {};
  in.read(head, sizeof head);
  const std::streamsize n = in.gcount();
  return (n >= 4 && std::memcmp(head, "MThd", 4) == 0) ||
         (n >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "RMID", 4) == 0);
}

fs::path QtPluginFolder() {
  return fs::path(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString());
}

void CopyWithoutDebugInfo(const fs::path& from, const fs::path& to) {
  if (!IsElf(from)) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) throw ReleaseError("cannot copy " + from.string() + ": " + ec.message());
    return;
  }
  const ProgramResult r = RunProgram({"objcopy", "--strip-debug", from.string(), to.string()});
  if (r.status == -2) {
    throw ReleaseError("objcopy cannot be run (" + r.output + "); install the Debian package binutils");
  }
  if (r.status != 0) {
    throw ReleaseError("objcopy cannot strip the debug information of " + from.string() + ": " +
                       std::string(TrimView(r.output)));
  }
}

namespace {

std::string Megabytes(std::uintmax_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

// A folder under the system's temporary folder, removed with everything in it.
class WorkFolder {
 public:
  WorkFolder() {
    std::string pattern = (fs::temp_directory_path() / "mkrelease-icu-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw ReleaseError(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    path_ = pattern;
  }
  ~WorkFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Items of ICU's data that no ICU service Qt Core calls ever reads.
bool IcuItemUnused(const std::string& item) {
  static const char* const trees[] = {"brkitr/", "translit/", "rbnf/", "unit/", "curr/", "lang/", "region/"};
  for (const char* tree : trees) {
    if (item.starts_with(tree)) return true;
  }
  return item == "unames.icu";
}

// The bfd name objcopy gives the start of a binary input file's bytes.
std::string BinaryStartSymbol(const std::string& path) {
  std::string symbol = "_binary_";
  for (const char c : path) symbol += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return symbol + "_start";
}

// Cuts the bundled ICU data library `library` (libicudata.so.N) down to the items
// Qt can use. Returns why it was left whole, or nothing when it was cut.
std::optional<std::string> TrimIcuData(const fs::path& library, const std::string& version) {
  WorkFolder work;
  // The library holds one read-only section, the data package.
  const fs::path whole = work.path() / "whole.dat";
  ProgramResult r = RunProgram({"objcopy", "-O", "binary", "--only-section=.rodata", library.string(), whole.string()});
  if (r.status == -2) return "objcopy cannot be run; install the Debian package binutils";
  if (r.status != 0) return "objcopy cannot read it: " + std::string(TrimView(r.output));
  std::ifstream in(whole, std::ios::binary);
  unsigned char header[16] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  in.close();
  // MappedData (header size, 0xda 0x27), then UDataInfo: endianness, charset family,
  // and the format "CmnD" of a common data package.
  if (header[2] != 0xda || header[3] != 0x27 || std::memcmp(header + 12, "CmnD", 4) != 0) {
    return "its read-only data is not an ICU data package";
  }
  const char type = header[9] != 0 ? 'e' : header[8] != 0 ? 'b' : 'l';
  const std::string package = "icudt" + version + type;
  fs::create_directories(work.path() / "in");
  fs::create_directories(work.path() / "out");
  const fs::path input = work.path() / "in" / (package + ".dat");
  const fs::path output = work.path() / "out" / (package + ".dat");
  fs::rename(whole, input);

  r = RunProgram({"icupkg", "-l", input.string()});
  if (r.status == -2) return "icupkg cannot be run; install the Debian package icu-devtools";
  if (r.status != 0) return "icupkg cannot list it: " + std::string(TrimView(r.output));
  std::string removeList;
  std::size_t items = 0, removed = 0;
  for (std::size_t pos = 0; pos < r.output.size();) {
    std::size_t end = r.output.find('\n', pos);
    if (end == std::string::npos) end = r.output.size();
    const std::string item(TrimView(std::string_view(r.output).substr(pos, end - pos)));
    pos = end + 1;
    if (item.empty()) continue;
    ++items;
    if (IcuItemUnused(item)) {
      removeList += item + "\n";
      ++removed;
    }
  }
  if (items < 100 || removed == 0) return "icupkg lists " + std::to_string(items) + " items, not a whole ICU data set";
  const fs::path listFile = work.path() / "remove.txt";  // icupkg takes a list from a .txt file
  {
    std::ofstream list(listFile, std::ios::binary);
    list << removeList;
    if (!list) return "cannot write the list of removed items";
  }
  r = RunProgram({"icupkg", "-r", listFile.string(), input.string(), output.string()});
  if (r.status != 0) return "icupkg cannot remove the unused items: " + std::string(TrimView(r.output));

  // Back into a library exporting icudtN_dat, for the machine the original was for.
  r = RunProgram({"objdump", "-f", library.string()});
  if (r.status != 0) return "objdump cannot read it: " + std::string(TrimView(r.output));
  std::string format, architecture;
  if (const std::size_t at = r.output.find("file format "); at != std::string::npos) {
    format = r.output.substr(at + 12, r.output.find_first_of(" \n", at + 12) - at - 12);
  }
  if (const std::size_t at = r.output.find("architecture: "); at != std::string::npos) {
    architecture = r.output.substr(at + 14, r.output.find_first_of(", \n", at + 14) - at - 14);
  }
  if (format.empty() || architecture.empty()) return "objdump does not tell its format";
  const fs::path object = work.path() / "data.o";
  const std::string start = BinaryStartSymbol(output.string());
  const std::string stem = start.substr(0, start.size() - 6);
  r = RunProgram({"objcopy", "-I", "binary", "-O", format, "-B", architecture,
                  "--rename-section", ".data=.rodata,alloc,load,readonly,data,contents",
                  "--set-section-alignment", ".rodata=16", "--redefine-sym", start + "=icudt" + version + "_dat",
                  "--strip-symbol", stem + "_end", "--strip-symbol", stem + "_size", output.string(), object.string()});
  if (r.status != 0) return "objcopy cannot wrap the cut data: " + std::string(TrimView(r.output));
  const fs::path rebuilt = work.path() / library.filename();
  r = RunProgram({"ld", "-shared", "-soname", library.filename().string(), "-z", "noexecstack", "-o", rebuilt.string(),
                  object.string()});
  if (r.status == -2) return "ld cannot be run; install the Debian package binutils";
  if (r.status != 0) return "ld cannot link the cut data: " + std::string(TrimView(r.output));
  fs::copy_file(rebuilt, library, fs::copy_options::overwrite_existing);
  fs::permissions(library, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  return std::nullopt;
}

// The Debian packages that installed `files`, by name without architecture, as
// dpkg-query tells; `unowned` gets the files no package installed. Nullopt when
// dpkg-query cannot be run (not a Debian-based system).
std::optional<std::set<std::string>> OwningPackages(const std::vector<fs::path>& files,
                                                    std::vector<std::string>& unowned) {
  std::vector<std::string> argv = {"dpkg-query", "--search"};
  for (const auto& f : files) argv.push_back(f.string());
  const ProgramResult r = RunProgram(argv);
  if (r.status == -2) return std::nullopt;
  std::set<std::string> packages;
  std::istringstream lines(r.output);
  const std::string notFound = "no path found matching pattern ";
  for (std::string line; std::getline(lines, line);) {
    if (const std::size_t at = line.find(notFound); at != std::string::npos) {
      unowned.push_back(line.substr(at + notFound.size()));
      continue;
    }
    // "pkg:arch[, pkg2:arch]: /path"; diversion notes and other remarks are skipped.
    const std::size_t colon = line.find(": /");
    if (colon == std::string::npos || line.starts_with("dpkg-query:") || line.starts_with("diversion ")) continue;
    std::istringstream names(line.substr(0, colon));
    for (std::string name; std::getline(names, name, ',');) {
      name = std::string(TrimView(name));
      name = name.substr(0, name.find(':'));
      if (!name.empty()) packages.insert(name);
    }
  }
  return packages;
}

void Say(const BundleOptions& options, const std::string& line) {
  if (options.log) *options.log << line << '\n';
}

// Copies into releaseFolder/licences the copyright file of every Debian package
// that one of `bundled` (system files) comes from; what it cannot find is logged.
void CopyLicences(const std::vector<fs::path>& bundled, const fs::path& releaseFolder, const BundleOptions& options,
                  std::vector<std::string>& added) {
  std::vector<std::string> unowned;
  const auto packages = OwningPackages(bundled, unowned);
  if (!packages) {
    Say(options, "the bundled libraries' licences are not copied: dpkg-query cannot be run; add them by hand");
    return;
  }
  const fs::path licences = releaseFolder / "licences";
  fs::create_directories(licences);
  std::string missing;
  std::error_code ec;
  for (const std::string& package : *packages) {
    const fs::path copyright = fs::path("/usr/share/doc") / package / "copyright";
    if (!fs::is_regular_file(copyright, ec)) {
      missing += " " + package;
      continue;
    }
    const fs::path target = licences / (package + ".copyright");
    fs::copy_file(copyright, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    added.push_back("licences/" + target.filename().string());
  }
  if (!missing.empty()) Say(options, "no copyright file in /usr/share/doc for:" + missing + "; add their licences by hand");
  for (const std::string& file : unowned) Say(options, file + " comes from no Debian package; add its licence by hand");
}

}  // namespace

std::vector<std::string> BundleRuntime(const fs::path& releaseFolder, const BundleOptions& options) {
  const fs::path installer = releaseFolder / "install";
  if (!IsElf(installer)) throw ReleaseError("the installer " + installer.string() + " is not an ELF executable; it cannot be bundled");
  std::vector<std::string> added;
  std::error_code ec;

  // The sound font first: its absence stops the bundle before anything is copied.
  if (options.soundFont && !fs::is_regular_file(kSystemSoundFont, ec)) {
    throw ReleaseError(std::string("the tune is MIDI, and the sound font ") + kSystemSoundFont +
                       " that the release carries for it is missing; install the Debian package timgm6mb-soundfont");
  }

  // The X11 platform plugin and its GL integrations, from the Qt we are built with.
  const fs::path plugins = QtPluginFolder();
  const fs::path xcb = plugins / "platforms" / "libqxcb.so";
  if (!fs::is_regular_file(xcb, ec)) {
    throw ReleaseError("Qt's X11 platform plugin " + xcb.string() + " is missing; install the Debian package qt6-qpa-plugins");
  }
  std::vector<std::pair<fs::path, std::string>> elves = {{installer, "$ORIGIN/lib"}};
  std::vector<fs::path> copiedFrom = {fs::canonical(xcb)};  // the system files bundled, for their licences
  fs::create_directories(releaseFolder / "platforms");
  fs::copy_file(xcb, releaseFolder / "platforms" / "libqxcb.so", fs::copy_options::overwrite_existing);
  elves.push_back({releaseFolder / "platforms" / "libqxcb.so", "$ORIGIN/../lib"});
  added.push_back("platforms/libqxcb.so");
  const fs::path glFolder = plugins / "xcbglintegrations";
  if (fs::is_directory(glFolder, ec)) {
    fs::create_directories(releaseFolder / "xcbglintegrations");
    std::vector<fs::path> integrations;
    for (const auto& e : fs::directory_iterator(glFolder)) {
      if (e.is_regular_file() && e.path().extension() == ".so") integrations.push_back(e.path());
    }
    std::sort(integrations.begin(), integrations.end());
    for (const auto& p : integrations) {
      const fs::path target = releaseFolder / "xcbglintegrations" / p.filename();
      fs::copy_file(p, target, fs::copy_options::overwrite_existing);
      copiedFrom.push_back(fs::canonical(p));
      elves.push_back({target, "$ORIGIN/../lib"});
      added.push_back("xcbglintegrations/" + p.filename().string());
    }
  }

  // Where the loader finds each library of the whole closure, as ldd tells.
  std::map<std::string, std::optional<fs::path>> resolved;
  for (const auto& [file, runPath] : elves) {
    for (const auto& lib : ResolveLibraries(file)) {
      auto& path = resolved[lib.name];
      if (!path) path = lib.path;
    }
  }
  // The walk: from the installer and the plugins through the libraries they name,
  // stopping at base libraries, which come from the system with their own needs.
  std::map<std::string, fs::path> wanted;  // soname -> file it resolved to
  std::set<std::string> fromSystem;
  std::vector<fs::path> pending;
  for (const auto& [file, runPath] : elves) pending.push_back(file);
  while (!pending.empty()) {
    const fs::path file = pending.back();
    pending.pop_back();
    for (const std::string& name : DirectNeeds(file)) {
      if (IsBaseLibrary(name)) {
        fromSystem.insert(name);
        continue;
      }
      if (wanted.count(name)) continue;
      const auto it = resolved.find(name);
      if (it == resolved.end() || !it->second) {
        throw ReleaseError(file.filename().string() + " needs " + name +
                           ", which this machine does not have; install the package that provides it");
      }
      wanted.emplace(name, *it->second);
      pending.push_back(*it->second);
    }
  }
  const fs::path libFolder = releaseFolder / "lib";
  fs::create_directories(libFolder);
  for (const auto& [name, path] : wanted) {
    const fs::path target = libFolder / name;
    // The loader finds a library by the name ldd shows; copy the file behind it.
    copiedFrom.push_back(fs::canonical(path));
    fs::copy_file(copiedFrom.back(), target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    elves.push_back({target, "$ORIGIN"});
    added.push_back("lib/" + name);
  }
  for (const auto& [file, runPath] : elves) SetRunPath(file, runPath);
  std::string system;
  for (const auto& name : fromSystem) system += (system.empty() ? "" : " ") + name;
  Say(options, "the bundle takes from the system: " + system);

  // ICU's data, cut to what Qt uses.
  for (const auto& [name, path] : wanted) {
    const std::string prefix = "libicudata.so.";
    if (!options.trimIcuData || !name.starts_with(prefix)) continue;
    const std::string version = name.substr(prefix.size(), name.find('.', prefix.size()) - prefix.size());
    const fs::path library = libFolder / name;
    const std::uintmax_t before = fs::file_size(library, ec);
    if (const auto whole = TrimIcuData(library, version)) {
      Say(options, "ICU's data stays whole (" + Megabytes(before) + "): " + *whole);
    } else {
      Say(options, "ICU's data cut from " + Megabytes(before) + " to " + Megabytes(fs::file_size(library, ec)));
    }
  }

  // The licences of everything bundled.
  CopyLicences(copiedFrom, releaseFolder, options, added);

  // Qt looks for qt.conf beside the executable; its paths are taken relative to it.
  const std::string conf = "[Paths]\nPrefix = .\nPlugins = .\nLibraries = lib\n";
  {
    std::ofstream out(releaseFolder / "qt.conf", std::ios::binary | std::ios::trunc);
    out << conf;
    out.close();
    if (!out) throw ReleaseError("cannot write " + (releaseFolder / "qt.conf").string());
  }
  added.push_back("qt.conf");

  // The sound font for a MIDI tune, where the installer looks before the system's.
  if (options.soundFont) {
    const fs::path font = releaseFolder / kBundledSoundFont;
    fs::create_directories(font.parent_path());
    fs::copy_file(kSystemSoundFont, font, fs::copy_options::overwrite_existing);
    fs::permissions(font, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    added.push_back(kBundledSoundFont);
    if (fs::is_regular_file(kSystemSoundFontCopyright, ec)) {
      const fs::path copyright = font.parent_path() / (font.stem().string() + ".copyright");
      fs::copy_file(kSystemSoundFontCopyright, copyright, fs::copy_options::overwrite_existing);
      added.push_back((fs::path(kBundledSoundFont).parent_path() / copyright.filename()).string());
    } else {
      Say(options, std::string("the sound font's licence ") + kSystemSoundFontCopyright + " is missing; add it by hand");
    }
  }
  return added;
}

}  // namespace mkrelease

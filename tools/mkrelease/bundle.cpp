#include "bundle.h"

#include "description.h"

#include <QLibraryInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
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

bool IsBaseLibrary(const std::string& soname) {
  // Library names up to their ".so": the base system of a Debian desktop.
  static const std::set<std::string, std::less<>> base = {
      // C and C++ runtimes
      "libc", "libm", "libdl", "libpthread", "librt", "libresolv", "libutil", "libanl", "libnsl",
      "ld-linux-x86-64", "ld-linux", "ld-linux-aarch64", "libstdc++", "libgcc_s", "libatomic",
      // X11 core client libraries
      "libX11", "libX11-xcb", "libxcb", "libXau", "libXdmcp", "libXext", "libXrender", "libXfixes", "libXi",
      "libXrandr", "libXcursor", "libXss", "libXinerama", "libXxf86vm", "libSM", "libICE",
      // GL drivers and display: they must be the machine's own
      "libGL", "libGLX", "libGLdispatch", "libEGL", "libOpenGL", "libGLESv2", "libgbm", "libdrm",
      "libwayland-client", "libwayland-cursor", "libwayland-egl", "libwayland-server",
      // sound servers
      "libasound", "libpulse", "libpulse-simple", "libasyncns",
      // system services, fonts, compression, GLib
      "libdbus-1", "libsystemd", "libudev", "libcap", "libgcrypt", "libgpg-error", "liblzma", "libzstd", "liblz4",
      "libbz2", "libz", "libselinux", "libmount", "libblkid", "libuuid", "libffi", "libpcre2-8", "libbsd", "libmd",
      "libexpat", "libfontconfig", "libfreetype", "libpng16", "libbrotlidec", "libbrotlicommon", "libglib-2.0",
      "libgobject-2.0", "libgmodule-2.0", "libgio-2.0", "libgthread-2.0", "libtinfo", "libreadline", "libdb-5.3",
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

std::vector<std::string> BundleRuntime(const fs::path& releaseFolder) {
  const fs::path installer = releaseFolder / "install";
  if (!IsElf(installer)) throw ReleaseError("the installer " + installer.string() + " is not an ELF executable; it cannot be bundled");
  std::vector<std::string> added;
  std::error_code ec;

  // The X11 platform plugin and its GL integrations, from the Qt we are built with.
  const fs::path plugins = QtPluginFolder();
  const fs::path xcb = plugins / "platforms" / "libqxcb.so";
  if (!fs::is_regular_file(xcb, ec)) {
    throw ReleaseError("Qt's X11 platform plugin " + xcb.string() + " is missing; install the Debian package qt6-qpa-plugins");
  }
  std::vector<std::pair<fs::path, std::string>> elves = {{installer, "$ORIGIN/lib"}};
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
      elves.push_back({target, "$ORIGIN/../lib"});
      added.push_back("xcbglintegrations/" + p.filename().string());
    }
  }

  // Every library that the installer and the plugins need beyond the base system.
  std::map<std::string, fs::path> wanted;  // soname -> file it resolved to
  for (const auto& [file, runPath] : elves) {
    for (const auto& lib : ResolveLibraries(file)) {
      if (!lib.path) {
        throw ReleaseError(file.filename().string() + " needs " + lib.name +
                           ", which this machine does not have; install the package that provides it");
      }
      if (IsBaseLibrary(lib.name)) continue;
      wanted.emplace(lib.name, *lib.path);
    }
  }
  const fs::path libFolder = releaseFolder / "lib";
  fs::create_directories(libFolder);
  for (const auto& [name, path] : wanted) {
    const fs::path target = libFolder / name;
    // The loader finds a library by the name ldd shows; copy the file behind it.
    fs::copy_file(fs::canonical(path), target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    elves.push_back({target, "$ORIGIN"});
    added.push_back("lib/" + name);
  }
  for (const auto& [file, runPath] : elves) SetRunPath(file, runPath);

  // Qt looks for qt.conf beside the executable; its paths are taken relative to it.
  const std::string conf = "[Paths]\nPrefix = .\nPlugins = .\nLibraries = lib\n";
  {
    std::ofstream out(releaseFolder / "qt.conf", std::ios::binary | std::ios::trunc);
    out << conf;
    out.close();
    if (!out) throw ReleaseError("cannot write " + (releaseFolder / "qt.conf").string());
  }
  added.push_back("qt.conf");
  return added;
}

}  // namespace mkrelease

#include "release_builder.h"

#include "ace_writer.h"
#include "bundle.h"
#include "install_ini.h"
#include "jpeg_sheet.h"
#include "jpeg_writer.h"
#include "names.h"
#include "sheet.h"
#include "stop_signals.h"
#include "terminal_progress.h"
#include "volume_names.h"

#include <QImage>

#include <iostream>
#include <QString>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>
#include <iterator>
#include <map>
#include <set>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace mkrelease {
namespace {

constexpr std::uint64_t kLargestEntry = 0x7FFFFFFFull;  // the installer keeps sizes in signed 32 bits
constexpr int kMostVolumes = 256;                       // the volume number is one byte
constexpr int kSheetQuality = 92;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// Is `inner` the folder `outer` or somewhere below it? Both are made absolute and
// free of symbolic links as far as they exist.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(fs::absolute(inner), ec);
  const fs::path b = fs::weakly_canonical(fs::absolute(outer), ec);
  auto ai = a.begin();
  for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
    if (bi->empty() && std::next(bi) == b.end()) break;  // trailing separator
    if (ai == a.end() || *ai != *bi) return false;
  }
  return true;
}

void RequireFile(const std::string& what, const fs::path& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) throw ReleaseError(what + " " + Quoted(path) + " does not exist; check the path");
  if (!fs::is_regular_file(status)) throw ReleaseError(what + " " + Quoted(path) + " is not a regular file");
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw ReleaseError(what + " " + Quoted(path) + " cannot be read: " + std::strerror(errno));
  std::fclose(f);
}

void Log(const BuildOptions& options, const std::string& line) {
  if (options.log) *options.log << line << '\n';
}

// The six pictures of the sheet, found by name in the pictures folder.
std::array<fs::path, 6> FindPictures(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    throw ReleaseError("the pictures folder " + Quoted(folder) + " does not exist; point 'pictures' at the folder of the six pictures");
  }
  static const char* const extensions[] = {".png", ".bmp", ".ppm", ".jpg", ".jpeg", ".gif"};
  std::array<fs::path, 6> found;
  for (std::size_t i = 0; i < mksheet::kRegions.size(); ++i) {
    const auto& region = mksheet::kRegions[i];
    std::vector<fs::path> candidates;
    for (const char* ext : extensions) {
      const fs::path p = folder / (std::string(region.name) + ext);
      if (fs::is_regular_file(p, ec)) candidates.push_back(p);
    }
    if (candidates.empty()) {
      throw ReleaseError("the pictures folder " + Quoted(folder) + " has no " + region.name + ".png (or .bmp, .ppm, .jpg, .gif); add the " +
                         std::to_string(region.width) + "x" + std::to_string(region.height) + " picture " + region.name);
    }
    if (candidates.size() > 1) {
      throw ReleaseError("the pictures folder " + Quoted(folder) + " holds " + std::to_string(candidates.size()) +
                         " pictures named " + region.name + "; keep one");
    }
    found[i] = candidates.front();
  }
  return found;
}

// Reads the six pictures, checks their sizes, composes and encodes the sheet.
std::vector<std::uint8_t> ComposeSheetFile(const fs::path& folder) {
  const auto files = FindPictures(folder);
  std::array<QImage, 6> pictures;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto& region = mksheet::kRegions[i];
    std::string error;
    pictures[i] = mksheet::ReadPicture(QString::fromStdString(files[i].string()), region, error);
    if (pictures[i].isNull()) throw ReleaseError(error);
    if (pictures[i].width() != region.width || pictures[i].height() != region.height) {
      throw ReleaseError("the picture " + Quoted(files[i]) + " is " + std::to_string(pictures[i].width()) + "x" +
                         std::to_string(pictures[i].height()) + " pixels; " + region.name + " must be " +
                         std::to_string(region.width) + "x" + std::to_string(region.height));
    }
  }
  std::string error;
  const QImage sheet = mksheet::ComposeSheet(pictures, error);
  if (sheet.isNull()) throw ReleaseError(error);
  std::vector<std::uint8_t> jpeg;
  if (!mksheet::EncodeJpeg(sheet, kSheetQuality, jpeg, error)) throw ReleaseError("the JPEG encoder failed: " + error);
  return jpeg;
}

void CheckSheetFile(const fs::path& sheet) {
  RequireFile("the sheet", sheet);
  // Checked with the installer's own decoder, so that a sheet that passes here is
  // one the installer can show.
  std::ifstream in(sheet, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TRgbImage decoded;
  try {
    decoded = DecodeJpeg(bytes);
  } catch (const EJpegError& e) {
    throw ReleaseError("the sheet " + Quoted(sheet) + " is not a JPEG picture the installer can read (" + e.what() +
                       "); give a JPEG, or the six pictures with 'pictures'");
  }
  if (decoded.Width < mksheet::kSheetWidth || decoded.Height < mksheet::kSheetHeight) {
    throw ReleaseError("the sheet " + Quoted(sheet) + " is " + std::to_string(decoded.Width) + "x" +
                       std::to_string(decoded.Height) + " pixels; it must be at least 471x1114");
  }
}

// Staging folders are named ".OUTDIR.mkrelease-PID-XXXXXX" after the process that
// made them, so that a later run can tell an abandoned one from a running build.
std::string StagingPrefix(const fs::path& outDir) { return "." + outDir.filename().string() + ".mkrelease-"; }

// The hidden folder the release is assembled in; removed unless committed.
class Staging {
 public:
  explicit Staging(const fs::path& outDir) {
    fs::path parent = outDir.parent_path();
    if (parent.empty()) parent = ".";
    std::error_code ec;
    fs::create_directories(parent, ec);
    std::string pattern = (parent / (StagingPrefix(outDir) + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
      throw ReleaseError("cannot make a staging folder beside " + Quoted(outDir) + ": " + std::strerror(errno));
    }
    path_ = pattern;
    // mkdtemp makes the folder private; a release folder is as readable as any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(path_.c_str(), 0777 & ~mask);
  }
  ~Staging() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove_all(path_, ec);
    }
  }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  const fs::path& path() const { return path_; }

  // Moves the staged folder to outDir. An existing outDir is swapped out in one step
  // and removed afterwards.
  void CommitTo(const fs::path& outDir) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(outDir, ec))) {
      if (::rename(path_.c_str(), outDir.c_str()) != 0) {
        throw ReleaseError("cannot move the release to " + Quoted(outDir) + ": " + std::strerror(errno));
      }
      path_.clear();
      return;
    }
    if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, outDir.c_str(), RENAME_EXCHANGE) == 0) {
      // path_ now holds the previous release, which the destructor removes.
      return;
    }
    // File systems without the exchange: two renames, undone when the second fails.
    const fs::path old = path_.string() + ".old";
    if (::rename(outDir.c_str(), old.c_str()) != 0) {
      throw ReleaseError("cannot replace " + Quoted(outDir) + ": " + std::strerror(errno));
    }
    if (::rename(path_.c_str(), outDir.c_str()) != 0) {
      const int saved = errno;
      ::rename(old.c_str(), outDir.c_str());
      throw ReleaseError("cannot replace " + Quoted(outDir) + ": " + std::strerror(saved));
    }
    path_ = old;
  }

 private:
  fs::path path_;
};

void CopyInto(const fs::path& source, const fs::path& target, const std::string& what) {
  std::error_code ec;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
  if (ec) throw ReleaseError("cannot copy " + what + " " + Quoted(source) + ": " + ec.message());
}

void WriteFile(const fs::path& target, const void* data, std::size_t size) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw ReleaseError("cannot write " + Quoted(target) + "; is the disk full?");
}

bool IsVolumeName(const std::string& title, const std::string& name) {
  const fs::path first = title + ".ace";
  const std::string lower = Lower(name);
  for (int k = 0; k < kMostVolumes; ++k) {
    if (Lower(ace::VolumePath(first, k).string()) == lower) return true;
  }
  return false;
}

}  // namespace

namespace {

// Appends the content of `folder` to `entries`: names in byte order, each folder
// directly followed by its own content.
void ScanFolder(const fs::path& folder, const std::string& prefix, std::vector<PayloadEntry>& entries, int& files,
                int depth) {
  if (depth > 64) throw ReleaseError("the payload nests folders deeper than 64 levels at " + Quoted(folder));
  std::error_code ec;
  std::vector<fs::directory_entry> children;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) children.push_back(*it);
  if (ec) throw ReleaseError("cannot list the payload folder " + Quoted(folder) + ": " + ec.message());
  std::sort(children.begin(), children.end(),
            [](const auto& a, const auto& b) { return a.path().filename().string() < b.path().filename().string(); });
  for (const auto& child : children) {
    const std::string name = prefix + child.path().filename().string();
    CheckPayloadName("the payload name", name);
    try {
      ace::ArchiveName(name);
    } catch (const ace::Error& e) {
      throw ReleaseError("the payload " + std::string(e.what()) + "; rename " + Quoted(child.path()));
    }
    const auto status = child.symlink_status(ec);
    if (fs::is_symlink(status)) {
      throw ReleaseError("the payload holds the symbolic link " + Quoted(child.path()) +
                         "; replace it by the file or folder it points to");
    }
    if (fs::is_directory(status)) {
      entries.push_back({name, child.path(), true});
      ScanFolder(child.path(), name + "/", entries, files, depth + 1);
    } else if (fs::is_regular_file(status)) {
      const auto size = fs::file_size(child.path(), ec);
      if (!ec && size > kLargestEntry) {
        throw ReleaseError("the payload file " + Quoted(child.path()) +
                           " is 2 GiB or larger, which the installer cannot unpack; split it");
      }
      entries.push_back({name, child.path(), false});
      ++files;
    } else {
      throw ReleaseError("the payload holds " + Quoted(child.path()) + ", which is neither a file nor a folder; remove it");
    }
  }
}

}  // namespace

std::vector<PayloadEntry> ScanPayload(const fs::path& payload) {
  std::error_code ec;
  if (!fs::is_directory(payload, ec)) {
    throw ReleaseError("the payload folder " + Quoted(payload) + " does not exist; point 'payload' at the folder to pack");
  }
  std::vector<PayloadEntry> entries;
  int files = 0;
  ScanFolder(payload, "", entries, files, 0);
  if (files == 0) {
    throw ReleaseError("the payload folder " + Quoted(payload) + " holds no files; put the release's files in it");
  }
  return entries;
}

void RemoveAbandonedStaging(const fs::path& outDir) {
  fs::path parent = outDir.parent_path();
  if (parent.empty()) parent = ".";
  const std::string prefix = StagingPrefix(outDir);
  std::error_code ec;
  std::vector<fs::path> abandoned;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size()) continue;
    const std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) abandoned.push_back(it->path());
  }
  for (const auto& p : abandoned) fs::remove_all(p, ec);
}

ReleaseSummary BuildRelease(const ReleaseDescription& d, const fs::path& outDirIn, const BuildOptions& options) {
  if (outDirIn.empty()) throw ReleaseError("no output folder given");
  const fs::path outDir = fs::absolute(outDirIn).lexically_normal();
  const fs::path outDirClean = outDir.filename().empty() ? outDir.parent_path() : outDir;

  // 1. Every check that can be made before anything is written.
  CheckReleaseFileName("the title", d.title);
  const std::string firstVolume = d.title + ".ace";
  CheckReleaseFileName("the title", firstVolume);
  if (d.volumeSize != 0 && d.volumeSize < 4096) {
    throw ReleaseError("the volume size " + std::to_string(d.volumeSize) + " is too small; give at least 4K");
  }
  if (d.level < 0 || d.level > 5) throw ReleaseError("the level must lie between 0 and 5");

  const fs::path installer = d.installer.empty() ? options.defaultInstaller : d.installer;
  if (installer.empty()) throw ReleaseError("no installer given; add 'installer = path/to/install' to the description");
  RequireFile("the installer", installer);

  RequireFile("the NFO", d.nfo);
  if (d.tune) RequireFile("the tune", *d.tune);
  if (d.regfile1) RequireFile("regfile1", *d.regfile1);
  if (d.regfile2) RequireFile("regfile2", *d.regfile2);
  if (d.sheet) CheckSheetFile(*d.sheet);

  // The names of the release folder, which install.ini carries.
  std::map<std::string, std::string> names;  // lower-case name -> what
  auto claim = [&](const std::string& what, const std::string& name) {
    CheckReleaseFileName(what, name);
    if (IsVolumeName(d.title, name)) {
      throw ReleaseError(what + " '" + name + "' has the name of a volume of the archive set; rename it");
    }
    const auto [it, fresh] = names.emplace(Lower(name), what);
    if (!fresh) throw ReleaseError(what + " '" + name + "' has the same name as " + it->second + "; rename one of them");
  };
  claim("the NFO file name", d.nfo.filename().string());
  if (d.tune) claim("the tune file name", d.tune->filename().string());
  if (d.regfile1) claim("the regfile1 name", d.regfile1->filename().string());
  if (d.regfile2) claim("the regfile2 name", d.regfile2->filename().string());
  if (d.defaultDir) {
    if (!d.defaultDir->empty()) {
      CheckIniValue("the defaultdir", *d.defaultDir);
      if (d.defaultDir->find('/') != std::string::npos || *d.defaultDir == "." || *d.defaultDir == "..") {
        throw ReleaseError("the defaultdir '" + *d.defaultDir + "' is not a plain folder name; give one without '/'");
      }
    }
  }
  if (!d.execute.empty()) {
    CheckPayloadPath("the execute path", d.execute);
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(d.payload / d.execute, ec))) {
      throw ReleaseError("the execute file '" + d.execute + "' is not a file of the payload " + Quoted(d.payload) +
                         "; give its path inside the payload");
    }
  }

  // The output folder: never one that holds an input, never inside the payload, and
  // an existing folder only when it is empty or an earlier release.
  std::error_code ec;
  std::vector<std::pair<std::string, fs::path>> inputs = {{"the payload", d.payload}, {"the NFO", d.nfo}, {"the installer", installer}};
  if (!d.descriptionFile.empty()) inputs.push_back({"the description", d.descriptionFile});
  if (d.tune) inputs.push_back({"the tune", *d.tune});
  if (d.pictures) inputs.push_back({"the pictures", *d.pictures});
  if (d.sheet) inputs.push_back({"the sheet", *d.sheet});
  if (d.regfile1) inputs.push_back({"regfile1", *d.regfile1});
  if (d.regfile2) inputs.push_back({"regfile2", *d.regfile2});
  for (const auto& [what, path] : inputs) {
    if (IsWithin(path, outDirClean)) {
      throw ReleaseError("the output folder " + Quoted(outDirClean) + " holds " + what + " " + Quoted(path) +
                         ", which replacing it would destroy; choose another output folder");
    }
  }
  if (IsWithin(outDirClean, d.payload)) {
    throw ReleaseError("the output folder " + Quoted(outDirClean) + " lies inside the payload; choose a folder outside it");
  }

  const auto outStatus = fs::symlink_status(outDirClean, ec);
  if (fs::exists(outStatus)) {
    if (!fs::is_directory(outStatus)) {
      throw ReleaseError("the output " + Quoted(outDirClean) + " exists and is not a folder; choose another output folder");
    }
    const bool empty = fs::is_empty(outDirClean, ec);
    if (!empty && !fs::exists(outDirClean / "install.ini")) {
      throw ReleaseError("the output folder " + Quoted(outDirClean) +
                         " exists and is not a release folder (it has no install.ini); remove it or choose another");
    }
  }
  const std::vector<PayloadEntry> payload = ScanPayload(d.payload);
  std::vector<std::uint8_t> sheetBytes;
  if (d.pictures) sheetBytes = ComposeSheetFile(*d.pictures);

  // 2. Assemble the release in the staging folder.
  RemoveAbandonedStaging(outDirClean);
  Staging staging(outDirClean);
  const fs::path stage = staging.path();
  ReleaseSummary summary;

  // The release carries the installer without its debug information.
  CopyWithoutDebugInfo(installer, stage / "install");
  fs::permissions(stage / "install", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec, ec);
  if (d.pictures) {
    WriteFile(stage / "install.dat", sheetBytes.data(), sheetBytes.size());
  } else {
    CopyInto(*d.sheet, stage / "install.dat", "the sheet");
  }

  Log(options, "packing " + std::to_string(payload.size()) + " entries of " + d.payload.string());
  std::vector<fs::path> volumes;
  try {
    ace::WriterOptions writerOptions;
    writerOptions.Solid = true;
    writerOptions.DictionaryBits = 22;
    writerOptions.Level = d.level;
    writerOptions.VolumeSize = d.volumeSize;
    writerOptions.ShouldStop = options.shouldStop;
    writerOptions.Threads = options.threads;
    std::uint64_t payloadTotal = 0;
    for (const auto& entry : payload)
      if (!entry.directory) payloadTotal += fs::file_size(entry.source, ec);
    if (options.onPackProgress)
      writerOptions.OnProgress = [&](std::uint64_t done) { options.onPackProgress(done, payloadTotal); };
    ace::Writer writer(stage / firstVolume, writerOptions);
    for (const auto& entry : payload) {
      if (entry.directory) {
        writer.AddDirectory(entry.name, fs::last_write_time(entry.source, ec));
        ++summary.folders;
      } else {
        writer.AddFile(entry.name, entry.source);
        ++summary.files;
        summary.payloadBytes += fs::file_size(entry.source, ec);
      }
    }
    volumes = writer.Finish();
    if (options.onPackProgress) options.onPackProgress(payloadTotal, payloadTotal);
  } catch (const ace::Error& e) {
    throw ReleaseError(std::string("the archive could not be written: ") + e.what());
  }
  if (volumes.size() > static_cast<std::size_t>(kMostVolumes)) {
    throw ReleaseError("the archive set needs " + std::to_string(volumes.size()) + " volumes, more than 256; raise volume_size");
  }
  for (const auto& v : volumes) summary.volumes.push_back(v.filename().string());

  CopyInto(d.nfo, stage / d.nfo.filename(), "the NFO");
  if (d.tune) CopyInto(*d.tune, stage / d.tune->filename(), "the tune");
  if (d.regfile1) CopyInto(*d.regfile1, stage / d.regfile1->filename(), "regfile1");
  if (d.regfile2) CopyInto(*d.regfile2, stage / d.regfile2->filename(), "regfile2");

  std::string ini = std::string("[") + install_ini::kSection + "]\n";
  auto line = [&ini](const char* key, const std::string& value) { ini += std::string(key) + "=" + value + "\n"; };
  line(install_ini::kSource, firstVolume);
  line(install_ini::kNfoFile, d.nfo.filename().string());
  if (d.tune) line(install_ini::kMidFile, d.tune->filename().string());
  if (d.defaultDir) line(install_ini::kDefaultDir, *d.defaultDir);
  if (d.regfile1) line(install_ini::kRegFile1, d.regfile1->filename().string());
  if (d.regfile2) line(install_ini::kRegFile2, d.regfile2->filename().string());
  if (!d.execute.empty()) line(install_ini::kExecute, d.execute);
  line(install_ini::kNumFiles, std::to_string(volumes.size()));
  WriteFile(stage / "install.ini", ini.data(), ini.size());

  if (options.bundle) {
    Log(options, "bundling the shared libraries of the installer");
    BundleOptions bundleOptions;
    bundleOptions.soundFont = d.tune && IsMidiFile(*d.tune);
    bundleOptions.log = options.log;
    summary.bundled = BundleRuntime(stage, bundleOptions);
  }

  // 3. Into place.
  if (options.shouldStop && options.shouldStop()) throw ReleaseError("stopped");
  staging.CommitTo(outDirClean);
  summary.folder = outDirClean;
  Log(options, "wrote " + outDirClean.string() + ": " + std::to_string(summary.files) + " files in " +
                   std::to_string(summary.volumes.size()) + " volumes");
  return summary;
}

int RunMkrelease(const std::vector<std::string>& arguments, const fs::path& defaultInstaller, std::ostream& out,
                 std::ostream& err) {
  std::vector<std::string> positional;
  bool bundle = false;
  int threads = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--bundle") {
      bundle = true;
    } else if (a == "-j" && i + 1 < arguments.size()) {
      const std::string& n = arguments[++i];
      threads = n.size() <= 4 && !n.empty() && std::all_of(n.begin(), n.end(), [](unsigned char c) { return std::isdigit(c) != 0; }) ? std::stoi(n) : 0;
      if (threads < 1 || threads > 1024) {
        err << "mkrelease: -j wants a number of threads from 1 to 1024, not " << n << "\n";
        positional.clear();
        positional.resize(3);
        break;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      err << "mkrelease: unknown option " << a << "\n";
      positional.clear();
      positional.resize(3);
      break;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    err << "usage: mkrelease DESCRIPTION OUTDIR [--bundle] [-j THREADS]\n";
    return 2;
  }
  try {
    const ReleaseDescription d = ReadDescription(positional[0]);
    BuildOptions options;
    options.bundle = bundle;
    options.threads = threads;
    options.defaultInstaller = defaultInstaller;
    options.log = &out;
    options.shouldStop = &StopSignalArrived;
    // The packing's progress, on a terminal only.
    TTerminalProgress progress(stderr, &err == &std::cerr && ::isatty(2) == 1);
    if (progress.Terminal()) {
      options.onPackProgress = [&](std::uint64_t done, std::uint64_t total) {
        progress.UpdateBytes(done, total, "packing");
        if (done == total) progress.Finish();
      };
    }
    BuildRelease(d, positional[1], options);
    return 0;
  } catch (const ReleaseError& e) {
    if (StopSignalArrived()) {
      err << "mkrelease: stopped by a signal; nothing of the release was left behind\n";
      return 128 + StopSignalNumber();
    }
    err << "mkrelease: " << e.what() << "\n";
  } catch (const fs::filesystem_error& e) {
    err << "mkrelease: " << e.what() << "\n";
  } catch (const std::bad_alloc&) {
    err << "mkrelease: out of memory\n";
  }
  return 1;
}

}  // namespace mkrelease

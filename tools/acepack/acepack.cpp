// acepack: packs a folder into an ACE archive set.
//   acepack [-s] [-v SIZE] [-d BITS] [-l LEVEL] [-j THREADS] OUT.ace DIR
// -s makes the archive solid; -v splits it into volumes of at most SIZE bytes
// (suffixes k and m allowed); -d sets the dictionary to 2^BITS bytes (10..22,
// default 22); -l sets the level, 0 = store .. 5 = best (default 3); -j sets the
// threads that compress (default: one per processor), which leaves the archive's
// bytes as they are.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ace_writer.h"
#include "stop_signals.h"
#include "terminal_progress.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::fprintf(stderr, "usage: acepack [-s] [-v SIZE] [-d BITS] [-l LEVEL] [-j THREADS] OUT.ace DIR\n");
  return 2;
}

bool ParseNumber(const std::string& text, std::uint64_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  std::uint64_t scale = 1;
  if (*end == 'k' || *end == 'K') scale = 1024, ++end;
  else if (*end == 'm' || *end == 'M') scale = 1024 * 1024, ++end;
  if (*end != '\0' || end == text.c_str()) return false;
  out = v * scale;
  return true;
}

// Adds the folder's contents in name order, folders before what they hold.
void AddTree(ace::Writer& writer, const fs::path& root, const fs::path& dir, std::uint64_t& files) {
  std::vector<fs::directory_entry> children{fs::directory_iterator(dir), fs::directory_iterator()};
  std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.path() < b.path(); });
  for (const auto& child : children) {
    const std::string name = fs::relative(child.path(), root).generic_string();
    if (child.is_symlink()) {
      std::fprintf(stderr, "acepack: skipping symbolic link %s\n", name.c_str());
    } else if (child.is_directory()) {
      writer.AddDirectory(name, child.last_write_time());
      AddTree(writer, root, child.path(), files);
    } else if (child.is_regular_file()) {
      writer.AddFile(name, child.path());
      ++files;
    } else {
      std::fprintf(stderr, "acepack: skipping special file %s\n", name.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  ace::WriterOptions options;
  options.Solid = false;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    std::uint64_t n = 0;
    if (a == "-s") {
      options.Solid = true;
    } else if ((a == "-v" || a == "-d" || a == "-l" || a == "-j") && i + 1 < argc) {
      if (!ParseNumber(argv[++i], n)) return Usage();
      if (a == "-v") options.VolumeSize = n;
      if (a == "-d") options.DictionaryBits = static_cast<int>(std::min<std::uint64_t>(n, 99));
      if (a == "-l") options.Level = static_cast<int>(std::min<std::uint64_t>(n, 99));
      if (a == "-j") {
        if (n < 1 || n > 1024) return Usage();
        options.Threads = static_cast<int>(n);
      }
    } else if (!a.empty() && a[0] == '-') {
      return Usage();
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return Usage();
  const fs::path out = positional[0], root = positional[1];
  if (!fs::is_directory(root)) {
    std::fprintf(stderr, "acepack: %s is not a folder\n", root.c_str());
    return 1;
  }
  // A stop signal ends the writer at its next piece of input; it then removes the
  // volumes it had begun.
  CatchStopSignals();
  options.ShouldStop = &StopSignalArrived;
  // On a terminal: the bytes packed of the folder's total, the rate and the time left.
  TTerminalProgress progress(stderr);
  std::uint64_t payload = 0;
  if (progress.Terminal()) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      if (it->is_regular_file(ec) && !it->is_symlink(ec)) payload += it->file_size(ec);
    options.OnProgress = [&](std::uint64_t done) {
      progress.UpdateBytes(done, payload, out.filename().string());
    };
  }
  try {
    ace::Writer writer(out, options);
    std::uint64_t files = 0;
    AddTree(writer, root, root, files);
    const auto volumes = writer.Finish();
    progress.Finish();
    std::uint64_t total = 0;
    for (const auto& v : volumes) total += fs::file_size(v);
    std::printf("%llu files, %zu volume(s), %llu bytes\n", static_cast<unsigned long long>(files), volumes.size(),
                static_cast<unsigned long long>(total));
  } catch (const std::exception& e) {
    progress.Finish();
    if (StopSignalArrived()) {
      std::fprintf(stderr, "acepack: stopped by a signal; no volume was left behind\n");
      return 128 + StopSignalNumber();
    }
    std::fprintf(stderr, "acepack: %s\n", e.what());
    return 1;
  }
  return 0;
}

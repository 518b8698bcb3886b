// Writes entries below the destination folder without ever leaving it: stored
// names are split into components and refused when they could escape; folders are
// walked with openat and O_NOFOLLOW; a file is written as an unnamed file in its
// target's folder (O_TMPFILE) and linked into place only once it is complete and
// correct, so that a run that is killed leaves nothing behind. Where the file
// system has no unnamed files it is written under a hidden temporary name, locked
// while it is written; each run removes such files that earlier runs left in the
// folders it writes into.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dos_time.h"
#include "entry_names.h"
#include "status.h"

namespace ace {

// The write call used for entry data; tests put a failing one in its place.
using WriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);

// The folders (device, inode) that one run has already cleared of temporary files
// left by earlier runs: each is looked through once, before its first file.
class SweptFolders {
 public:
  // Looks through `dirFd` unless done before: every regular file with a name of
  // our temporary pattern that no live writer holds locked is removed.
  void SweepOnce(int dirFd);

 private:
  std::set<std::pair<dev_t, ino_t>> done_;
};

// Tests only: true makes every later file go through a named temporary file, as on
// a file system that has no unnamed files.
void UseNamedTemporaryFiles(bool on);

class Destination {
 public:
  Destination() = default;
  ~Destination();
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  // Opens the destination folder (a trailing separator is allowed).
  Status Open(const std::string& path);
  // Creates the folder `parts` (and its parents) and gives it the time stamp.
  Status MakeFolder(const std::vector<std::string>& parts, std::uint32_t dosTime);

 private:
  friend class PendingFile;
  // Opens (creating when asked) the folder made of parts[0..count), refusing links.
  Status OpenFolder(const std::vector<std::string>& parts, std::size_t count, bool create, int& fd);
  int fd_ = -1;
};

// A file being written: an unnamed file in the target's folder (or, where there are
// none, a named temporary file beside the target) until Commit.
class PendingFile {
 public:
  // With `swept`, the folder of each file is cleared of stale temporary files first.
  explicit PendingFile(WriteFunction write, SweptFolders* swept = nullptr)
      : write_(write), swept_(swept) {}
  ~PendingFile();  // discards the file unless committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // `expectedSize` is the size the entry declares: space for it is reserved ahead
  // of the writes (see ReserveFor), which never changes what a write reports.
  Status Create(Destination& dest, const std::vector<std::string>& parts, std::uint64_t expectedSize = 0);
  Status Write(const std::uint8_t* data, std::size_t size);
  // Sets the time stamp and attributes, and gives the file its name, replacing an
  // old file of that name in one step.
  Status Commit(std::uint32_t dosTime, bool readOnly);
  void Discard();

 private:
  void ReserveFor(std::size_t size);
  Status CreateNamed();
  Status LinkUnnamed();

  WriteFunction write_;
  SweptFolders* swept_;
  std::uint64_t expected_ = 0;  // declared size, 0 once reserving stops
  std::uint64_t written_ = 0;
  std::uint64_t reserved_ = 0;  // bytes from the start for which space is reserved
  int dirFd_ = -1;
  int fd_ = -1;
  bool unnamed_ = false;  // fd_ is an O_TMPFILE file
  std::string tempName_;  // the name fd_'s file has in dirFd_ until Commit, if any
  std::string finalName_;
};

}  // namespace ace

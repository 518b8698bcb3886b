// Writes entries below the destination folder without ever leaving it: stored
// names are split into components and refused when they could escape; folders are
// walked with openat and O_NOFOLLOW; a file is written beside its target under a
// temporary name and renamed into place only once it is complete and correct.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace ace {

// The write call used for entry data; tests put a failing one in its place.
using WriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);

// Splits an entry name (UTF-8, separators `\` and `/`) into components. UnsafeName
// for an empty name, an absolute name, a drive letter, or a "", "." or ".."
// component.
Status SplitEntryName(std::string_view name, std::vector<std::string>& parts);

// DOS time stamp (local time) to seconds since the epoch; false when impossible.
bool DosTimeToUnix(std::uint32_t dosTime, std::int64_t& seconds);

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

// A file being written: a temporary file beside the target until Commit.
class PendingFile {
 public:
  explicit PendingFile(WriteFunction write) : write_(write) {}
  ~PendingFile();  // discards the temporary file unless committed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // `expectedSize` is the size the entry declares: space for it is reserved ahead
  // of the writes (see ReserveFor), which never changes what a write reports.
  Status Create(Destination& dest, const std::vector<std::string>& parts, std::uint64_t expectedSize = 0);
  Status Write(const std::uint8_t* data, std::size_t size);
  // Sets the time stamp and attributes, and renames the file into place.
  Status Commit(std::uint32_t dosTime, bool readOnly);
  void Discard();

 private:
  void ReserveFor(std::size_t size);

  WriteFunction write_;
  std::uint64_t expected_ = 0;  // declared size, 0 once reserving stops
  std::uint64_t written_ = 0;
  std::uint64_t reserved_ = 0;  // bytes from the start for which space is reserved
  int dirFd_ = -1;
  int fd_ = -1;
  std::string tempName_;
  std::string finalName_;
};

}  // namespace ace

#include "safe_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <cstdio>
#include <random>

namespace ace {
namespace {

constexpr std::uint64_t kReserveFrom = 256 * 1024;       // smaller files gain nothing
constexpr std::uint64_t kReserveStep = 8 * 1024 * 1024;  // the first step

Status WriteErrorFor(int error) {
  return error == ENOSPC || error == EDQUOT ? Status::DiskFull : Status::WriteFailed;
}

bool SetTimes(int fd, std::uint32_t dosTime) {
  std::int64_t seconds;
  if (!DosTimeToUnix(dosTime, seconds)) return false;
  struct timespec times[2];
  times[0].tv_sec = time_t(seconds);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return ::futimens(fd, times) == 0;
}

}  // namespace

Status SplitEntryName(std::string_view name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty() || name.front() == '\\' || name.front() == '/') return Status::UnsafeName;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("\\/", start);
    const std::string_view part =
        name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    // ':' would name a drive (or a stream) on the system the archive came from.
    if (part.empty() || part == "." || part == ".." || part.find(':') != std::string_view::npos) {
      return Status::UnsafeName;
    }
    parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return Status::Ok;
}

bool DosTimeToUnix(std::uint32_t t, std::int64_t& seconds) {
  struct tm tm = {};
  tm.tm_sec = int(t & 0x1F) * 2;
  tm.tm_min = int((t >> 5) & 0x3F);
  tm.tm_hour = int((t >> 11) & 0x1F);
  tm.tm_mday = int((t >> 16) & 0x1F);
  tm.tm_mon = int((t >> 21) & 0x0F) - 1;
  tm.tm_year = int((t >> 25) & 0x7F) + 80;
  tm.tm_isdst = -1;
  if (tm.tm_sec > 59 || tm.tm_min > 59 || tm.tm_hour > 23 || tm.tm_mday < 1 || tm.tm_mon < 0 ||
      tm.tm_mon > 11) {
    return false;
  }
  const time_t v = ::mktime(&tm);
  if (v == time_t(-1)) return false;
  seconds = std::int64_t(v);
  return true;
}

Destination::~Destination() {
  if (fd_ >= 0) ::close(fd_);
}

Status Destination::Open(const std::string& path) {
  std::size_t length = path.size();
  if (length > 1 && (path[length - 1] == '/' || path[length - 1] == '\\')) --length;
  const std::string p = length == 0 ? std::string(".") : path.substr(0, length);
  fd_ = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ >= 0 ? Status::Ok : Status::OpenFailed;
}

Status Destination::OpenFolder(const std::vector<std::string>& parts, std::size_t count,
                               bool create, int& out) {
  int fd = ::dup(fd_);
  if (fd < 0) return Status::OpenFailed;
  for (std::size_t i = 0; i < count; ++i) {
    const char* name = parts[i].c_str();
    int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(fd, name, 0755) != 0 && errno != EEXIST) {
        const int e = errno;
        ::close(fd);
        return e == ENOSPC || e == EDQUOT ? Status::DiskFull : Status::OpenFailed;
      }
      next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (next < 0) {
      const int e = errno;
      // A symbolic link where a folder should be: following it could leave the
      // destination. Anything else in the way (a file) just cannot be used.
      struct stat st;
      const bool link = (e == ELOOP || e == ENOTDIR) &&
                        ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
      ::close(fd);
      return link ? Status::UnsafeName : Status::OpenFailed;
    }
    ::close(fd);
    fd = next;
  }
  out = fd;
  return Status::Ok;
}

Status Destination::MakeFolder(const std::vector<std::string>& parts, std::uint32_t dosTime) {
  int fd;
  const Status s = OpenFolder(parts, parts.size(), true, fd);
  if (s != Status::Ok) return s;
  SetTimes(fd, dosTime);
  ::close(fd);
  return Status::Ok;
}

PendingFile::~PendingFile() { Discard(); }

void PendingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (dirFd_ >= 0) {
    if (!tempName_.empty()) ::unlinkat(dirFd_, tempName_.c_str(), 0);
    ::close(dirFd_);
  }
  dirFd_ = -1;
  tempName_.clear();
}

Status PendingFile::Create(Destination& dest, const std::vector<std::string>& parts,
                           std::uint64_t expectedSize) {
  Discard();
  expected_ = expectedSize >= kReserveFrom ? expectedSize : 0;
  written_ = 0;
  reserved_ = 0;
  const Status s = dest.OpenFolder(parts, parts.size() - 1, true, dirFd_);
  if (s != Status::Ok) {
    dirFd_ = -1;
    return s;
  }
  finalName_ = parts.back();
  // One generator per thread, seeded once: opening the system's random source for
  // every entry costs more than writing a small file.
  thread_local std::mt19937 rd{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", unsigned(rd()));
    std::string name = "." + finalName_ + "." + suffix + ".part";
    if (name.size() > 255) name = std::string(".ace-") + suffix + ".part";
    fd_ = ::openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      tempName_ = name;
      return Status::Ok;
    }
    if (errno != EEXIST) break;
  }
  const int e = errno;
  return e == ENOSPC || e == EDQUOT ? Status::DiskFull : Status::OpenFailed;
}

// Reserving the space of a large file before writing it lets the file system
// place it in one go instead of page by page as the writes arrive, which takes
// about a quarter off the system time of writing it and lays the file out whole.
// The reservation runs ahead of the writes in steps that double (so a size the
// archive lies about costs at most twice what is really written) and never
// past the declared size. It only ever helps: when the file system cannot
// reserve (no support, no room) the writes go on as before and report for
// themselves, so a file that would fit is never refused for it.
void PendingFile::ReserveFor(std::size_t size) {
#ifdef FALLOC_FL_KEEP_SIZE
  if (written_ + size <= reserved_) return;
  const std::uint64_t step = reserved_ > kReserveStep ? reserved_ : kReserveStep;
  std::uint64_t end = reserved_ + step;
  if (end < written_ + size) end = written_ + size;
  if (end > expected_) end = expected_;
  if (end <= reserved_ ||
      ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, off_t(reserved_), off_t(end - reserved_)) != 0) {
    expected_ = 0;
    return;
  }
  reserved_ = end;
#else
  (void)size;
  expected_ = 0;
#endif
}

Status PendingFile::Write(const std::uint8_t* data, std::size_t size) {
  if (expected_) ReserveFor(size);
  written_ += size;
  while (size) {
    const ssize_t n = write_(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return WriteErrorFor(n == 0 ? ENOSPC : errno);
    data += n;
    size -= std::size_t(n);
  }
  return Status::Ok;
}

Status PendingFile::Commit(std::uint32_t dosTime, bool readOnly) {
  SetTimes(fd_, dosTime);
  if (readOnly) ::fchmod(fd_, 0444);
  if (::close(fd_) != 0) {
    fd_ = -1;
    const int e = errno;
    Discard();
    return WriteErrorFor(e);
  }
  fd_ = -1;
  // rename replaces whatever stands at the target (also a read-only file or a
  // symbolic link, which is replaced, not followed).
  if (::renameat(dirFd_, tempName_.c_str(), dirFd_, finalName_.c_str()) != 0) {
    Discard();
    return Status::OpenFailed;
  }
  tempName_.clear();
  ::close(dirFd_);
  dirFd_ = -1;
  return Status::Ok;
}

}  // namespace ace

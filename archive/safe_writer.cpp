#include "safe_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <random>

namespace ace {
namespace {

constexpr std::uint64_t kReserveFrom = 256 * 1024;       // smaller files gain nothing
constexpr std::uint64_t kReserveStep = 8 * 1024 * 1024;  // the first step

std::atomic<bool> g_namedOnly{false};

Status WriteErrorFor(int error) {
  return error == ENOSPC || error == EDQUOT ? Status::DiskFull : Status::WriteFailed;
}

Status CreateErrorFor(int error) {
  return error == ENOSPC || error == EDQUOT ? Status::DiskFull : Status::OpenFailed;
}

// The hidden name a file has while it is written under a name, or for the moment
// an unnamed file takes to replace an old one: "." + name + "." + 8 hex digits +
// ".part", or ".ace-" + 8 hex digits + ".part" where that would be too long.
std::string TemporaryName(const std::string& finalName) {
  // One generator per thread, seeded once: opening the system's random source for
  // every entry costs more than writing a small file.
  thread_local std::mt19937 rd{std::random_device{}()};
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%08x", unsigned(rd()));
  std::string name = "." + finalName + "." + suffix + ".part";
  if (name.size() > 255) name = std::string(".ace-") + suffix + ".part";
  return name;
}

// True only for names TemporaryName can make: nothing else is ever swept away.
bool IsTemporaryName(std::string_view n) {
  constexpr std::string_view kEnd = ".part";
  constexpr std::size_t kDigits = 8;
  if (n.size() < 1 + kDigits + kEnd.size() || n.front() != '.' || !n.ends_with(kEnd)) return false;
  n.remove_prefix(1);
  n.remove_suffix(kEnd.size());
  for (const char c : n.substr(n.size() - kDigits)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  n.remove_suffix(kDigits);
  if (n == "ace-") return true;
  if (n.size() < 2 || n.back() != '.') return false;
  n.remove_suffix(1);
  // What is left is the entry's name, one SplitEntryName lets through.
  return n != "." && n != ".." && n.find_first_of("\\:") == std::string_view::npos;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes `name` from the folder if it is a regular file that nobody holds locked.
// A writer holds its temporary file locked for as long as it has that name, so a
// file that can be locked was left by a run that is gone.
void RemoveIfAbandoned(int dirFd, const char* name) {
  struct stat before, now;
  if (::fstatat(dirFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode)) return;
  const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  // Once locked, the name must still lead to the same file: it was not removed
  // (and perhaps made again) in between.
  if (::fstat(fd, &now) == 0 && SameFile(now, before) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::fstatat(dirFd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, before)) {
    ::unlinkat(dirFd, name, 0);
  }
  ::close(fd);
}

// An unnamed file gets its name by a link from /proc/self/fd (linking it by its
// descriptor alone needs a privilege); without /proc the files are named ones.
bool CanNameUnnamedFiles() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
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

void UseNamedTemporaryFiles(bool on) { g_namedOnly = on; }

void SweptFolders::SweepOnce(int dirFd) {
  struct stat st;
  if (::fstat(dirFd, &st) != 0 || !done_.insert({st.st_dev, st.st_ino}).second) return;
  const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return;
  }
  while (const dirent* e = ::readdir(dir)) {
    if ((e->d_type == DT_REG || e->d_type == DT_UNKNOWN) && IsTemporaryName(e->d_name)) {
      RemoveIfAbandoned(dirFd, e->d_name);
    }
  }
  ::closedir(dir);
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
  // The temporary name goes while the file is still open, and so still locked.
  if (dirFd_ >= 0 && !tempName_.empty()) ::unlinkat(dirFd_, tempName_.c_str(), 0);
  tempName_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  unnamed_ = false;
  if (dirFd_ >= 0) ::close(dirFd_);
  dirFd_ = -1;
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
  if (swept_) swept_->SweepOnce(dirFd_);
  if (!g_namedOnly && CanNameUnnamedFiles()) {
    fd_ = ::openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      unnamed_ = true;
      return Status::Ok;
    }
    // This file system has no unnamed files (EOPNOTSUPP; EISDIR or EINVAL from
    // older kernels), or cannot make one now: a named file reports for itself.
  }
  return CreateNamed();
}

Status PendingFile::CreateNamed() {
  int e = EEXIST;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string name = TemporaryName(finalName_);
    const int fd =
        ::openat(dirFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
      e = errno;
      if (e == EEXIST) continue;
      break;
    }
    // Locked for as long as it has this name, so that the sweep of another run
    // leaves it alone (where the file system cannot lock, it goes on unlocked, and
    // sweeps, which cannot lock either, remove nothing). A sweep that came between
    // the open and the lock has removed it: then it takes another name.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      fd_ = fd;
      tempName_ = name;
      return Status::Ok;
    }
    ::close(fd);
  }
  return CreateErrorFor(e);
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
  // close reports what the writes left pending (on a network file system, say);
  // a second descriptor keeps the file, and its lock, until it has its name.
  const int keep = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (keep < 0) {
    Discard();
    return Status::OpenFailed;
  }
  const int closed = ::close(fd_);
  const int e = errno;
  fd_ = keep;
  if (closed != 0) {
    Discard();
    return WriteErrorFor(e);
  }
  Status s = Status::Ok;
  if (unnamed_) {
    s = LinkUnnamed();
  } else if (::renameat(dirFd_, tempName_.c_str(), dirFd_, finalName_.c_str()) == 0) {
    // rename replaces whatever stands at the target (also a read-only file or a
    // symbolic link, which is replaced, not followed).
    tempName_.clear();
  } else {
    s = Status::OpenFailed;
  }
  Discard();  // with the name given, only closes; else removes the temporary name
  return s;
}

// Links the unnamed file straight to its name when nothing has that name;
// otherwise under a temporary name, renamed over the old file (as a named
// temporary file is), which so stays whole until the new one replaces it.
Status PendingFile::LinkUnnamed() {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd_);
  const auto link = [&](const std::string& name) {
    return ::linkat(AT_FDCWD, path, dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  };
  if (link(finalName_)) return Status::Ok;
  int e = errno;
  if (e != EEXIST) return CreateErrorFor(e);
  // Nobody else has this file: the lock is free, and covers the temporary name.
  ::flock(fd_, LOCK_EX | LOCK_NB);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string name = TemporaryName(finalName_);
    if (link(name)) {
      tempName_ = name;  // removed by Discard if the rename fails
      if (::renameat(dirFd_, name.c_str(), dirFd_, finalName_.c_str()) != 0) {
        return Status::OpenFailed;
      }
      tempName_.clear();
      return Status::Ok;
    }
    e = errno;
    if (e != EEXIST) break;
  }
  return CreateErrorFor(e);
}

}  // namespace ace

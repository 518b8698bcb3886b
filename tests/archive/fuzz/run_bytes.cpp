#include "run_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "unace.h"

namespace acefuzz {
namespace {

int KeepGoing(void*, const char*, int mode) { return mode; }
int Count(void* ctx, const std::uint8_t*, std::int32_t count) {
  *static_cast<std::int64_t*>(ctx) += count;
  return 1;
}

// The archive must be a named file; one per process, rewritten for every input.
const std::string& InputPath() {
  static const std::string path = "/tmp/ace-fuzz-input-" + std::to_string(::getpid()) + ".ace";
  return path;
}

}  // namespace

RunResult RunArchiveBytes(const std::uint8_t* data, std::size_t size, const char* password) {
  const std::string& path = InputPath();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += std::size_t(n);
  }
  ::close(fd);

  // The walk over the headers that the installer makes before its first write.
  TACESetSummary summary;
  ACEScanArchive(path.c_str(), &summary);

  std::int64_t bytes = 0;
  TACEOpenArchiveData open;
  open.ArchivePath = path.c_str();
  open.VolumeCallback = KeepGoing;
  open.DataCallback = Count;
  open.CallbackContext = &bytes;
  TACEHandle h = ACEOpenArchive(&open);
  RunResult r;
  if (open.Status == ACE_OK) {
    if (password) ACESetPassword(h, password);
    TACEHeaderData header;
    while (ACEReadHeader(h, &header) == ACE_OK && r.entries < 100000) {
      const bool test = r.entries % 3 != 2;
      const int code = ACEProcessFile(h, test ? ACE_TEST : ACE_SKIP, "");
      r.tested += test;
      r.passed += test && code == ACE_OK;
      ++r.entries;
    }
  }
  ACECloseArchive(h);
  ::unlink(path.c_str());
  return r;
}

int RunArchiveBytes(const std::uint8_t* data, std::size_t size) {
  return RunArchiveBytes(data, size, nullptr).entries;
}

RunResult RunPasswordTail(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  std::size_t length = data[size - 1];
  if (length > size - 1) length = size - 1;
  const std::size_t archive = size - 1 - length;
  const std::string password(reinterpret_cast<const char*>(data + archive), length);
  return RunArchiveBytes(data, archive, password.c_str());
}

}  // namespace acefuzz

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

int RunArchiveBytes(const std::uint8_t* data, std::size_t size) {
  const std::string& path = InputPath();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
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
  int entries = 0;
  if (open.Status == ACE_OK) {
    TACEHeaderData header;
    while (ACEReadHeader(h, &header) == ACE_OK && entries < 100000) {
      ACEProcessFile(h, entries % 3 == 2 ? ACE_SKIP : ACE_TEST, "");
      ++entries;
    }
  }
  ACECloseArchive(h);
  ::unlink(path.c_str());
  return entries;
}

}  // namespace acefuzz

#include "read_ahead_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ace {

void ReadAheadFile::Reset(int fd) {
  Close();
  fd_ = fd;
}

void ReadAheadFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  bufferSize_ = 0;
}

ssize_t ReadAheadFile::ReadSome(std::uint8_t* out, std::size_t n, std::uint64_t offset) {
  if (n == 0) return 0;
  if (offset >= bufferStart_ && offset - bufferStart_ < bufferSize_) {
    const std::size_t at = std::size_t(offset - bufferStart_);
    const std::size_t k = n < bufferSize_ - at ? n : bufferSize_ - at;
    std::memcpy(out, buffer_.get() + at, k);
    return ssize_t(k);
  }
  for (;;) {
    ssize_t got;
    if (n >= kBufferSize / 2) {
      // Copying through the buffer would only cost time.
      got = ::pread(fd_, out, n, off_t(offset));
    } else {
      if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
      bufferSize_ = 0;
      got = ::pread(fd_, buffer_.get(), kBufferSize, off_t(offset));
      if (got > 0) {
        bufferStart_ = offset;
        bufferSize_ = std::size_t(got);
        const std::size_t k = n < bufferSize_ ? n : bufferSize_;
        std::memcpy(out, buffer_.get(), k);
        return ssize_t(k);
      }
    }
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

bool ReadAheadFile::ReadFully(std::uint8_t* out, std::size_t n, std::uint64_t offset) {
  while (n) {
    const ssize_t got = ReadSome(out, n, offset);
    if (got <= 0) return false;
    out += got;
    n -= std::size_t(got);
    offset += std::uint64_t(got);
  }
  return true;
}

}  // namespace ace

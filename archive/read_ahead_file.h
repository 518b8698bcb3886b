// A file read at given offsets through a buffer: walking an archive makes many
// small reads (block headers, the packed data of small entries, close together),
// which one larger read serves. Large reads go straight to the file.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ace {

class ReadAheadFile {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  ReadAheadFile() = default;
  ~ReadAheadFile() { Close(); }
  ReadAheadFile(const ReadAheadFile&) = delete;
  ReadAheadFile& operator=(const ReadAheadFile&) = delete;

  // Takes over an open descriptor (closing the one held before).
  void Reset(int fd);
  void Close();
  int fd() const { return fd_; }

  // Up to n bytes at `offset`: more than 0 while the file has them, 0 at its end,
  // -1 on a read error.
  ssize_t ReadSome(std::uint8_t* out, std::size_t n, std::uint64_t offset);
  // Exactly n bytes at `offset`; false when the file has fewer or cannot be read.
  bool ReadFully(std::uint8_t* out, std::size_t n, std::uint64_t offset);

 private:
  int fd_ = -1;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::size_t bufferSize_ = 0;     // valid bytes in buffer_
};

}  // namespace ace

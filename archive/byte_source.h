// Where packed bytes come from: the data areas of an entry's segments (spanning
// volumes), or a memory buffer in tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ace {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `capacity` bytes into `out`; 0 means the packed data has ended
  // (or could not be read: the owner of the source knows which).
  virtual std::size_t Read(std::uint8_t* out, std::size_t capacity) = 0;
};

class MemorySource final : public ByteSource {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(std::uint8_t* out, std::size_t capacity) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace ace

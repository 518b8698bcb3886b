#include "bit_reader.h"

#include <cstring>

namespace ace {

std::size_t MemorySource::Read(std::uint8_t* out, std::size_t capacity) {
  std::size_t n = size_ - pos_ < capacity ? size_ - pos_ : capacity;
  if (n) std::memcpy(out, data_ + pos_, n);
  pos_ += n;
  return n;
}

BitReader::BitReader(ByteSource* source)
    : source_(source), buffer_(new std::uint8_t[kBufferSize]) {}

bool BitReader::Reload() {
  std::size_t left = end_ - pos_;
  if (left) std::memmove(buffer_.get(), buffer_.get() + pos_, left);
  pos_ = 0;
  end_ = left;
  while (end_ < 4 && !sourceDone_) {
    std::size_t got = source_->Read(buffer_.get() + end_, kBufferSize - end_);
    if (got == 0) sourceDone_ = true;
    end_ += got;
  }
  return end_ > 0;
}

void BitReader::FillFromSource() {
  while (count_ <= 32) {
    if (end_ - pos_ < 4 && !Reload()) return;
    const std::uint8_t* p = buffer_.get() + pos_;
    std::uint32_t word;
    std::size_t avail = end_ - pos_;
    if (avail >= 4) {
      word = LittleEndianWord(p);
      pos_ += 4;
    } else {
      // A stream that does not end on a word: the missing bytes are zero and
      // become the word's high-order (earliest) bits.
      word = 0;
      for (std::size_t k = 0; k < avail; ++k) word |= std::uint32_t(p[k]) << (8 * k);
      pos_ = end_;
    }
    bits_ |= std::uint64_t(word) << (32 - count_);
    count_ += 32;
  }
}

}  // namespace ace

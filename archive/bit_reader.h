// Reads the packed bit stream: 32-bit little-endian words, each consumed from its
// top bit down. Peeking past the end yields zero bits; consuming past the end sets a
// sticky overflow flag that the decoders check once per step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "byte_source.h"

namespace ace {

// The stream's 32-bit words are little-endian.
inline std::uint32_t LittleEndianWord(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

class BitReader {
 public:
  explicit BitReader(ByteSource* source);

  // Next n bits (0 <= n <= 32) without consuming them.
  std::uint32_t Peek(int n) {
    if (count_ < n) Fill();
    // Two shifts, so that n == 0 needs no test (a shift by 64 would be undefined).
    return std::uint32_t((bits_ >> (63 - n)) >> 1);
  }
  void Skip(int n) {
    if (count_ < n) {
      Fill();
      if (count_ < n) {
        overflow_ = true;
        bits_ = 0;
        count_ = 0;
        return;
      }
    }
    bits_ <<= n;
    count_ -= n;
  }
  std::uint32_t Read(int n) {
    std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  // Makes at least 33 bits available when the stream still has them.
  void Fill() {
    while (count_ <= 32 && end_ - pos_ >= 4) {
      const std::uint32_t word = LittleEndianWord(buffer_.get() + pos_);
      pos_ += 4;
      bits_ |= std::uint64_t(word) << (32 - count_);
      count_ += 32;
    }
    if (count_ <= 32) FillFromSource();
  }

  bool overflow() const { return overflow_; }

 private:
  friend class BitCursor;
  bool Reload();
  void FillFromSource();

  static constexpr std::size_t kBufferSize = 64 * 1024;
  ByteSource* source_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool sourceDone_ = false;
  std::uint64_t bits_ = 0;  // MSB-aligned; bits below the valid ones are zero
  int count_ = 0;
  bool overflow_ = false;
};

// The reader's state taken into locals for a hot decode loop, where stores through
// byte pointers would otherwise make the compiler reload the reader's fields after
// every output byte. A cursor refills straight from the reader's buffer while eight
// bytes are left there and hands everything else to the reader, so it reads exactly
// what the reader would. While a cursor is alive only the cursor may be used; to
// call something that takes the reader, Commit first and Load after.
class BitCursor {
 public:
  explicit BitCursor(BitReader& br) : br_(br) { Load(); }
  ~BitCursor() { Commit(); }
  BitCursor(const BitCursor&) = delete;
  BitCursor& operator=(const BitCursor&) = delete;

  std::uint32_t Peek(int n) {
    if (count_ < n) Fill();
    return std::uint32_t((bits_ >> (63 - n)) >> 1);
  }
  void Skip(int n) {
    if (count_ < n) [[unlikely]] {
      SkipThroughReader(n);
      return;
    }
    bits_ <<= n;
    count_ -= n;
  }
  std::uint32_t Read(int n) {
    std::uint32_t v = Peek(n);
    Skip(n);
    return v;
  }
  void Fill() {
    if (end_ - next_ >= 8) [[likely]] {
      // At most two words: count_ is at least 0.
      while (count_ <= 32) {
        const std::uint32_t word = LittleEndianWord(next_);
        next_ += 4;
        bits_ |= std::uint64_t(word) << (32 - count_);
        count_ += 32;
      }
      return;
    }
    FillThroughReader();
  }
  // Makes at least 32 bits available while the buffer has eight bytes left, like
  // Fill but without a branch on the count: before each symbol of a decode loop,
  // where the lengths of the codes just read make that branch hard to guess.
  // Elsewhere it falls back to Fill.
  void TopUp() {
    if (end_ - next_ >= 8) [[likely]] {
      const std::uint64_t word = LittleEndianWord(next_);
      const std::uint64_t low = count_ <= 32 ? ~std::uint64_t{0} : 0;
      bits_ |= (word << ((32 - count_) & 63)) & low;
      next_ += low & 4;
      count_ += int(low & 32);
      return;
    }
    if (count_ <= 32) FillThroughReader();
  }
  bool overflow() const { return overflow_; }
  BitReader& reader() { return br_; }

  // For codes read by hand: makes at least 33 bits available when the stream still
  // has them; window() holds them from its top bit down (zero past the end), and
  // Consume takes up to available() of them without checks.
  void Ensure33() {
    if (count_ <= 32) Fill();
  }
  std::uint64_t window() const { return bits_; }
  int available() const { return count_; }
  void Consume(int n) {
    bits_ <<= n;
    count_ -= n;
  }

  void Commit() {
    br_.bits_ = bits_;
    br_.count_ = count_;
    br_.pos_ = std::size_t(next_ - br_.buffer_.get());
  }
  void Load() {
    next_ = br_.buffer_.get() + br_.pos_;
    end_ = br_.buffer_.get() + br_.end_;
    bits_ = br_.bits_;
    count_ = br_.count_;
    overflow_ = br_.overflow_;
  }

 private:
  // The rare paths stay out of line, so that the loops keep their registers.
  __attribute__((noinline)) void SkipThroughReader(int n) {
    Commit();
    br_.Skip(n);
    Load();
  }
  __attribute__((noinline)) void FillThroughReader() {
    Commit();
    br_.Fill();
    Load();
  }

  BitReader& br_;
  const std::uint8_t* next_ = nullptr;
  const std::uint8_t* end_ = nullptr;
  std::uint64_t bits_ = 0;
  int count_ = 0;
  bool overflow_ = false;
};

}  // namespace ace

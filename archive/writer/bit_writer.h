// Packs bits the way the archive's reader takes them: 32-bit little-endian words,
// each filled from its most significant bit down.
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

namespace acewriter {

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // Appends the low `count` bits of `value`, most significant first (count <= 32).
  void Put(std::uint32_t value, int count) {
    assert(count >= 0 && count <= 32);
    if (count == 0) return;
    value &= count == 32 ? 0xFFFFFFFFu : ((1u << count) - 1u);
    acc_ = (acc_ << count) | value;
    bits_ += count;
    if (bits_ >= 32) {
      bits_ -= 32;
      EmitWord(static_cast<std::uint32_t>(acc_ >> bits_));
      acc_ &= (std::uint64_t{1} << bits_) - 1u;
    }
  }

  // Completes the current word with zero bits (no-op on a word boundary).
  void PadToWord() {
    if (bits_ > 0) Put(0, 32 - bits_);
  }

  int PendingBits() const { return bits_; }

 private:
  void EmitWord(std::uint32_t w) {
    out_.push_back(static_cast<std::uint8_t>(w));
    out_.push_back(static_cast<std::uint8_t>(w >> 8));
    out_.push_back(static_cast<std::uint8_t>(w >> 16));
    out_.push_back(static_cast<std::uint8_t>(w >> 24));
  }

  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
};

}  // namespace acewriter

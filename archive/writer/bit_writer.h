// Packs bits the way the archive's reader takes them: 32-bit little-endian words,
// each filled from its most significant bit down.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ace::writer {

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

  // Appends the first `count` bits of a stream packed the same way (whole words;
  // the bits of the last word past `count` are ignored). A stream that begins on a
  // word boundary is copied as it is.
  void PutWords(std::span<const std::uint8_t> words, std::uint64_t count) {
    assert(words.size() % 4 == 0 && count <= std::uint64_t{words.size()} * 8);
    const std::size_t whole = static_cast<std::size_t>(count / 32);
    if (bits_ == 0) {
      out_.insert(out_.end(), words.begin(), words.begin() + static_cast<std::ptrdiff_t>(whole * 4));
    } else {
      for (std::size_t w = 0; w < whole; ++w) Put(WordAt(words, w), 32);
    }
    const int rest = static_cast<int>(count % 32);
    if (rest) Put(WordAt(words, whole) >> (32 - rest), rest);
  }

 private:
  static std::uint32_t WordAt(std::span<const std::uint8_t> words, std::size_t w) {
    const std::uint8_t* b = words.data() + 4 * w;
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
  }

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

}  // namespace ace::writer

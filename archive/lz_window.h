// The history shared by all entries of an archive: a circular buffer of 8 MiB,
// twice the largest dictionary, so that every dictionary leaves the copies their
// slack (see CopyWithSlack). pos() counts every byte ever put in, so positions stay
// comparable across entries of a solid stream. Only the pages the entries reach
// are ever touched.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

namespace ace {

class LzWindow {
 public:
  static constexpr std::uint32_t kSize = 1u << 23;
  static constexpr std::uint32_t kMask = kSize - 1;

  // Not cleared: every copy is checked to reach only bytes written before it.
  LzWindow() : data_(std::make_unique_for_overwrite<std::uint8_t[]>(kSize)) {}

  std::uint64_t pos() const { return pos_; }
  // For decode loops that keep the position in a register and write back.
  std::uint8_t* data() { return data_.get(); }
  void set_pos(std::uint64_t p) { pos_ = p; }
  void Put(std::uint8_t b) { data_[std::uint32_t(pos_++) & kMask] = b; }
  void PutBytes(const std::uint8_t* p, std::size_t n);
  std::uint8_t At(std::uint64_t position) const { return data_[std::uint32_t(position) & kMask]; }

  // Appends `length` bytes copied from `distance` bytes back (1 <= distance <= kSize).
  // The copy may overlap itself; callers have checked the distance.
  void Copy(std::uint32_t distance, std::uint32_t length) {
    CopyWithin(data_.get(), std::uint32_t(pos_) & kMask, distance, length);
    pos_ += length;
  }

  // The copy of a match in a window buffer: `length` bytes to offset `dst` from
  // `distance` bytes before it, as if byte by byte (so a short distance repeats).
  // Writes nothing outside the match, since the bytes after it are the oldest
  // history and a later match may still reach them.
  __attribute__((always_inline)) static void CopyWithin(std::uint8_t* data, std::uint32_t dst, std::uint32_t distance,
                         std::uint32_t length) {
    const std::uint32_t src = (dst - distance) & kMask;
    if (src == dst) return;  // a whole window back: every byte is already itself
    if (dst + length > kSize || src + length > kSize) {
      for (std::uint32_t k = 0; k < length; ++k) data[(dst + k) & kMask] = data[(src + k) & kMask];
      return;
    }
    std::uint8_t* o = data + dst;
    const std::uint8_t* i = data + src;
    if (distance >= length) {
      // Apart: two overlapping fixed-size moves cover short lengths exactly.
      if (length >= 8 && length <= 16) {
        std::uint64_t a, b;
        std::memcpy(&a, i, 8);
        std::memcpy(&b, i + length - 8, 8);
        std::memcpy(o, &a, 8);
        std::memcpy(o + length - 8, &b, 8);
      } else if (length >= 4 && length < 8) {
        std::uint32_t a, b;
        std::memcpy(&a, i, 4);
        std::memcpy(&b, i + length - 4, 4);
        std::memcpy(o, &a, 4);
        std::memcpy(o + length - 4, &b, 4);
      } else if (length < 4) {
        for (std::uint32_t k = 0; k < length; ++k) o[k] = i[k];
      } else if (length <= 256) {
        // 16-byte moves, the last one overlapping: a library copy of a variable
        // length costs more to start than these take.
        std::uint8_t last[16];
        std::memcpy(last, i + length - 16, 16);
        for (std::uint32_t k = 0; k + 16 < length; k += 16) std::memcpy(o + k, i + k, 16);
        std::memcpy(o + length - 16, last, 16);
      } else {
        std::memcpy(o, i, length);
      }
    } else if (distance >= 8) {
      // Forward in 8-byte steps: each step reads only bytes already written.
      std::uint32_t k = 0;
      for (; k + 8 <= length; k += 8) std::memcpy(o + k, i + k, 8);
      for (; k < length; ++k) o[k] = i[k];
    } else {
      for (std::uint32_t k = 0; k < length; ++k) o[k] = i[k];
    }
  }

  // The same copy (of at least one byte) for decoders whose matches cannot reach
  // as far back as a whole window less kSlack bytes: a match's last 16-byte move
  // may then write up to 15 bytes past its end, into history no match can reach
  // any more, which the next bytes overwrite. Moving whole 16-byte pieces spares
  // the branches on the length, which the data makes hard to guess.
  static constexpr std::uint32_t kSlack = 64;
  __attribute__((always_inline)) static void CopyWithSlack(std::uint8_t* data, std::uint32_t dst,
                                                           std::uint32_t distance, std::uint32_t length) {
    const std::uint32_t src = (dst - distance) & kMask;
    if (distance >= 16 && dst + length + 16 <= kSize && src + length + 16 <= kSize) [[likely]] {
      std::uint8_t* o = data + dst;
      const std::uint8_t* i = data + src;
      // Each piece reads only bytes already final: they end at least 16 bytes
      // before the piece written.
      std::memcpy(o, i, 16);
      for (std::uint32_t k = 16; k < length; k += 16) std::memcpy(o + k, i + k, 16);
      return;
    }
    CopyWithin(data, dst, distance, length);
  }

  // Calls f(pointer, size) for the one or two contiguous spans of [from, to); the
  // range must still be in the window (to - from <= kSize).
  template <class F>
  void ForEachSpan(std::uint64_t from, std::uint64_t to, F&& f) const {
    while (from < to) {
      std::uint32_t start = std::uint32_t(from) & kMask;
      std::uint64_t n = to - from;
      if (n > kSize - start) n = kSize - start;
      f(data_.get() + start, std::size_t(n));
      from += n;
    }
  }

 private:
  std::unique_ptr<std::uint8_t[]> data_;
  std::uint64_t pos_ = 0;
};

inline void LzWindow::PutBytes(const std::uint8_t* p, std::size_t n) {
  while (n) {
    std::uint32_t start = std::uint32_t(pos_) & kMask;
    std::size_t k = n < kSize - start ? n : kSize - start;
    std::memcpy(data_.get() + start, p, k);
    pos_ += k;
    p += k;
    n -= k;
  }
}

}  // namespace ace

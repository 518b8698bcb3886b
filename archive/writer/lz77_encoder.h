// The LZ77 compressor of the archive's method 1: hash-chain match finding with
// lazy evaluation priced by the previous code group's widths, code groups of up to
// 32767 main symbols, each with its own main and length codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace acewriter {

// Fills up to `capacity` bytes at `dst` and answers how many; 0 means no more data.
using ByteReader = std::function<std::size_t(std::uint8_t* dst, std::size_t capacity)>;
// Receives packed bytes in order; every call but the entry's last carries whole words.
using PackedSink = std::function<void(std::span<const std::uint8_t>)>;

class Lz77Encoder {
 public:
  // dictionaryBits 10..22 (1 KiB .. 4 MiB); level 1 (fastest) .. 5 (best).
  Lz77Encoder(int dictionaryBits, int level);
  ~Lz77Encoder();
  Lz77Encoder(const Lz77Encoder&) = delete;
  Lz77Encoder& operator=(const Lz77Encoder&) = delete;

  // The next entry must not refer to bytes before its own start (non-solid entries).
  void StartIndependentEntry();

  // Compresses exactly `size` bytes taken from `read` and hands the packed stream
  // (a whole number of 32-bit words) to `sink`. Throws std::runtime_error if the
  // reader ends before `size` bytes. The bytes stay in the history afterwards.
  void Encode(std::uint64_t size, const ByteReader& read, const PackedSink& sink);

  // Appends bytes that were stored without compression to the history, so that a
  // later entry of a solid stream may refer to them.
  void AddHistory(std::span<const std::uint8_t> bytes);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace acewriter

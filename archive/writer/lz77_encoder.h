// The LZ77 compressor of the archive's method 1: hash-chain match finding with
// lazy evaluation priced by the previous code group's widths, code groups of up to
// 32767 main symbols, each with its own main and length codes.
//
// An entry's packed stream may be made of pieces encoded apart (on other threads)
// and joined bit to bit: every piece begins a code group of its own, and a piece
// that does not begin its entry leaves the distance history, which the decoder
// carries over from the piece before, alone until it has set it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace ace::writer {

// Fills up to `capacity` bytes at `dst` and answers how many; 0 means no more data.
using ByteReader = std::function<std::size_t(std::uint8_t* dst, std::size_t capacity)>;

// A piece of a packed stream: 32-bit words as the reader takes them; the last word
// may hold fewer than 32 bits of the stream (`bits` counts them all), the rest zero.
struct PackedBits {
  std::vector<std::uint8_t> bytes;
  std::uint64_t bits = 0;
};

class Lz77Encoder {
 public:
  // dictionaryBits 10..22 (1 KiB .. 4 MiB); level 1 (fastest) .. 5 (best).
  Lz77Encoder(int dictionaryBits, int level);
  ~Lz77Encoder();
  Lz77Encoder(const Lz77Encoder&) = delete;
  Lz77Encoder& operator=(const Lz77Encoder&) = delete;

  // Forgets the history and everything learnt from earlier data: what follows is
  // encoded exactly as a newly made encoder would encode it.
  void Restart();

  // The next entry must not refer to bytes before its own start (non-solid entries).
  void StartIndependentEntry();

  // Compresses exactly `size` bytes taken from `read` into `out` (replacing its
  // contents), as one piece of an entry's packed stream. The piece starts a code
  // group. `entryStart`: it begins the entry, whose distance history starts as four
  // zeros; otherwise the history is the unknown one left by the piece before.
  // `entryEnd`: the stream is completed to a whole word. Throws std::runtime_error
  // if the reader ends before `size` bytes. The bytes stay in the history afterwards.
  void EncodePiece(std::uint64_t size, const ByteReader& read, bool entryStart, bool entryEnd, PackedBits& out);

  // Appends bytes that were stored without compression to the history, so that a
  // later entry of a solid stream may refer to them.
  void AddHistory(std::span<const std::uint8_t> bytes);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace ace::writer

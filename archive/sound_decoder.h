// SOUND sections: per-channel adaptive prediction with Huffman-coded residuals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "bit_reader.h"
#include "huffman.h"

namespace ace {

class SoundDecoder {
 public:
  static constexpr int kModeSymbol = 288;

  // mode 3..6: 8-bit mono, 16-bit stereo, 32-bit variants A and B.
  explicit SoundDecoder(int mode);

  enum class Result { Byte, ModeInstruction, Error };
  // Decodes up to `capacity` bytes of the section into `out`, the first being byte
  // `indexInSection` of it (counted from 0 per section), stopping early at a mode
  // instruction or an error, which the result tells; `produced` gets the bytes
  // decoded.
  Result Decode(BitReader& br, std::uint64_t indexInSection, std::uint8_t* out,
                std::size_t capacity, std::size_t& produced);

 private:
  struct Channel {
    enum { kNormal, kRun, kAfter } state = kNormal;
    int run = 0;
    int adapt = 0;
    int model = 0;  // 0 or 1: which of the first two models NORMAL reads with
    int last = 0;   // previous sample, signed byte
    std::array<int, 4> delta{};
    std::array<int, 4> coef{};
    std::array<int, 4> errMinus{};  // sums of |u - delta[k]|: even error numbers 2k
    std::array<int, 4> errPlus{};   // sums of |u + delta[k]|: odd error numbers 2k + 1
    int errZero = 0;                // sum of |u|: error number 8
    std::array<int, 2> cost{};
    std::array<int, 2> snap{};
    std::uint32_t count = 0;
  };

  // The next byte of channel c (number ch).
  Result NextByte(BitCursor& br, Channel& c, int ch, int& out);
  int ReadSymbol(BitCursor& br, int model);
  __attribute__((noinline)) bool ReadGroup(BitCursor& br);
  void Update(Channel& c, int predicted, int outByte);

  // Decode for the modes whose bytes go to channels kC0..kC3 in turn, and for the
  // one-channel mode.
  template <int kC0, int kC1, int kC2, int kC3>
  Result DecodeInPattern(BitCursor& bits, std::uint64_t index, std::uint8_t* out, std::size_t capacity,
                         std::size_t& produced);
  Result DecodeOneChannel(BitCursor& bits, std::uint8_t* out, std::size_t capacity, std::size_t& produced);

  int mode_;
  int channels_;
  std::array<HuffmanTable, 9> models_;
  std::array<Channel, 3> state_;
  std::uint32_t groupCount_ = 0;
};

}  // namespace ace

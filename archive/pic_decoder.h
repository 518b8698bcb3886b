// PIC sections: rows of interleaved planes, each pixel predicted from its
// neighbours in a context-chosen way, residuals coded with Golomb-Rice codes.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "bit_reader.h"

namespace ace {

class PicDecoder {
 public:
  // Largest accepted row (width + planes), so that a row fits the window easily.
  static constexpr std::uint32_t kMaxRow = 1u << 20;

  // Reads width and plane count. False when they are invalid or too large, or
  // when `maxWidth` (the bytes the entry still needs) is smaller than the width.
  bool Start(BitReader& br, std::uint64_t maxWidth);

  enum class Result { Row, ModeInstruction, Error };
  // Reads the row marker and, when a row follows, decodes it into row().
  Result NextRow(BitReader& br);

  const std::uint8_t* row() const { return prev_.data(); }
  std::uint32_t width() const { return width_; }

 private:
  struct Context {
    int uses = 0;
    int average = 4;
    int predictor = 0;
    std::uint32_t errors = 0;  // four error counters, counter i in byte i
    // The Rice parameter of its next use, RiceParameter(average, uses + 1), kept up
    // to date so that a pixel need not wait for it: bitlen(4 / 1) when fresh.
    int rice = 3;
  };
  template <int kKind>
  bool DecodePlane(BitReader& br, std::uint32_t plane);

  std::uint32_t width_ = 0;
  std::uint32_t planes_ = 0;
  std::vector<Context> first_;
  std::vector<Context> shared_;
  std::vector<std::uint8_t> prev_;
  std::vector<std::uint8_t> row_;
  std::vector<std::uint32_t> near_;  // per plane: what the previous row gives each pixel
};

// The Rice parameter of a context: bitlen(average / uses), for uses >= 1 and an
// average >= 0.
int RiceParameter(int average, int uses);

// Unsigned Golomb-Rice value with parameter k; false when the value would pass
// `limit` (which also ends endless unary runs in corrupt data). `Bits` is a
// BitReader or a BitCursor.
template <class Bits>
__attribute__((always_inline)) inline bool ReadGolombRice(Bits& br, int k, std::uint32_t limit, std::uint32_t& value) {
  std::uint32_t v = br.Read(k);
  // The run of ones is counted in one look at the next 32 bits (zero past the end,
  // so a run never reaches beyond it); runs of 32 and more take the loop below.
  const int ones = std::countl_one(br.Peek(32));
  if (ones < 32 && k < 32) [[likely]] {
    if (v > limit) {  // over already: the next bit ends the reading either way
      if (ones == 0) value = v;
      br.Skip(1);
      return false;
    }
    // The first one that would take the value over the limit ends the reading there.
    const std::uint32_t allowed = (limit - v) >> k;
    if (std::uint32_t(ones) > allowed) {
      br.Skip(int(allowed) + 1);
      return false;
    }
    br.Skip(ones + 1);
    v += std::uint32_t(ones) << k;
    value = v;
    return !br.overflow();
  }
  while (br.Read(1) == 1) {
    if (br.overflow()) return false;
    v += 1u << k;
    if (v > limit) return false;
  }
  value = v;
  return !br.overflow() && v <= limit;
}

}  // namespace ace

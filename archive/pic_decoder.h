// PIC sections: rows of interleaved planes, each pixel predicted from its
// neighbours in a context-chosen way, residuals coded with Golomb-Rice codes.
#pragma once

#include <array>
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
    std::array<int, 4> errors{};
  };
  bool DecodePlane(BitReader& br, std::uint32_t plane, int kind);

  std::uint32_t width_ = 0;
  std::uint32_t planes_ = 0;
  std::vector<Context> first_;
  std::vector<Context> shared_;
  std::vector<std::uint8_t> prev_;
  std::vector<std::uint8_t> row_;
};

// Unsigned Golomb-Rice value with parameter k; false when the value would pass
// `limit` (which also ends endless unary runs in corrupt data).
bool ReadGolombRice(BitReader& br, int k, std::uint32_t limit, std::uint32_t& value);

}  // namespace ace

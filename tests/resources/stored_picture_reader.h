// A small, strict reader of the stored picture form, written for the tests so that
// they check the bytes the program carries without trusting the code that made them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testing_art {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
  auto operator<=>(const Rgb&) const = default;
};

struct DecodedPicture {
  std::string className;
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 0;
  std::uint16_t bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t imageSize = 0;
  std::int32_t xResolution = 0;
  std::int32_t yResolution = 0;
  std::uint32_t coloursUsed = 0;
  std::uint32_t coloursImportant = 0;
  std::vector<Rgb> palette;
  std::vector<std::uint8_t> reservedBytes;   // the fourth byte of each palette entry
  std::vector<std::uint8_t> index;           // width * height, top row first
  std::size_t paddingNonZero = 0;            // padding bytes that are not 0

  std::uint8_t IndexAt(int x, int y) const { return index[static_cast<std::size_t>(y) * width + x]; }
  Rgb At(int x, int y) const { return palette[IndexAt(x, y)]; }
};

// Reads a stored picture (class name byte, name, 40-byte header, palette, bottom-up
// rows of 4 or 8 bits); nothing on anything it does not expect, including a length
// that differs from what the header implies.
std::optional<DecodedPicture> Decode(std::span<const std::uint8_t> stored);

}  // namespace testing_art

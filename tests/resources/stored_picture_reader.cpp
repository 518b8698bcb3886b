#include "stored_picture_reader.h"

namespace testing_art {
namespace {

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

}  // namespace

std::optional<DecodedPicture> Decode(std::span<const std::uint8_t> b) {
  if (b.size() < 1 || b.size() < 1u + b[0] + 40u) return std::nullopt;
  DecodedPicture p;
  p.className.assign(reinterpret_cast<const char*>(b.data() + 1), b[0]);
  const std::size_t h = 1u + b[0];
  p.headerSize = U32(b, h);
  if (p.headerSize != 40) return std::nullopt;
  p.width = static_cast<std::int32_t>(U32(b, h + 4));
  p.height = static_cast<std::int32_t>(U32(b, h + 8));
  p.planes = U16(b, h + 12);
  p.bits = U16(b, h + 14);
  p.compression = U32(b, h + 16);
  p.imageSize = U32(b, h + 20);
  p.xResolution = static_cast<std::int32_t>(U32(b, h + 24));
  p.yResolution = static_cast<std::int32_t>(U32(b, h + 28));
  p.coloursUsed = U32(b, h + 32);
  p.coloursImportant = U32(b, h + 36);
  if ((p.bits != 4 && p.bits != 8) || p.width <= 0 || p.height <= 0 || p.width > 4096 || p.height > 4096)
    return std::nullopt;
  const std::size_t colours = p.coloursUsed ? p.coloursUsed : (std::size_t{1} << p.bits);
  const std::size_t stride = ((static_cast<std::size_t>(p.bits) * p.width + 31) / 32) * 4;
  const std::size_t paletteAt = h + 40;
  const std::size_t pixelsAt = paletteAt + colours * 4;
  if (b.size() != pixelsAt + stride * static_cast<std::size_t>(p.height)) return std::nullopt;
  for (std::size_t i = 0; i < colours; ++i) {
    const std::size_t e = paletteAt + i * 4;
    p.palette.push_back({b[e + 2], b[e + 1], b[e]});
    p.reservedBytes.push_back(b[e + 3]);
  }
  p.index.resize(static_cast<std::size_t>(p.width) * p.height);
  for (int row = 0; row < p.height; ++row) {
    const std::size_t at = pixelsAt + static_cast<std::size_t>(row) * stride;
    const int y = p.height - 1 - row;  // bottom-up
    for (int x = 0; x < p.width; ++x) {
      std::uint8_t v = p.bits == 8 ? b[at + x] : static_cast<std::uint8_t>(x % 2 == 0 ? b[at + x / 2] >> 4 : b[at + x / 2] & 0x0F);
      if (v >= colours) return std::nullopt;
      p.index[static_cast<std::size_t>(y) * p.width + x] = v;
    }
    const std::size_t used = p.bits == 8 ? static_cast<std::size_t>(p.width) : (static_cast<std::size_t>(p.width) + 1) / 2;
    for (std::size_t i = used; i < stride; ++i) p.paddingNonZero += b[at + i] != 0;
    if (p.bits == 4 && p.width % 2 == 1) p.paddingNonZero += (b[at + p.width / 2] & 0x0F) != 0;
  }
  return p;
}

}  // namespace testing_art

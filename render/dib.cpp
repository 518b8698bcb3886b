// Reading stored bitmap records and the picture holder.
#include "dib.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "exceptions.h"

namespace {

constexpr char kInvalidDib[] = "DIB is invalid";

// Reads little-endian values from an untrusted record; running past the end is a
// bad record, never a read out of bounds.
class TRecordReader {
 public:
  explicit TRecordReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

  std::size_t Left() const { return FBytes.size() - FPos; }
  void Need(std::uint64_t count) const {
    if (count > Left()) throw EInvalidGraphic(kInvalidDib);
  }
  std::uint16_t U16() {
    Need(2);
    const std::uint16_t v = std::uint16_t(FBytes[FPos] | (FBytes[FPos + 1] << 8));
    FPos += 2;
    return v;
  }
  std::uint32_t U32() {
    Need(4);
    const std::uint32_t v = std::uint32_t(FBytes[FPos]) | (std::uint32_t(FBytes[FPos + 1]) << 8) |
                            (std::uint32_t(FBytes[FPos + 2]) << 16) | (std::uint32_t(FBytes[FPos + 3]) << 24);
    FPos += 4;
    return v;
  }
  std::span<const std::uint8_t> Take(std::size_t count) {
    Need(count);
    auto part = FBytes.subspan(FPos, count);
    FPos += count;
    return part;
  }

 private:
  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
};

int StrideFor(int bits, int width) { return int(((std::int64_t(bits) * width + 31) / 32) * 4); }

bool IsAcceptedBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Writes one pixel index into a row of 4- or 8-bit pixels; positions outside the
// picture are dropped, as a lying run may point anywhere.
void PutIndex(std::vector<std::uint8_t>& bits, int stride, int width, int rowCount, int bitCount, int x,
              int row, int value) {
  if (x < 0 || x >= width || row < 0 || row >= rowCount) return;
  std::uint8_t& byte = bits[std::size_t(row) * std::size_t(stride) + std::size_t(bitCount == 8 ? x : x / 2)];
  if (bitCount == 8) {
    byte = std::uint8_t(value);
  } else if (x % 2 == 0) {
    byte = std::uint8_t((byte & 0x0F) | ((value & 0x0F) << 4));
  } else {
    byte = std::uint8_t((byte & 0xF0) | (value & 0x0F));
  }
}

// Expands run-length data (8-bit runs for bitCount 8, 4-bit runs for 4) into rows
// indexed from the first stored row. Missing data leaves pixels at index 0.
void ExpandRunLength(std::span<const std::uint8_t> data, int bitCount, int width, int rowCount, int stride,
                     std::vector<std::uint8_t>& bits) {
  std::size_t pos = 0;
  int x = 0;
  int row = 0;
  while (pos + 2 <= data.size() && row < rowCount) {
    const int count = data[pos];
    const int value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) {
        const int v = bitCount == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F);
        PutIndex(bits, stride, width, rowCount, bitCount, x, row, v);
        if (x < width) ++x;  // past the edge nothing more is written; keep x bounded
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++row;
        break;
      case 1:  // end of picture
        return;
      case 2:  // move right and up by the next two bytes
        if (pos + 2 > data.size()) return;
        x = std::min(x + data[pos], width);
        row += data[pos + 1];
        pos += 2;
        break;
      default: {  // a literal run of `value` pixels, padded to a 16-bit boundary
        const int literal = value;
        const std::size_t bytes = bitCount == 8 ? std::size_t(literal) : std::size_t(literal + 1) / 2;
        const std::size_t padded = (bytes + 1) & ~std::size_t(1);
        if (pos + bytes > data.size()) return;
        for (int i = 0; i < literal; ++i) {
          const std::uint8_t b = data[pos + (bitCount == 8 ? std::size_t(i) : std::size_t(i / 2))];
          const int v = bitCount == 8 ? b : (i % 2 == 0 ? b >> 4 : b & 0x0F);
          PutIndex(bits, stride, width, rowCount, bitCount, x, row, v);
          if (x < width) ++x;
        }
        pos += std::min(padded, data.size() - pos);
        break;
      }
    }
  }
}

}  // namespace

TDIB::TDIB(int width, int height, int bitCount) {
  if (!IsAcceptedBitCount(bitCount)) throw EInvalidGraphicOperation(FormatMessageInts("Bitcount in invalid (%d)", bitCount));
  if (width < 0 || height < 0 || width > kMaxDibSide || height > kMaxDibSide ||
      std::int64_t(width) * height > kMaxDibPixels)
    throw EInvalidGraphic(kInvalidDib);
  FWidth = width;
  FHeight = height;
  FBitCount = bitCount;
  FStride = StrideFor(bitCount, width);
  if (bitCount == 16) {
    FRedMask = 0x7C00, FGreenMask = 0x03E0, FBlueMask = 0x001F;
  } else if (bitCount == 32) {
    FRedMask = 0xFF0000, FGreenMask = 0x00FF00, FBlueMask = 0x0000FF;
  }
  if (bitCount <= 8) FPalette.assign(std::size_t(1) << bitCount, TRGBQuad{});
  FBits.assign(std::size_t(FStride) * std::size_t(height), 0);
}

TDIB TDIB::Read(std::span<const std::uint8_t> record) {
  TDIB dib;
  if (record.empty()) return dib;
  TRecordReader in(record);
  const std::uint32_t headerSize = in.U32();
  std::int64_t width = 0, height = 0;
  int bits = 0;
  std::uint32_t compression = 0, colorsUsed = 0, imageSize = 0;
  const bool core = headerSize == 12;
  if (headerSize == 40) {
    width = std::int32_t(in.U32());
    height = std::int32_t(in.U32());
    in.U16();  // planes
    bits = in.U16();
    compression = in.U32();
    imageSize = in.U32();
    in.U32();  // horizontal resolution
    in.U32();  // vertical resolution
    colorsUsed = in.U32();
    in.U32();  // colours important
  } else if (core) {
    width = in.U16();
    height = in.U16();
    in.U16();
    bits = in.U16();
  } else {
    throw EInvalidGraphic(kInvalidDib);
  }
  if (compression > 3) throw EInvalidGraphic(kInvalidDib);
  if (!IsAcceptedBitCount(bits)) throw EInvalidGraphicOperation(FormatMessageInts("Bitcount in invalid (%d)", bits));
  // Run-length data exists only for 8-bit (1) and 4-bit (2) pictures.
  if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4)) throw EInvalidGraphic(kInvalidDib);

  std::uint32_t red = 0, green = 0, blue = 0;
  if (compression == 3) {
    red = in.U32();
    green = in.U32();
    blue = in.U32();
  } else if (bits == 16) {
    red = 0x7C00, green = 0x03E0, blue = 0x001F;
  } else if (bits == 32) {
    red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
  }
  if (bits == 16) {
    const bool rgb555 = red == 0x7C00 && green == 0x03E0 && blue == 0x001F;
    const bool rgb565 = red == 0xF800 && green == 0x07E0 && blue == 0x001F;
    if (!rgb555 && !rgb565) throw EInvalidGraphicOperation("PixelFormat in invalid");
  }

  const bool topDown = height < 0;
  const std::int64_t rows = topDown ? -height : height;
  if (width < 0 || width > kMaxDibSide || rows > kMaxDibSide || rows * width > kMaxDibPixels)
    throw EInvalidGraphic(kInvalidDib);

  std::uint32_t paletteCount = colorsUsed != 0 ? colorsUsed : (bits <= 8 ? (1u << bits) : 0u);
  paletteCount = std::min<std::uint32_t>(paletteCount, 256);
  const int entrySize = core ? 3 : 4;
  const auto paletteBytes = in.Take(std::size_t(paletteCount) * std::size_t(entrySize));
  std::vector<TRGBQuad> palette(paletteCount);
  for (std::uint32_t i = 0; i < paletteCount; ++i) {
    const std::uint8_t* e = paletteBytes.data() + std::size_t(i) * std::size_t(entrySize);
    palette[i] = TRGBQuad{e[0], e[1], e[2], 0};
  }
  if (bits <= 8) palette.resize(std::size_t(1) << bits);

  const int stride = StrideFor(bits, int(width));
  std::vector<std::uint8_t> pixels;
  if (compression == 1 || compression == 2) {
    const auto packed = in.Take(imageSize);
    pixels.assign(std::size_t(stride) * std::size_t(rows), 0);
    ExpandRunLength(packed, bits, int(width), int(rows), stride, pixels);
    if (!topDown) {
      // Runs start at the bottom row; keep rows from the top in memory.
      for (std::int64_t r = 0; r < rows / 2; ++r) {
        std::swap_ranges(pixels.begin() + r * stride, pixels.begin() + (r + 1) * stride,
                         pixels.begin() + (rows - 1 - r) * stride);
      }
    }
  } else {
    const auto stored = in.Take(std::size_t(stride) * std::size_t(rows));
    pixels.resize(stored.size());
    for (std::int64_t r = 0; r < rows; ++r) {
      const std::int64_t from = topDown ? r : rows - 1 - r;
      if (stride > 0) std::memcpy(pixels.data() + r * stride, stored.data() + from * stride, std::size_t(stride));
    }
  }

  dib.FWidth = int(width);
  dib.FHeight = int(rows);
  dib.FBitCount = bits;
  dib.FStride = stride;
  dib.FRedMask = red;
  dib.FGreenMask = green;
  dib.FBlueMask = blue;
  dib.FPalette = std::move(palette);
  dib.FBits = std::move(pixels);
  return dib;
}

void TDIB::CheckPosition(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) throw EInvalidGraphicOperation("Pixel position out of range");
}

void TDIB::SetPaletteEntry(int index, TRGBQuad entry) {
  if (index < 0 || std::size_t(index) >= FPalette.size()) throw EInvalidGraphicOperation("Palette index out of range");
  FPalette[std::size_t(index)] = entry;
}

std::uint32_t TDIB::RawPixel(int x, int y) const {
  const std::uint8_t* row = Row(y);
  switch (FBitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4: return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0Fu;
    case 8: return row[x];
    case 16: return std::uint32_t(row[x * 2] | (row[x * 2 + 1] << 8));
    case 24: return std::uint32_t(row[x * 3]) | (std::uint32_t(row[x * 3 + 1]) << 8) | (std::uint32_t(row[x * 3 + 2]) << 16);
    default: {
      const std::uint8_t* p = row + std::size_t(x) * 4;
      return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
    }
  }
}

int TDIB::PixelIndex(int x, int y) const {
  CheckPosition(x, y);
  if (FBitCount > 8) throw EInvalidGraphicOperation("Picture has no palette indices");
  return int(RawPixel(x, y));
}

TColor TDIB::PixelColor(int x, int y) const {
  CheckPosition(x, y);
  const std::uint32_t raw = RawPixel(x, y);
  if (FBitCount <= 8) {
    const TRGBQuad& e = FPalette[raw];
    return RGB(e.Red, e.Green, e.Blue);
  }
  if (FBitCount == 24) return RGB(std::uint8_t(raw >> 16), std::uint8_t(raw >> 8), std::uint8_t(raw));
  return RGB(TChannel{FRedMask}.To8(raw), TChannel{FGreenMask}.To8(raw), TChannel{FBlueMask}.To8(raw));
}

void TDIB::SetPixelIndex(int x, int y, int index) {
  CheckPosition(x, y);
  if (FBitCount > 8) throw EInvalidGraphicOperation("Picture has no palette indices");
  std::uint8_t* row = FBits.data() + std::size_t(y) * std::size_t(FStride);
  switch (FBitCount) {
    case 1: {
      const std::uint8_t bit = std::uint8_t(0x80 >> (x % 8));
      row[x / 8] = std::uint8_t((index & 1) ? (row[x / 8] | bit) : (row[x / 8] & ~bit));
      break;
    }
    case 4:
      row[x / 2] = x % 2 == 0 ? std::uint8_t((row[x / 2] & 0x0F) | ((index & 0x0F) << 4))
                              : std::uint8_t((row[x / 2] & 0xF0) | (index & 0x0F));
      break;
    default: row[x] = std::uint8_t(index); break;
  }
}

void TDIB::SetPixelColor(int x, int y, TColor color) {
  CheckPosition(x, y);
  if (FBitCount <= 8) throw EInvalidGraphicOperation("Picture is palette-indexed");
  std::uint8_t* p = FBits.data() + std::size_t(y) * std::size_t(FStride) + std::size_t(x) * std::size_t(FBitCount / 8);
  const std::uint8_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  if (FBitCount == 24) {
    p[0] = b, p[1] = g, p[2] = r;
    return;
  }
  const std::uint32_t raw = TChannel{FRedMask}.From8(r) | TChannel{FGreenMask}.From8(g) | TChannel{FBlueMask}.From8(b);
  for (int i = 0; i < FBitCount / 8; ++i) p[i] = std::uint8_t(raw >> (8 * i));
}

TBitmap::TBitmap(int width, int height) {
  if (width < 0 || height < 0 || std::int64_t(width) * height > kMaxBitmapPixels)
    throw EInvalidGraphicOperation("Bitmap size out of range");
  FWidth = width;
  FHeight = height;
  FData.assign(std::size_t(width) * std::size_t(height) * 3, 0xFF);
}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) throw EInvalidGraphicOperation("Pixel position out of range");
  const std::uint8_t* p = FData.data() + (std::size_t(y) * std::size_t(FWidth) + std::size_t(x)) * 3;
  return RGB(p[0], p[1], p[2]);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) throw EInvalidGraphicOperation("Pixel position out of range");
  std::uint8_t* p = FData.data() + (std::size_t(y) * std::size_t(FWidth) + std::size_t(x)) * 3;
  p[0] = GetRValue(color), p[1] = GetGValue(color), p[2] = GetBValue(color);
}

bool TPicture::Empty() const { return Width() <= 0 || Height() <= 0; }

int TPicture::Width() const {
  if (auto d = Dib()) return d->Width();
  if (auto b = Bitmap()) return b->Width();
  return 0;
}

int TPicture::Height() const {
  if (auto d = Dib()) return d->Height();
  if (auto b = Bitmap()) return b->Height();
  return 0;
}

TColor TPicture::PixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
  if (auto d = Dib()) return d->PixelColor(x, y);
  return Bitmap()->Pixel(x, y);
}

TPicture ReadStoredPicture(std::span<const std::uint8_t> data) {
  if (data.empty()) return {};
  const std::size_t nameLength = data[0];
  if (data.size() < 1 + nameLength) return {};
  const std::string className(reinterpret_cast<const char*>(data.data() + 1), nameLength);
  if (strcasecmp(className.c_str(), "TDIB") != 0 || className.size() != 4) return {};
  return TPicture(TDIB::Read(data.subspan(1 + nameLength)));
}

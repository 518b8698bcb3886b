// Stored pictures: the device-independent bitmap record (`TDIB`), the plain 24-bit
// bitmap that decoded artwork becomes (`TBitmap`), and the picture holder
// (`TPicture`) that the picture list keeps for every entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "pixel_format.h"

// A device-independent bitmap as read from its stored record. The pixels are kept in
// their stored bit layout, one row after another from the top, each row padded to a
// multiple of four bytes; run-length records are expanded when they are read.
class TDIB {
 public:
  TDIB() = default;
  // An uncompressed picture of the given size and bit count (1, 4, 8, 16, 24, 32),
  // all pixels zero, with 2^bits black palette entries for bit counts up to 8.
  TDIB(int width, int height, int bitCount);

  // Reads one record (header, optional masks, palette, pixels). Raises
  // EInvalidGraphic or EInvalidGraphicOperation on a bad record; a record without
  // any byte gives an empty picture.
  static TDIB Read(std::span<const std::uint8_t> record);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitCount() const { return FBitCount; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  // Bytes per stored row.
  int Stride() const { return FStride; }
  // The channel masks used for 16- and 32-bit pixels.
  std::uint32_t RedMask() const { return FRedMask; }
  std::uint32_t GreenMask() const { return FGreenMask; }
  std::uint32_t BlueMask() const { return FBlueMask; }

  // 2^bits entries for bit counts up to 8; for more bits whatever the record held.
  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  void SetPaletteEntry(int index, TRGBQuad entry);

  // The palette index at (x, y), y counted from the top; only for up to 8 bits.
  int PixelIndex(int x, int y) const;
  // The colour at (x, y), y counted from the top, for any bit count.
  TColor PixelColor(int x, int y) const;
  // Writes a colour (RGB formats) or an index (up to 8 bits) at (x, y).
  void SetPixelColor(int x, int y, TColor color);
  void SetPixelIndex(int x, int y, int index);

  // Row y (from the top) in its stored layout.
  const std::uint8_t* Row(int y) const { return FBits.data() + std::size_t(y) * std::size_t(FStride); }

 private:
  std::uint32_t RawPixel(int x, int y) const;
  void CheckPosition(int x, int y) const;

  int FWidth = 0;
  int FHeight = 0;
  int FBitCount = 0;
  int FStride = 0;
  std::uint32_t FRedMask = 0, FGreenMask = 0, FBlueMask = 0;
  std::vector<TRGBQuad> FPalette;
  std::vector<std::uint8_t> FBits;
};

// A plain 24-bit RGB bitmap. Rows run from the top, three bytes per pixel in the
// order red, green, blue, no padding. A new bitmap is white.
class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  std::uint8_t* Data() { return FData.data(); }
  const std::uint8_t* Data() const { return FData.data(); }
  // Bytes per row (Width * 3).
  int Stride() const { return FWidth * 3; }

  // A bitmap may carry the palette it was quantised to (a grayscale picture, say);
  // the picture list's colour table takes its entries from it. Empty by default.
  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  void SetPalette(std::vector<TRGBQuad> palette) { FPalette = std::move(palette); }

 private:
  int FWidth = 0;
  int FHeight = 0;
  std::vector<std::uint8_t> FData;
  std::vector<TRGBQuad> FPalette;
};

// The picture holder of a picture-list entry: nothing, a TDIB or a TBitmap.
// Assigning copies the picture.
class TPicture {
 public:
  TPicture() = default;
  TPicture(TDIB dib) : FGraphic(std::move(dib)) {}
  TPicture(TBitmap bitmap) : FGraphic(std::move(bitmap)) {}

  bool Empty() const;
  int Width() const;
  int Height() const;
  void Clear() { FGraphic = std::monostate{}; }

  const TDIB* Dib() const { return std::get_if<TDIB>(&FGraphic); }
  const TBitmap* Bitmap() const { return std::get_if<TBitmap>(&FGraphic); }
  TDIB* Dib() { return std::get_if<TDIB>(&FGraphic); }
  TBitmap* Bitmap() { return std::get_if<TBitmap>(&FGraphic); }

  // The colour at (x, y) from the top; black outside the picture or when empty.
  TColor PixelColor(int x, int y) const;

 private:
  std::variant<std::monostate, TDIB, TBitmap> FGraphic;
};

// The stored form of a picture: one length byte, the picture's class name, then the
// record of that class. "TDIB" is the one registered class; any other class name, or
// no bytes at all, gives an empty picture.
TPicture ReadStoredPicture(std::span<const std::uint8_t> data);

// The largest stored picture the reader accepts, in pixels (4096 by 4096); larger
// records are refused before anything is allocated.
inline constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 24;
// Neither side may be longer than this either: a record of width 0 and a height of
// millions holds no pixels, but would still be walked row by row.
inline constexpr std::int64_t kMaxDibSide = 65536;
// The largest plain bitmap (a decoded artwork sheet may be big).
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t(1) << 26;

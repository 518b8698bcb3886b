// Pixel formats of the drawing surfaces and the small geometry types that the
// rendering layer shares.
#pragma once

#include <bit>
#include <cstdint>

// Left, top, right, bottom; right and bottom exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool Empty() const { return Left >= Right || Top >= Bottom; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, left + width, top + height};
}

// A toolkit colour: red in the lowest byte, then green, then blue.
using TColor = std::uint32_t;
constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr std::uint8_t GetRValue(TColor c) { return std::uint8_t(c); }
constexpr std::uint8_t GetGValue(TColor c) { return std::uint8_t(c >> 8); }
constexpr std::uint8_t GetBValue(TColor c) { return std::uint8_t(c >> 16); }

// One entry of a colour table: blue, green, red, reserved (1024 bytes per table).
struct TRGBQuad {
  std::uint8_t Blue = 0;
  std::uint8_t Green = 0;
  std::uint8_t Red = 0;
  std::uint8_t Reserved = 0;
  friend constexpr bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
using TColorTable = TRGBQuad[256];

// One channel of an RGB format, described by its mask.
struct TChannel {
  std::uint32_t Mask = 0;
  constexpr int Bits() const { return std::popcount(Mask); }
  constexpr int Low() const { return Mask ? std::countr_zero(Mask) : 0; }
  // Moves the channel's value so that its top bit lands on bit 7 of an 8-bit value.
  constexpr std::uint8_t To8(std::uint32_t pixel) const {
    if (!Mask) return 0;
    const int shift = Low() + Bits() - 8;
    const std::uint32_t v = pixel & Mask;
    return std::uint8_t(shift >= 0 ? v >> shift : v << -shift);
  }
  // The inverse: keeps the top bits of an 8-bit value.
  constexpr std::uint32_t From8(std::uint8_t value) const {
    if (!Mask) return 0;
    const int shift = Low() + Bits() - 8;
    const std::uint32_t v = shift >= 0 ? std::uint32_t(value) << shift : std::uint32_t(value) >> -shift;
    return v & Mask;
  }
};

// The layout of one pixel. Palette-indexed formats have no channel masks.
struct TPixelFormat {
  int BitsPerPixel = 0;
  bool Indexed = false;
  TChannel Red, Green, Blue, Alpha;

  constexpr int BytesPerPixel() const { return (BitsPerPixel + 7) / 8; }
  friend constexpr bool operator==(const TPixelFormat& a, const TPixelFormat& b) {
    return a.BitsPerPixel == b.BitsPerPixel && a.Indexed == b.Indexed && a.Red.Mask == b.Red.Mask &&
           a.Green.Mask == b.Green.Mask && a.Blue.Mask == b.Blue.Mask && a.Alpha.Mask == b.Alpha.Mask;
  }

  // Raw pixel value of a 24-bit colour in this format (RGB formats only).
  constexpr std::uint32_t Pack(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    return Red.From8(r) | Green.From8(g) | Blue.From8(b);
  }
};

namespace pixel_formats {
constexpr TPixelFormat Rgb565{16, false, {0xF800}, {0x07E0}, {0x001F}, {}};
constexpr TPixelFormat Rgb555{16, false, {0x7C00}, {0x03E0}, {0x001F}, {}};
constexpr TPixelFormat Rgb888{24, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {}};
constexpr TPixelFormat Xrgb8888{32, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {}};
constexpr TPixelFormat Indexed8{8, true, {}, {}, {}, {}};
}  // namespace pixel_formats

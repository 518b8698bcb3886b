// Row loops of the blend for the pixel formats the display actually uses. Every loop
// works on one run of pixels whose source columns are contiguous, so it needs no
// geometry: dst and src point at the first pixel of the run, count pixels follow.
// Internal to the rendering layer (blend.cpp, blend_simd.cpp).
#pragma once

#include <cstdint>
#include <cstring>

#include "pixel_format.h"

namespace blend_detail {

// One row loop: count pixels from src combined onto dst. key is only read by the
// loops that honour a colour key.
using TRowFn = void (*)(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha, std::uint32_t key);

// The RGB formats with their own loops. All four lack an alpha channel.
enum class TFixedFormat { Rgb565, Rgb555, Rgb888, Xrgb8888 };

// The vector loops (blend_simd.cpp); null where none exists for this build or mode.
// scaled selects the Alpha < 255 combination; without it the source is added whole.
TRowFn Sse2Row(TFixedFormat format, bool scaled);
TRowFn Avx2Row(TFixedFormat format, bool scaled);
bool CpuHasSse2();
bool CpuHasAvx2();

// A pixel format known at compile time: channel masks and pixel size.
template <std::uint32_t RedMask, std::uint32_t GreenMask, std::uint32_t BlueMask, int Bytes>
struct TStaticFormat {
  static constexpr TChannel Red{RedMask};
  static constexpr TChannel Green{GreenMask};
  static constexpr TChannel Blue{BlueMask};
  static constexpr int BytesPerPixel = Bytes;

  static std::uint32_t Load(const std::uint8_t* p) {
    if constexpr (Bytes == 2) {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    } else if constexpr (Bytes == 3) {
      return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
    } else {
      std::uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
  static void Store(std::uint8_t* p, std::uint32_t v) {
    if constexpr (Bytes == 2) {
      const std::uint16_t w = std::uint16_t(v);
      std::memcpy(p, &w, 2);
    } else if constexpr (Bytes == 3) {
      p[0] = std::uint8_t(v);
      p[1] = std::uint8_t(v >> 8);
      p[2] = std::uint8_t(v >> 16);
    } else {
      std::memcpy(p, &v, 4);
    }
  }
};

using TRgb565 = TStaticFormat<0xF800, 0x07E0, 0x001F, 2>;
using TRgb555 = TStaticFormat<0x7C00, 0x03E0, 0x001F, 2>;
using TRgb888 = TStaticFormat<0xFF0000, 0x00FF00, 0x0000FF, 3>;
using TXrgb8888 = TStaticFormat<0xFF0000, 0x00FF00, 0x0000FF, 4>;

static_assert(TRgb565::Red.Mask == pixel_formats::Rgb565.Red.Mask && TRgb565::Blue.Mask == pixel_formats::Rgb565.Blue.Mask);
static_assert(TRgb555::Green.Mask == pixel_formats::Rgb555.Green.Mask);
static_assert(TXrgb8888::Red.Mask == pixel_formats::Xrgb8888.Red.Mask);

// One channel: source value s and target value d as 8-bit values, the sum clamped.
template <bool Scaled>
inline std::uint32_t Combine(std::uint32_t s, std::uint32_t d, std::uint32_t alpha) {
  const std::uint32_t sum = (Scaled ? (s * alpha) >> 8 : s) + d;
  return sum > 255 ? 255 : sum;
}

// The additive loop for one format; Keyed skips source pixels equal to key.
template <class Format, bool Scaled, bool Keyed>
void AddRow(std::uint8_t* dst, const std::uint8_t* src, int count, int alpha, std::uint32_t key) {
  constexpr int bytes = Format::BytesPerPixel;
  constexpr TChannel R = Format::Red, G = Format::Green, B = Format::Blue;
  const std::uint32_t a = std::uint32_t(alpha);
  for (int i = 0; i < count; ++i, dst += bytes, src += bytes) {
    const std::uint32_t s = Format::Load(src);
    if constexpr (Keyed) {
      if (s == key) continue;
    }
    const std::uint32_t d = Format::Load(dst);
    const std::uint32_t r = Combine<Scaled>(R.To8(s), R.To8(d), a);
    const std::uint32_t g = Combine<Scaled>(G.To8(s), G.To8(d), a);
    const std::uint32_t b = Combine<Scaled>(B.To8(s), B.To8(d), a);
    Format::Store(dst, R.From8(std::uint8_t(r)) | G.From8(std::uint8_t(g)) | B.From8(std::uint8_t(b)));
  }
}

// Palette index onto palette index of the same format: the raw value is copied.
template <bool Keyed>
void CopyIndexRow(std::uint8_t* dst, const std::uint8_t* src, int count, int, std::uint32_t key) {
  if constexpr (!Keyed) {
    std::memcpy(dst, src, std::size_t(count));
  } else {
    for (int i = 0; i < count; ++i)
      if (src[i] != key) dst[i] = src[i];
  }
}

template <class Format, bool Keyed>
TRowFn AddRowFor(bool scaled) {
  return scaled ? &AddRow<Format, true, Keyed> : &AddRow<Format, false, Keyed>;
}

inline TRowFn ScalarRow(TFixedFormat format, bool scaled, bool keyed) {
  switch (format) {
    case TFixedFormat::Rgb565: return keyed ? AddRowFor<TRgb565, true>(scaled) : AddRowFor<TRgb565, false>(scaled);
    case TFixedFormat::Rgb555: return keyed ? AddRowFor<TRgb555, true>(scaled) : AddRowFor<TRgb555, false>(scaled);
    case TFixedFormat::Rgb888: return keyed ? AddRowFor<TRgb888, true>(scaled) : AddRowFor<TRgb888, false>(scaled);
    case TFixedFormat::Xrgb8888:
      return keyed ? AddRowFor<TXrgb8888, true>(scaled) : AddRowFor<TXrgb8888, false>(scaled);
  }
  return nullptr;
}

}  // namespace blend_detail

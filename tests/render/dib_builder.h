// Writes bitmap records byte by byte for the tests, the way a picture is stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pixel_format.h"

struct TDibRecord {
  std::uint32_t HeaderSize = 40;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::uint16_t Bits = 8;
  std::uint32_t Compression = 0;
  std::uint32_t ImageSize = 0;
  std::uint32_t ColorsUsed = 0;
  std::vector<std::uint32_t> Masks;   // written when not empty
  std::vector<TRGBQuad> Palette;      // 4 bytes each, 3 after a 12-byte header
  std::vector<std::uint8_t> Pixels;   // as stored
};

inline void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::vector<std::uint8_t> WriteDib(const TDibRecord& r) {
  std::vector<std::uint8_t> out;
  Put32(out, r.HeaderSize);
  if (r.HeaderSize == 12) {
    Put16(out, std::uint32_t(r.Width));
    Put16(out, std::uint32_t(r.Height));
    Put16(out, 1);
    Put16(out, r.Bits);
  } else {
    Put32(out, std::uint32_t(r.Width));
    Put32(out, std::uint32_t(r.Height));
    Put16(out, 1);
    Put16(out, r.Bits);
    Put32(out, r.Compression);
    Put32(out, r.ImageSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, r.ColorsUsed);
    Put32(out, 0);
  }
  for (std::uint32_t m : r.Masks) Put32(out, m);
  for (const TRGBQuad& e : r.Palette) {
    out.push_back(e.Blue);
    out.push_back(e.Green);
    out.push_back(e.Red);
    if (r.HeaderSize != 12) out.push_back(e.Reserved);
  }
  out.insert(out.end(), r.Pixels.begin(), r.Pixels.end());
  return out;
}

// The stored form: length byte, class name, record.
inline std::vector<std::uint8_t> WriteStored(const std::string& className, const std::vector<std::uint8_t>& record) {
  std::vector<std::uint8_t> out;
  out.push_back(std::uint8_t(className.size()));
  for (char c : className) out.push_back(std::uint8_t(c));
  for (std::uint8_t b : record) out.push_back(b);
  return out;
}

inline int RowStride(int bits, int width) { return ((bits * width + 31) / 32) * 4; }

// A grey-ramp palette of n entries: entry i = (i, 255 - i, i / 2).
inline std::vector<TRGBQuad> RampPalette(int n) {
  std::vector<TRGBQuad> p;
  for (int i = 0; i < n; ++i) p.push_back(TRGBQuad{std::uint8_t(i / 2), std::uint8_t(255 - i), std::uint8_t(i), 0});
  return p;
}

// Test surfaces fenced by inaccessible pages, the plain per-pixel blend the real one is
// held against, and helpers to compare pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "blend.h"

namespace blend_test {

// Pixel memory between two PROT_NONE pages. The block holds exactly the bytes a surface
// owns (the last row has no padding), and sits either against the page after it or
// against the page before it, so that reading or writing past either end faults.
class TGuardedSurface {
 public:
  TGuardedSurface(int width, int height, TPixelFormat format, int rowPadding = 0, bool bottomUp = false,
                  bool againstEnd = true);
  ~TGuardedSurface();
  TGuardedSurface(const TGuardedSurface&) = delete;
  TGuardedSurface& operator=(const TGuardedSurface&) = delete;

  TPixelView Surface() const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  const TPixelFormat& Format() const { return format_; }
  int BytesPerPixel() const { return format_.BytesPerPixel(); }

  std::uint32_t Get(int x, int y) const;
  void Set(int x, int y, std::uint32_t raw);
  void Fill(std::uint32_t raw);
  // Every byte of the block (pixels and row padding) random.
  void Randomise(std::mt19937& rng);

  std::uint8_t* Block() { return block_; }
  const std::uint8_t* Block() const { return block_; }
  std::size_t BlockSize() const { return blockSize_; }
  std::vector<std::uint8_t> Snapshot() const { return {block_, block_ + blockSize_}; }

  std::array<TRGBQuad, 256> Palette{};

 private:
  std::uint8_t* Pixel(int x, int y) const;

  int width_, height_;
  TPixelFormat format_;
  int pitch_;  // positive; rows run downwards in memory unless bottomUp_
  bool bottomUp_;
  std::uint8_t* mapping_ = nullptr;
  std::size_t mappingSize_ = 0;
  std::uint8_t* block_ = nullptr;
  std::size_t blockSize_ = 0;
};

// The blend done one pixel at a time, straight from the rules, on a surface
// description (whose Bits may point into a plain copy of a guarded block). Returns
// whether anything was drawn at all (false when a check refused the drawing).
bool ReferenceBlend(const TPixelView& target, const TPixelView& source, const TRect& destRect,
                    const TRect& srcRect, bool transparent, std::uint32_t colorKey, int alpha);

// A description of the same surface whose pixels live in copy (a snapshot of the
// guarded block).
TPixelView SurfaceIn(const TGuardedSurface& surface, std::vector<std::uint8_t>& copy);

// Empty when the guarded block equals expected byte for byte; otherwise where the first
// difference lies (pixel coordinates or row padding) and both values.
std::string FirstDifference(const TGuardedSurface& actual, const std::vector<std::uint8_t>& expected);

// The forced path for the lifetime of the object.
class TPathScope {
 public:
  explicit TPathScope(TBlendPath path) : saved_(GetBlendPath()) { SetBlendPath(path); }
  ~TPathScope() { SetBlendPath(saved_); }

 private:
  TBlendPath saved_;
};

inline const char* PathName(TBlendPath path) {
  switch (path) {
    case TBlendPath::Auto: return "Auto";
    case TBlendPath::Avx2: return "Avx2";
    case TBlendPath::Sse2: return "Sse2";
    case TBlendPath::Template: return "Template";
    case TBlendPath::Generic: return "Generic";
  }
  return "?";
}

inline const std::array<TBlendPath, 4> kForcedPaths = {TBlendPath::Generic, TBlendPath::Template, TBlendPath::Sse2,
                                                       TBlendPath::Avx2};

}  // namespace blend_test

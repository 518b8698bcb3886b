// The blend: geometry, choice of row loop, and the generic per-pixel loop that every
// format and mode can take.
#include "blend.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

#include "blend_kernels.h"

using namespace blend_detail;

namespace {

std::atomic<TBlendPath> g_path{TBlendPath::Auto};

// ---- Geometry ----

// The clipped target rectangle and the source stepping in 16.16 fixed point. Positions
// are kept in 64 bits; the checks below make sure they stay inside the source.
struct TPlan {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::int64_t UStart = 0, VStart = 0, DU = 0, DV = 0;
};

// Clips [lo, hi) of the target rectangle against [0, size): the amount cut off at the
// low end goes to skip. False when nothing is left.
bool ClipAxis(std::int64_t lo, std::int64_t hi, int size, std::int64_t& skip, int& start, int& length) {
  skip = lo < 0 ? -lo : 0;
  lo = std::max<std::int64_t>(lo, 0);
  hi = std::min<std::int64_t>(hi, size);
  if (hi < 1 || hi - lo < 1) return false;
  start = int(lo);
  length = int(hi - lo);
  return true;
}

// The first sampling position of one axis: skip * step + origin * 65535, which must be
// a non-negative 32-bit value; then the position after the last drawn pixel must still
// fall inside the source (the end check). False stops the drawing.
bool StartAxis(std::int64_t skip, std::int64_t step, std::int64_t origin, int length, int sourceSize,
               std::int64_t& start) {
  constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
  if (skip != 0 && step > int32Max / skip) return false;
  start = skip * step + origin * 65535;
  if (start < 0 || start > int32Max) return false;
  // ((length * step + start) >> 16) < sourceSize, without overflowing the product.
  const std::int64_t room = (std::int64_t(sourceSize) << 16) - start;
  if (room <= 0) return false;
  return step == 0 || length <= (room - 1) / step;
}

bool MakePlan(const TPixelView& target, const TPixelView& source, const TRect& destRect,
              const TRect& srcRect, TPlan& plan) {
  if (destRect.Empty()) return false;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > source.Width || srcRect.Bottom > source.Height ||
      srcRect.Left >= srcRect.Right || srcRect.Top >= srcRect.Bottom)
    return false;

  std::int64_t skipX = 0, skipY = 0;
  if (!ClipAxis(destRect.Left, destRect.Right, target.Width, skipX, plan.Left, plan.Width)) return false;
  if (!ClipAxis(destRect.Top, destRect.Bottom, target.Height, skipY, plan.Top, plan.Height)) return false;

  // The steps use the whole target rectangle, before clipping.
  const std::int64_t destWidth = std::int64_t(destRect.Right) - destRect.Left;
  const std::int64_t destHeight = std::int64_t(destRect.Bottom) - destRect.Top;
  plan.DU = std::int64_t(srcRect.Right - srcRect.Left) * 65535 / destWidth;
  plan.DV = std::int64_t(srcRect.Bottom - srcRect.Top) * 65535 / destHeight;

  return StartAxis(skipX, plan.DU, srcRect.Left, plan.Width, source.Width, plan.UStart) &&
         StartAxis(skipY, plan.DV, srcRect.Top, plan.Height, source.Height, plan.VStart);
}

// ---- Surfaces ----

bool Usable(const TPixelView& s) {
  if (!s.Bits || s.Width <= 0 || s.Height <= 0) return false;
  const TPixelFormat& f = s.Format;
  if (f.Indexed) {
    if (f.BitsPerPixel != 8) return false;
  } else if (f.BitsPerPixel < 1 || f.BitsPerPixel > 32) {
    return false;
  }
  const std::int64_t pitch = s.Pitch < 0 ? -std::int64_t(s.Pitch) : s.Pitch;
  return pitch >= std::int64_t(s.Width) * f.BytesPerPixel();
}

std::uint8_t* RowOf(const TPixelView& s, int y) { return s.Bits + std::ptrdiff_t(y) * s.Pitch; }

// Whether the pixel memory of two surfaces shares any byte.
bool Overlap(const TPixelView& a, const TPixelView& b) {
  auto range = [](const TPixelView& s, std::uintptr_t& lo, std::uintptr_t& hi) {
    const std::ptrdiff_t last = std::ptrdiff_t(s.Height - 1) * s.Pitch;
    lo = reinterpret_cast<std::uintptr_t>(s.Bits + std::min<std::ptrdiff_t>(last, 0));
    hi = reinterpret_cast<std::uintptr_t>(s.Bits + std::max<std::ptrdiff_t>(last, 0)) +
         std::uintptr_t(s.Width) * std::uintptr_t(s.Format.BytesPerPixel());
  };
  std::uintptr_t alo, ahi, blo, bhi;
  range(a, alo, ahi);
  range(b, blo, bhi);
  return alo < bhi && blo < ahi;
}

bool FixedFormatOf(const TPixelFormat& f, TFixedFormat& fixed) {
  if (f == pixel_formats::Rgb565) fixed = TFixedFormat::Rgb565;
  else if (f == pixel_formats::Rgb555) fixed = TFixedFormat::Rgb555;
  else if (f == pixel_formats::Rgb888) fixed = TFixedFormat::Rgb888;
  else if (f == pixel_formats::Xrgb8888) fixed = TFixedFormat::Xrgb8888;
  else return false;
  return true;
}

// ---- The generic loop ----

// min(i, 255) for every sum of two channel values.
constexpr std::array<std::uint8_t, 512> kSaturate = [] {
  std::array<std::uint8_t, 512> t{};
  for (int i = 0; i < 512; ++i) t[std::size_t(i)] = std::uint8_t(std::min(i, 255));
  return t;
}();

// A channel as the loop needs it: its mask and the shifts that take it to an 8-bit value.
struct TShift {
  std::uint32_t Mask = 0;
  int Right = 0, Left = 0;
  explicit TShift(TChannel c) : Mask(c.Mask) {
    const int s = c.Low() + c.Bits() - 8;
    Right = s >= 0 ? s : 0;
    Left = s >= 0 ? 0 : -s;
  }
  bool Present() const { return Mask != 0; }
  std::uint32_t To8(std::uint32_t pixel) const { return ((pixel & Mask) >> Right) << Left; }
  std::uint32_t From8(std::uint32_t value) const { return ((value << Right) >> Left) & Mask; }
};

struct TFormatShifts {
  TShift Red, Green, Blue, Alpha;
  explicit TFormatShifts(const TPixelFormat& f) : Red(f.Red), Green(f.Green), Blue(f.Blue), Alpha(f.Alpha) {}
};

std::uint32_t LoadPixel(const std::uint8_t* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

void StorePixel(std::uint8_t* p, int bytes, std::uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// The palette entry nearest to a colour (squared distance, lowest index on a tie),
// remembered for the colours already seen during one drawing.
class TNearestColour {
 public:
  // No palette: Find is never called and nothing is allocated.
  explicit TNearestColour(const TRGBQuad* palette) : palette_(palette) {
    if (palette_) slots_.assign(kSlots, 0);
  }

  std::uint8_t Find(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    const std::uint32_t rgb = (r << 16) | (g << 8) | b;
    std::uint64_t& slot = slots_[(rgb * 2654435761u) >> (32 - kSlotBits)];
    if ((slot >> 32) == rgb + 1) return std::uint8_t(slot);
    int best = 0;
    std::uint32_t bestDistance = std::numeric_limits<std::uint32_t>::max();
    for (int i = 0; i < 256; ++i) {
      const int dr = int(palette_[i].Red) - int(r), dg = int(palette_[i].Green) - int(g),
                db = int(palette_[i].Blue) - int(b);
      const std::uint32_t distance = std::uint32_t(dr * dr + dg * dg + db * db);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    slot = (std::uint64_t(rgb + 1) << 32) | std::uint32_t(best);
    return std::uint8_t(best);
  }

 private:
  static constexpr int kSlotBits = 12;
  static constexpr std::size_t kSlots = std::size_t(1) << kSlotBits;
  const TRGBQuad* palette_;
  std::vector<std::uint64_t> slots_;
};

enum class TMode { Copy, Add, AddScaled };

void GenericLoop(const TPixelView& target, const TPixelView& source, const TPlan& plan,
                 const std::vector<int>& columns, TMode mode, bool transparent, std::uint32_t colorKey,
                 int alpha) {
  const int tbytes = target.Format.BytesPerPixel(), sbytes = source.Format.BytesPerPixel();
  const TFormatShifts ts(target.Format), ss(source.Format);
  const bool sourceIndexed = source.Format.Indexed, targetIndexed = target.Format.Indexed;
  const std::uint32_t keyMask = ~source.Format.Alpha.Mask;
  const std::uint32_t a = std::uint32_t(alpha);
  TNearestColour nearest(targetIndexed && !sourceIndexed ? target.Palette : nullptr);

  for (int j = 0; j < plan.Height; ++j) {
    const std::uint8_t* srow = RowOf(source, int((plan.VStart + j * plan.DV) >> 16));
    std::uint8_t* dp = RowOf(target, plan.Top + j) + std::ptrdiff_t(plan.Left) * tbytes;
    for (int i = 0; i < plan.Width; ++i, dp += tbytes) {
      const std::uint32_t raw = LoadPixel(srow + std::ptrdiff_t(columns[std::size_t(i)]) * sbytes, sbytes);
      if (transparent && (raw & keyMask) == colorKey) continue;

      // The source as 8-bit channels; a missing colour channel is 0, a missing alpha
      // channel is the blend's Alpha.
      std::uint32_t sr, sg, sb, sa;
      if (sourceIndexed) {
        const TRGBQuad& q = source.Palette[raw & 0xFF];
        sr = q.Red, sg = q.Green, sb = q.Blue, sa = a;
      } else {
        sr = ss.Red.To8(raw), sg = ss.Green.To8(raw), sb = ss.Blue.To8(raw);
        sa = ss.Alpha.Present() ? ss.Alpha.To8(raw) : a;
      }

      if (targetIndexed) {
        dp[0] = sourceIndexed ? std::uint8_t(raw) : nearest.Find(sr, sg, sb);
        continue;
      }

      const std::uint32_t d = LoadPixel(dp, tbytes);
      auto combine = [&](const TShift& c, std::uint32_t s) -> std::uint32_t {
        if (!c.Present()) return 0;
        const std::uint32_t x = mode == TMode::AddScaled ? (s * sa) >> 8 : s;
        return c.From8(kSaturate[x + c.To8(d)]);
      };
      // The target's own alpha bits are kept; bits of no channel become 0.
      const std::uint32_t out =
          combine(ts.Red, sr) | combine(ts.Green, sg) | combine(ts.Blue, sb) | (d & ts.Alpha.Mask);
      StorePixel(dp, tbytes, out);
    }
  }
}

TBlendPath Effective(TBlendPath path) {
  if (path == TBlendPath::Auto) path = TBlendPath::Avx2;
  if (path == TBlendPath::Avx2 && !CpuHasAvx2()) path = TBlendPath::Sse2;
  if (path == TBlendPath::Sse2 && !CpuHasSse2()) path = TBlendPath::Template;
  return path;
}

// The specialised row loop for this drawing, or null when only the generic loop fits.
TRowFn ChooseRow(const TPixelView& target, const TPixelView& source, TMode mode, bool transparent) {
  const TBlendPath path = Effective(g_path.load(std::memory_order_relaxed));
  if (path == TBlendPath::Generic || !(target.Format == source.Format) || Overlap(target, source)) return nullptr;
  if (mode == TMode::Copy)
    return target.Format.Indexed ? (transparent ? &CopyIndexRow<true> : &CopyIndexRow<false>) : nullptr;
  TFixedFormat fixed;
  if (!FixedFormatOf(target.Format, fixed)) return nullptr;
  const bool scaled = mode == TMode::AddScaled;
  TRowFn row = nullptr;
  if (!transparent && path == TBlendPath::Avx2) row = Avx2Row(fixed, scaled);
  if (!transparent && !row && (path == TBlendPath::Avx2 || path == TBlendPath::Sse2)) row = Sse2Row(fixed, scaled);
  if (!row) row = ScalarRow(fixed, scaled, transparent);
  return row;
}

// A stretch of target columns whose source columns follow one another.
struct TRun {
  int First, SourceColumn, Count;
};

std::vector<TRun> RunsOf(const std::vector<int>& columns) {
  std::vector<TRun> runs;
  for (int i = 0; i < int(columns.size()); ++i) {
    const int x = columns[std::size_t(i)];
    if (!runs.empty() && runs.back().SourceColumn + runs.back().Count == x)
      ++runs.back().Count;
    else
      runs.push_back({i, x, 1});
  }
  return runs;
}

}  // namespace

void BlendRect(const TPixelView& target, const TPixelView& source, const TRect& destRect,
               const TRect& srcRect, bool transparent, std::uint32_t colorKey, int alpha) {
  if (alpha <= 0) return;
  alpha = std::min(alpha, 255);
  if (!Usable(target) || !Usable(source)) return;
  if (target.Format.Indexed && !source.Format.Indexed && !target.Palette) return;
  if (source.Format.Indexed && !target.Format.Indexed && !source.Palette) return;

  TPlan plan;
  if (!MakePlan(target, source, destRect, srcRect, plan)) return;

  const TMode mode = target.Format.Indexed ? TMode::Copy : alpha == 255 ? TMode::Add : TMode::AddScaled;

  // Source column of every target column, nearest sample.
  std::vector<int> columns(std::size_t(plan.Width));
  for (int i = 0; i < plan.Width; ++i) columns[std::size_t(i)] = int((plan.UStart + i * plan.DU) >> 16);

  const TRowFn row = ChooseRow(target, source, mode, transparent);
  if (!row) {
    GenericLoop(target, source, plan, columns, mode, transparent, colorKey, alpha);
    return;
  }

  const int bytes = target.Format.BytesPerPixel();
  const std::vector<TRun> runs = RunsOf(columns);
  for (int j = 0; j < plan.Height; ++j) {
    const std::uint8_t* srow = RowOf(source, int((plan.VStart + j * plan.DV) >> 16));
    std::uint8_t* drow = RowOf(target, plan.Top + j) + std::ptrdiff_t(plan.Left) * bytes;
    for (const TRun& run : runs)
      row(drow + std::ptrdiff_t(run.First) * bytes, srow + std::ptrdiff_t(run.SourceColumn) * bytes, run.Count, alpha,
          colorKey);
  }
}

void SetBlendPath(TBlendPath path) { g_path.store(path, std::memory_order_relaxed); }

TBlendPath GetBlendPath() { return g_path.load(std::memory_order_relaxed); }

bool BlendPathAvailable(TBlendPath path) {
  switch (path) {
    case TBlendPath::Avx2: return CpuHasAvx2();
    case TBlendPath::Sse2: return CpuHasSse2();
    default: return true;
  }
}

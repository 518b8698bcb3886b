// Fuzzes the blend: the input chooses the formats, surface layouts, rectangles (near
// and far beyond the edges), key, Alpha and path, and fills the pixels. The blend must
// stay inside both guarded surfaces and write exactly the reference's pixels.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "blend_test_support.h"

namespace {

using namespace blend_test;

constexpr TPixelFormat kFormats[] = {
    pixel_formats::Rgb565,
    pixel_formats::Rgb555,
    pixel_formats::Rgb888,
    pixel_formats::Xrgb8888,
    pixel_formats::Indexed8,
    {32, false, {0xFF0000}, {0x00FF00}, {0x0000FF}, {0xFF000000}},
    {16, false, {0x0F00}, {0x00F0}, {0x000F}, {0xF000}},
    {8, false, {0xE0}, {0x1C}, {0x03}, {}},
};

class TInput {
 public:
  TInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  int Small(int lo, int hi) { return lo + Byte() % (hi - lo + 1); }
  int Word() {
    const std::uint16_t low = Byte();
    return std::int16_t(std::uint16_t(low | (Byte() << 8)));
  }
  // A coordinate: usually near the surface, sometimes anywhere in the int range.
  int Coordinate(int size) {
    switch (Byte() % 8) {
      case 0: {
        const std::uint32_t high = std::uint32_t(Word()) << 16;
        return int(high | std::uint16_t(Word()));
      }
      case 1: return Word();
      default: return Small(-size - 4, 2 * size + 4);
    }
  }
  std::uint8_t Fill() { return size_ ? data_[(fill_++) % size_] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, pos_ = 0, fill_ = 0;
};

// base + delta, held inside the int range.
int Offset(int base, int delta) {
  const long long v = (long long)base + delta;
  return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

std::unique_ptr<TGuardedSurface> MakeSurface(TInput& in, const TPixelFormat& format) {
  const int width = in.Small(1, 48), height = in.Small(1, 12);
  const int flags = in.Byte();
  auto s = std::make_unique<TGuardedSurface>(width, height, format, flags & 7, (flags & 8) != 0, (flags & 16) != 0);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TInput in(data, size);
  // Mostly one format for both, as the specialised loops need.
  const std::uint8_t formats = in.Byte();
  const TPixelFormat& targetFormat = kFormats[formats % std::size(kFormats)];
  const TPixelFormat& sourceFormat = formats & 0xC0 ? targetFormat : kFormats[(formats >> 3) % std::size(kFormats)];
  auto target = MakeSurface(in, targetFormat);
  auto source = MakeSurface(in, sourceFormat);
  TRect dest, src;
  src.Left = in.Small(-1, source->Width());
  src.Top = in.Small(-1, source->Height());
  src.Right = in.Small(0, source->Width() + 1);
  src.Bottom = in.Small(0, source->Height() + 1);
  dest.Left = in.Coordinate(target->Width());
  dest.Top = in.Coordinate(target->Height());
  // Often the source rectangle's size, give or take a pixel: long runs of columns.
  const std::uint8_t sizing = in.Byte();
  dest.Right = sizing & 1 ? in.Coordinate(target->Width()) : Offset(dest.Left, src.Width() + (sizing >> 1) % 3 - 1);
  dest.Bottom = sizing & 2 ? in.Coordinate(target->Height()) : Offset(dest.Top, src.Height() + (sizing >> 3) % 3 - 1);
  const bool transparent = in.Byte() & 1;
  const std::uint32_t keyLow = in.Byte();
  const std::uint32_t key = keyLow | (std::uint32_t(in.Byte()) << 8);
  const int alpha = in.Byte() % 4 == 0 ? in.Word() : in.Small(1, 255);
  const TBlendPath path = kForcedPaths[in.Byte() % kForcedPaths.size()];

  for (TGuardedSurface* s : {target.get(), source.get()}) {
    for (std::size_t i = 0; i < s->BlockSize(); ++i) s->Block()[i] = in.Fill();
    for (TRGBQuad& q : s->Palette) q = {in.Fill(), in.Fill(), in.Fill(), 0};
  }

  std::vector<std::uint8_t> expected = target->Snapshot(), sourceCopy = source->Snapshot();
  ReferenceBlend(SurfaceIn(*target, expected), SurfaceIn(*source, sourceCopy), dest, src, transparent, key, alpha);
  {
    TPathScope scope(path);
    BlendRect(target->Surface(), source->Surface(), dest, src, transparent, key, alpha);
  }
  const std::string difference = FirstDifference(*target, expected);
  if (!difference.empty()) {
    std::fprintf(stderr, "%s (path %s)\n", difference.c_str(), PathName(path));
    std::abort();
  }
  return 0;
}
